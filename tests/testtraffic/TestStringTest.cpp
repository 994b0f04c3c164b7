// The test string and the timed ASCII array on the fake port, driven by the
// page's buttons as a user drives them.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"
#include "testtraffic/TestFrame.h"
#include "testtraffic/TestPageFixture.h"

using namespace vexa;

namespace {

const QString kWriteFailed = QString::fromUtf8("Oшибка записи в порт");

}  // namespace

TEST_F(TestPageTest, TheStringGoesOutEveryPeriodExactlyAsTyped)
{
    Ready();
    form().Traffic->ComboBox9->setEditText("0,1");
    QElapsedTimer clock;
    clock.start();
    form().Traffic->SpeedButton20->click();
    EXPECT_EQ(form().Traffic->TimerSendWord->Interval(), 100);
    EXPECT_EQ(Sent(), 0u);  // the first string goes one period after the click
    const QByteArray frame = Cp("Передаваемая строка :)") + '\r';
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 3u * 23; }));
    EXPECT_GE(clock.elapsed(), 3 * 90);
    form().Traffic->SpeedButton19->click();
    EXPECT_FALSE(form().Traffic->SendString_Active);
    EXPECT_FALSE(form().Traffic->TimerSendWord->Active());
    const QByteArray sent = Bytes(Take_Written());
    ASSERT_EQ(sent.size() % 23, 0);
    EXPECT_EQ(sent, frame.repeated(sent.size() / 23));
    EXPECT_EQ(Edit14(), sent.size());
    EXPECT_TRUE(app->Work_Char_Log().endsWith(frame));  // echoed on the screen
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();

    // With the time: the text, "Время:", the time of day, CR; no blank.
    form().Traffic->Time_Of_Day = [] { return QTime(9, 5, 7); };
    form().Traffic->Edit12->setText("abc");
    form().Traffic->CheckBox5->click();
    form().Traffic->SpeedButton20->click();
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 1; }));
    form().Traffic->SpeedButton19->click();
    const QByteArray stamped =
        QByteArray("abc\xC2\xF0\xE5\xEC\xFF\x3A") + Long_Time_Text(QTime(9, 5, 7)).toLatin1() + '\r';
    const QByteArray got = Bytes(Take_Written());
    EXPECT_EQ(got.left(stamped.size()), stamped);
    EXPECT_EQ(got.size() % stamped.size(), 0);

    // An empty string is a lone CR.
    form().Traffic->Edit12->clear();
    form().Traffic->CheckBox5->click();
    form().Traffic->SpeedButton20->click();
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 1; }));
    form().Traffic->SpeedButton19->click();
    const QByteArray crs = Bytes(Take_Written());
    EXPECT_FALSE(crs.isEmpty());
    EXPECT_EQ(crs, QByteArray(crs.size(), '\r'));
}

TEST_F(TestPageTest, PeriodsFromThePauseBox)
{
    Ready();
    for (const auto &[text, ms] : {std::pair{"0,5", 500}, {"5", 5000}, {"600", 600000}, {"0,1", 100}}) {
        form().Traffic->ComboBox9->setEditText(text);
        form().Traffic->SpeedButton20->click();
        EXPECT_EQ(form().Traffic->TimerSendWord->Interval(), ms) << text;
        EXPECT_TRUE(form().Traffic->TimerSendWord->Active());
        form().Traffic->SpeedButton19->click();
    }
    // "0,5": about two strings a second, the first after half a second.
    form().Traffic->ComboBox9->setEditText("0,5");
    QElapsedTimer clock;
    clock.start();
    form().Traffic->SpeedButton20->click();
    ASSERT_TRUE(Wait_Until([&] { return Sent() > 0; }));
    EXPECT_GE(clock.elapsed(), 450);
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 2u * 23; }));
    EXPECT_GE(clock.elapsed(), 950);
    form().Traffic->SpeedButton19->click();

    // "5": nothing for a good while.
    Take_Written();
    form().Traffic->ComboBox9->setEditText("5");
    form().Traffic->SpeedButton20->click();
    Pump(600);
    EXPECT_EQ(Sent(), 0u);
    form().Traffic->SpeedButton19->click();
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
}

