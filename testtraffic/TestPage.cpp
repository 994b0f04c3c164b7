// The test page: its controls, its timer, what the window asks of the test
// traffic on a page switch, and the port going away.

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/Controls.h"
#include "serial/CounterText.h"
#include "serial/Link.h"
#include "testtraffic/TestTraffic.h"

namespace {

const QStringList kStringPauses = {"0,1", "0,5", "1",  "5",  "10",  "15",  "20",  "25",  "30",
                                   "40",  "50",  "60", "90", "120", "180", "240", "300", "600"};

QLabel *Heading(const QString &text, QWidget *page, int y)
{
    QLabel *label = Label(text, page, 6, y);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QPushButton *Button(const char *name, const QString &caption, QWidget *page, int x, int y)
{
    return ::Button(name, caption, page, {x, y, 80, 22});
}

}  // namespace

TestTraffic::TestTraffic(QWidget *page, vexa::Clock &clock, Link &link, Console &console, Window_Hooks hooks)
    : link_(link), console_(console), hooks_(std::move(hooks))
{
    Build_Page(page);
    TimerSendWord = clock.Make_Timer("TimerSendWord", 90000, false, [this] { TimerSendWordTimer(); });
    // The flood ends with the port it writes to, before the port closes:
    // its write in progress ends at the stop, whatever the line does. The
    // test string and the timed array go on, and their writes fail while no
    // port is open.
    connect(&link, &Link::Closing, this, &TestTraffic::End_Test_Traffic);
}

// The flood thread is joined while the hooks it calls are still there.
TestTraffic::~TestTraffic() { Flood.reset(); }

void TestTraffic::Build_Page(QWidget *page)
{
    Heading(QStringLiteral("ПЕРЕДАЧА СТРОКИ:"), page, 4);
    Label(QStringLiteral("Строка:"), page, 6, 26);
    Edit12 = Named(new QLineEdit(QStringLiteral("Передаваемая строка :)"), page), "Edit12");
    Edit12->setGeometry(64, 22, 272, 20);
    CheckBox5 = Named(new QCheckBox(QStringLiteral("Добавить к строке текущее время"), page), "CheckBox5");
    CheckBox5->setLayoutDirection(Qt::RightToLeft);  // the caption left of the box, as in the port group
    CheckBox5->setGeometry(6, 46, 260, 18);
    Label(QStringLiteral("Пауза между строками по времени (в секундах)"), page, 6, 68);
    ComboBox9 = Combo("ComboBox9", page, {6, 84, 70, 22});
    ComboBox9->addItems(kStringPauses);
    ComboBox9->setEditText(QStringLiteral("30"));
    Keep_Index_With_Text(ComboBox9);
    SpeedButton20 = Button("SpeedButton20", QStringLiteral("Пуск"), page, 170, 84);
    SpeedButton19 = Button("SpeedButton19", QStringLiteral("Стоп"), page, 256, 84);

    Heading(QStringLiteral("ПЕРЕДАЧА МАССИВА ASCII СИМВОЛОВ:"), page, 118);
    Label(QStringLiteral("Пауза между массивами по времени (в секундах)"), page, 6, 140);
    ComboBox10 = Combo("ComboBox10", page, {6, 156, 70, 22});
    ComboBox10->addItems(QStringList{"0"} + kStringPauses);
    ComboBox10->setEditText(QStringLiteral("0"));
    Keep_Index_With_Text(ComboBox10);
    SpeedButton22 = Button("SpeedButton22", QStringLiteral("Пуск"), page, 170, 156);
    SpeedButton21 = Button("SpeedButton21", QStringLiteral("Стоп"), page, 256, 156);

    Label(QStringLiteral("Количество принятых данных:"), page, 6, 206);
    Edit13 = Named(new QLineEdit(QStringLiteral("0"), page), "Edit13");
    Edit13->setGeometry(230, 202, 106, 20);
    Label(QStringLiteral("Количество переданных дянных:"), page, 6, 232);
    Edit14 = Named(new QLineEdit(QStringLiteral("0"), page), "Edit14");
    Edit14->setGeometry(230, 228, 106, 20);
    SpeedButton23 = Button("SpeedButton23", QStringLiteral("Очистить"), page, 256, 254);

    connect(SpeedButton20, &QPushButton::clicked, this, &TestTraffic::SpeedButton20Click);
    connect(SpeedButton19, &QPushButton::clicked, this, &TestTraffic::SpeedButton19Click);
    connect(SpeedButton22, &QPushButton::clicked, this, &TestTraffic::SpeedButton22Click);
    connect(SpeedButton21, &QPushButton::clicked, this, &TestTraffic::SpeedButton21Click);
    connect(SpeedButton23, &QPushButton::clicked, this, &TestTraffic::SpeedButton23Click);
}

// The pacing timer stops too: with both runs ended its ticks would send
// nothing.
void TestTraffic::Enter_Page()
{
    SendString_Active = false;
    SendASCII_Active = false;
    End_Flood();
    TimerSendWord->Stop();
    CheckBox5->setChecked(false);
    SpeedButton23Click();
}

void TestTraffic::End_Test_Traffic()
{
    if (!ASCII_Thread_Exists)
        return;
    SendASCII_Active = false;
    End_Flood();
}

void TestTraffic::SpeedButton23Click()
{
    Edit13->setText(QStringLiteral("0"));
    Edit14->setText(QStringLiteral("0"));
}

void TestTraffic::Count_Received(const std::uint8_t *bytes, std::uint32_t count)
{
    if (const auto sum = Counter_Add(Edit13->text(), count)) {
        Edit13->setText(*sum);
        console_.Print(QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), qsizetype(count)), kBlue);
    }
}

// The flood thread reads its own copy of the box, and is woken when it
// changes; a change of CTS it finds on its next look.
void TestTraffic::Set_Flow_Control(bool ticked)
{
    Flow_Control = ticked;
    if (Flood)
        Flood->Wake();
}
