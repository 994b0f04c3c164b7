// The modem-programming page: its controls and timers, and how the download
// hears from the port and the window.

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include "platform/Controls.h"
#include "serial/Link.h"
#include "xmodem/FirmwareDownload.h"

FirmwareDownload::FirmwareDownload(QWidget *page, vexa::Clock &clock, Link &link, Console &console, Window_Hooks hooks)
    : Since_Sent(clock), Ready_Wait(clock), link_(link), console_(console), hooks_(std::move(hooks))
{
    Build_Page(page);
    TimerProgrammingSeveralFiles =
        clock.Make_Timer("TimerProgrammingSeveralFiles", 100, false, [this] { TimerProgrammingSeveralFilesTimer(); });
    TimerRunNext = clock.Make_Timer("TimerRunNext", 1000, false, [this] { TimerRunNextTimer(); });
    TimerModemSilence =
        clock.Make_Timer("TimerModemSilence", kModemReplyTimeoutMs, true, [this] { TimerModemSilenceTimer(); });
    TimerCopyAnswers = clock.Make_Timer("TimerCopyAnswers", kCopyAnswerMarginMs, true,
                                        [this] { Take_Sender_Step(Sender.Copies_Waited()); });
    // The port is about to close: the download ends while a last write can
    // still go out.
    connect(&link, &Link::Closing, this, [this] { Abandon_Download(); });
}

FirmwareDownload::~FirmwareDownload() = default;

void FirmwareDownload::Build_Page(QWidget *page)
{
    Label(QStringLiteral("Имя файла:"), page, 6, 8);
    Edit7 = Field("Edit7", page, {76, 4, 261, 20});
    Label(QStringLiteral("Размер:"), page, 6, 32);
    Edit8 = Field("Edit8", page, {56, 28, 76, 20});
    Label(QStringLiteral("байт"), page, 136, 32);
    SpeedButton14 = Button("SpeedButton14", QStringLiteral("Выбрать файл"), page, {172, 27, 96, 22});
    SpeedButton15 = Button("SpeedButton15", QStringLiteral("Прошить"), page, {272, 27, 65, 22});
    SpeedButton15->hide();

    Label(QStringLiteral("Количество переданных пакетов:"), page, 6, 58);
    Edit9 = Field("Edit9", page, {208, 54, 70, 20});
    Label(QStringLiteral("Всего пакетов:"), page, 6, 82);
    Edit10 = Field("Edit10", page, {208, 78, 70, 20});
    Label(QStringLiteral("Количество повторов:"), page, 6, 106);
    Edit11 = Field("Edit11", page, {208, 102, 70, 20});
    Gauge2 = Gauge("Gauge2", page, {323, 54, 14, 68}, Qt::Vertical);
    Gauge3 = Gauge("Gauge3", page, {6, 128, 331, 12}, Qt::Horizontal, "green");
    Gauge2->hide();
    Gauge3->hide();

    Label(QStringLiteral("ПРОШИВАНИЕ ГРУППЫ ФАЙЛОВ:  "), page, 6, 146);
    ScrollBox2 = Named(new QScrollArea(page), "ScrollBox2");
    ScrollBox2->setGeometry(6, 162, 225, 98);
    CheckListBox1 = Named(new QListWidget, "CheckListBox1");
    // The scroll box scrolls both ways; the list itself grows with its entries.
    CheckListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CheckListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox2->setWidget(CheckListBox1);
    SpeedButton17 = Button("SpeedButton17", QStringLiteral("Добавить"), page, {237, 162, 100, 22});
    SpeedButton18 = Button("SpeedButton18", QStringLiteral("Удалить"), page, {237, 188, 100, 22});
    SpeedButton16 = Button("SpeedButton16", QStringLiteral("Прошить группу файлов"), page, {185, 140, 152, 20});
    SpeedButton16->hide();
    Fit_Group_List();
    CheckBox6 = Named(new QCheckBox(QStringLiteral("Блоки 1024 байт"), page), "CheckBox6");
    CheckBox6->setGeometry(6, 264, 225, 18);
    CheckBox6->setFocusPolicy(Qt::NoFocus);

    connect(SpeedButton14, &QPushButton::clicked, this, &FirmwareDownload::SpeedButton14Click);
    connect(SpeedButton15, &QPushButton::clicked, this, &FirmwareDownload::SpeedButton15Click);
    connect(SpeedButton16, &QPushButton::clicked, this, &FirmwareDownload::SpeedButton16Click);
    connect(SpeedButton17, &QPushButton::clicked, this, &FirmwareDownload::SpeedButton17Click);
    connect(SpeedButton18, &QPushButton::clicked, this, &FirmwareDownload::SpeedButton18Click);
}

// The list is 1200 pixels wide, so that long paths can be scrolled to, and
// as tall as its entries, so that the scroll box shows both scroll bars.
void FirmwareDownload::Fit_Group_List()
{
    const int rows =
        CheckListBox1->count() * std::max(1, CheckListBox1->sizeHintForRow(0)) + 2 * CheckListBox1->frameWidth();
    const int visible =
        ScrollBox2->height() - 2 * ScrollBox2->frameWidth() - ScrollBox2->horizontalScrollBar()->sizeHint().height();
    CheckListBox1->resize(1200, std::max(rows, visible));
}

void FirmwareDownload::Clear_Fields()
{
    Edit7->clear();
    Edit8->clear();
    Edit11->clear();
}
