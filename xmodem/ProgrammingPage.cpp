// The modem-programming page: its controls, and what the main window asks of
// the firmware download on a page switch.

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include "platform/Controls.h"
#include "mainwindow/ZRMHyperTerminal.h"

void TForm1::Build_Programming_Page(QWidget *page)
{
    FirmwareState &fw = Firmware;
    Label(QStringLiteral("Имя файла:"), page, 6, 8);
    fw.Edit7 = Field("Edit7", page, {76, 4, 261, 20});
    Label(QStringLiteral("Размер:"), page, 6, 32);
    fw.Edit8 = Field("Edit8", page, {56, 28, 76, 20});
    Label(QStringLiteral("байт"), page, 136, 32);
    fw.SpeedButton14 = Button("SpeedButton14", QStringLiteral("Выбрать файл"), page, {172, 27, 96, 22});
    fw.SpeedButton15 = Button("SpeedButton15", QStringLiteral("Прошить"), page, {272, 27, 65, 22});
    fw.SpeedButton15->hide();

    Label(QStringLiteral("Количество переданных пакетов:"), page, 6, 58);
    fw.Edit9 = Field("Edit9", page, {208, 54, 70, 20});
    Label(QStringLiteral("Всего пакетов:"), page, 6, 82);
    fw.Edit10 = Field("Edit10", page, {208, 78, 70, 20});
    Label(QStringLiteral("Количество повторов:"), page, 6, 106);
    fw.Edit11 = Field("Edit11", page, {208, 102, 70, 20});
    fw.Gauge2 = Gauge("Gauge2", page, {323, 54, 14, 68}, Qt::Vertical);
    fw.Gauge3 = Gauge("Gauge3", page, {6, 128, 331, 12}, Qt::Horizontal, "green");
    fw.Gauge2->hide();
    fw.Gauge3->hide();

    Label(QStringLiteral("ПРОШИВАНИЕ ГРУППЫ ФАЙЛОВ:  "), page, 6, 146);
    fw.ScrollBox2 = Named(new QScrollArea(page), "ScrollBox2");
    fw.ScrollBox2->setGeometry(6, 162, 225, 98);
    fw.CheckListBox1 = Named(new QListWidget, "CheckListBox1");
    // The scroll box scrolls both ways; the list itself grows with its entries.
    fw.CheckListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fw.CheckListBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fw.ScrollBox2->setWidget(fw.CheckListBox1);
    fw.SpeedButton17 = Button("SpeedButton17", QStringLiteral("Добавить"), page, {237, 162, 100, 22});
    fw.SpeedButton18 = Button("SpeedButton18", QStringLiteral("Удалить"), page, {237, 188, 100, 22});
    fw.SpeedButton16 = Button("SpeedButton16", QStringLiteral("Прошить группу файлов"), page, {185, 140, 152, 20});
    fw.SpeedButton16->hide();
    Fit_Group_List();
    fw.CheckBox6 = Named(new QCheckBox(QStringLiteral("Блоки 1024 байт"), page), "CheckBox6");
    fw.CheckBox6->setGeometry(6, 264, 225, 18);
    fw.CheckBox6->setFocusPolicy(Qt::NoFocus);

    fw.TimerProgrammingSeveralFiles = Timer("TimerProgrammingSeveralFiles", this, 100);
    fw.TimerRunNext = Timer("TimerRunNext", this, 1000);
    fw.TimerModemSilence = Timer("TimerModemSilence", this, kModemReplyTimeoutMs, true);
    fw.TimerCopyAnswers = Timer("TimerCopyAnswers", this, kCopyAnswerMarginMs, true);

    connect(fw.SpeedButton14, &QPushButton::clicked, this, &TForm1::SpeedButton14Click);
    connect(fw.SpeedButton15, &QPushButton::clicked, this, &TForm1::SpeedButton15Click);
    connect(fw.SpeedButton16, &QPushButton::clicked, this, &TForm1::SpeedButton16Click);
    connect(fw.SpeedButton17, &QPushButton::clicked, this, &TForm1::SpeedButton17Click);
    connect(fw.SpeedButton18, &QPushButton::clicked, this, &TForm1::SpeedButton18Click);
    connect(fw.TimerProgrammingSeveralFiles, &QTimer::timeout, this, &TForm1::TimerProgrammingSeveralFilesTimer);
    connect(fw.TimerRunNext, &QTimer::timeout, this, &TForm1::TimerRunNextTimer);
    connect(fw.TimerModemSilence, &QTimer::timeout, this, &TForm1::TimerModemSilenceTimer);
    connect(fw.TimerCopyAnswers, &QTimer::timeout, this, &TForm1::TimerCopyAnswersTimer);
}

// The list is 1200 pixels wide, so that long paths can be scrolled to, and
// as tall as its entries, so that the scroll box shows both scroll bars.
void TForm1::Fit_Group_List()
{
    QListWidget *list = Firmware.CheckListBox1;
    const int rows = list->count() * std::max(1, list->sizeHintForRow(0)) + 2 * list->frameWidth();
    const int visible = Firmware.ScrollBox2->height() - 2 * Firmware.ScrollBox2->frameWidth() -
                        Firmware.ScrollBox2->horizontalScrollBar()->sizeHint().height();
    list->resize(1200, std::max(rows, visible));
}

// Choosing the programming page empties its file name, size and repeat count.
void TForm1::Clear_Programming_Fields()
{
    Firmware.Edit7->clear();
    Firmware.Edit8->clear();
    Firmware.Edit11->clear();
}
