// The test string: started and stopped by its buttons, sent by the ticks of
// TimerSendWord, which also pace the timed ASCII array.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"
#include "testtraffic/TestFrame.h"

// The start steps both blocks share: carrier first, then one kind of test
// traffic at a time (a second start is ignored without a message).
bool TForm1::May_Start_Test_Traffic()
{
    if (!DCD_On) {
        vexa::Show_Message(QStringLiteral("Нет сигнала DSD"));
        return false;
    }
    return !SendString_Active && !SendASCII_Active;
}

// The pause is read before any flag is set, so a text that is not a number
// leaves nothing half started.
std::optional<int> TForm1::Read_Pause(QComboBox *box)
{
    const QString text = box->currentText();
    const auto ms = Pause_Ms(text);
    if (!ms)
        vexa::Show_Error(QStringLiteral("\"%1\" не является целым числом").arg(text));
    return ms;
}

// A QTimer at 0 ms would fire without pause: a pause of 0 or less sends
// nothing, as a timer that never fires would.
void TForm1::Start_Send_Timer(int ms)
{
    if (ms > 0)
        TimerSendWord->start(ms);
    else
        TimerSendWord->stop();
}

void TForm1::SpeedButton20Click()
{
    if (!May_Start_Test_Traffic())
        return;
    const auto pause = Read_Pause(ComboBox9);
    if (!pause)
        return;
    SendString_Active = true;
    Start_Send_Timer(*pause);
}

void TForm1::SpeedButton19Click()
{
    if (!SendString_Active)
        return;
    SendString_Active = false;
    TimerSendWord->stop();
}

// A tick that shows a box does not run again under it: Qt does not fire a
// timer whose timeout is still being handled, so the run pauses while the
// box is open and no box stacks on another.
void TForm1::TimerSendWordTimer()
{
    if (!DCD_On)
        return;
    if (SendString_Active)
        Send_Test_String();
    Send_Timed_ASCII();
}

void TForm1::Send_Test_String()
{
    std::optional<QString> time;
    if (CheckBox5->isChecked())
        time = Long_Time_Text(TestTraffic.Time_Of_Day());
    const QByteArray frame = Test_Frame(Edit12->text(), time);
    Print_To_Screen(frame, kRed);
    if (!Write_To_Port(frame))
        vexa::Show_Message(QStringLiteral("Oшибка записи в порт"));
}