TEST_F(TestPageTest, StartsRefuseWithoutCarrierAndTextsThatAreNoPause)
{
    Ready();
    Signals(kMsCtsOn);  // no carrier
    form().Traffic->SpeedButton20->click();
    EXPECT_EQ(messages().size(), 1);  // the box is read before the next click
    form().Traffic->SpeedButton22->click();
    EXPECT_EQ(messages(), QStringList(2, QString::fromUtf8("Нет сигнала DSD")));
    EXPECT_FALSE(form().Traffic->SendString_Active || form().Traffic->SendASCII_Active ||
                 form().Traffic->ASCII_Thread_Exists);
    EXPECT_FALSE(form().Traffic->TimerSendWord->Active());

    // A pause that is no number is refused, and leaves nothing half started.
    Signals(kMsCtsOn | kMsRlsdOn);
    app->catcher.clear();
    form().Traffic->ComboBox9->setEditText("1,5");
    form().Traffic->SpeedButton20->click();
    form().Traffic->ComboBox10->setEditText("abc");
    form().Traffic->SpeedButton22->click();
    EXPECT_EQ(app->catcher.errors(), QStringList({QString::fromUtf8("\"1,5\" не является целым числом"),
                                                  QString::fromUtf8("\"abc\" не является целым числом")}));
    EXPECT_FALSE(form().Traffic->SendString_Active || form().Traffic->SendASCII_Active);
    form().Traffic->ComboBox9->setEditText("0,1");
    form().Traffic->SpeedButton20->click();
    EXPECT_TRUE(form().Traffic->SendString_Active);

    // One kind of test traffic at a time; a second start is ignored.
    form().Traffic->ComboBox10->setEditText("0");
    form().Traffic->SpeedButton22->click();
    EXPECT_FALSE(form().Traffic->SendASCII_Active || form().Traffic->ASCII_Thread_Exists);
    form().Traffic->SpeedButton21->click();  // the array's "Стоп" leaves the string alone
    EXPECT_TRUE(form().Traffic->SendString_Active);
    form().Traffic->SpeedButton19->click();

    // A pause of "0" for the string starts no timer: nothing goes out.
    form().Traffic->ComboBox9->setEditText("0");
    form().Traffic->SpeedButton20->click();
    EXPECT_TRUE(form().Traffic->SendString_Active);
    EXPECT_FALSE(form().Traffic->TimerSendWord->Active());
    Pump(200);
    EXPECT_EQ(Sent(), 0u);
    form().Traffic->SpeedButton22->click();  // the string "runs": the array waits
    EXPECT_FALSE(form().Traffic->SendASCII_Active);
    form().Traffic->SpeedButton19->click();
    EXPECT_FALSE(form().Traffic->SendString_Active);
    EXPECT_EQ(app->catcher.errors().size(), 2);
}

TEST_F(TestPageTest, TimedArrayGoesOncePerPeriodOnlyWithCtsFlowControlAndCarrier)
{
    Ready();
    form().Traffic->ComboBox10->setEditText("0,1");
    form().Traffic->SpeedButton22->click();
    EXPECT_FALSE(form().Traffic->ASCII_Thread_Exists);
    EXPECT_EQ(form().Traffic->TimerSendWord->Interval(), 100);
    ASSERT_TRUE(Wait_Until([&] { return Sent() >= 2 * 256; }));
    EXPECT_EQ(Bytes(Take_Written()).left(512), Ascii_Array() + Ascii_Array());
    EXPECT_TRUE(app->Work_Char_Log().endsWith(Ascii_Array()));  // drawn in red before the write

    for (auto hold : std::initializer_list<std::function<void()>>{
             [&] { Signals(kMsRlsdOn); },         // CTS off
             [&] { form().CheckBox1->click(); },  // flow control off
             [&] { Signals(kMsCtsOn); }}) {       // carrier lost: the tick sends nothing
        hold();
        ASSERT_TRUE(Quiet());
        Take_Written();
        Pump(300);
        EXPECT_EQ(Sent(), 0u);
        Signals(kMsCtsOn | kMsRlsdOn);
        if (!form().CheckBox1->isChecked())
            form().CheckBox1->click();
        ASSERT_TRUE(Wait_Until([&] { return Sent() >= 256; }));
    }
    form().Traffic->SpeedButton21->click();
    EXPECT_FALSE(form().Traffic->TimerSendWord->Active());
    EXPECT_FALSE(form().Traffic->SendASCII_Active);
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
}

// A failing tick shows its box; while that box is open (its event loop
// running, as a modal box's does) no tick sends or shows anything, so boxes
// never pile up.
TEST_F(TestPageTest, AFailingTickShowsOneBoxAtATime)
{
    Ready();
    *failWrites = true;
    int open = 0, deepest = 0, shown = 0;
    Set_Message_Sink([&](MessageKind, const QString &text) {
        EXPECT_EQ(text, kWriteFailed);
        ++shown;
        deepest = std::max(deepest, ++open);
        Pump(450);  // the user reads the box while the timer goes on
        --open;
    });
    form().Traffic->ComboBox9->setEditText("0,1");
    form().Traffic->SpeedButton20->click();
    Wait_Until([&] { return shown >= 2 && open == 0; });
    form().Traffic->SpeedButton19->click();
    Set_Message_Sink([](MessageKind, const QString &) {});
    EXPECT_EQ(deepest, 1);
    EXPECT_GE(shown, 2);
    // One string per box: none was written while a box was open.
    EXPECT_LE(Edit14(), (shown + 1) * 23);
}
