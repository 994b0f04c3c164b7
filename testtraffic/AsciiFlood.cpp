// The ASCII array: back to back on the flood thread with a pause of "0",
// otherwise once a period on the ticks of TimerSendWord.

#include <QComboBox>
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "testtraffic/TestFrame.h"

void TForm1::SpeedButton22Click()
{
    if (!May_Start_Test_Traffic())
        return;
    if (ComboBox10->currentText() == QLatin1String("0")) {
        SendASCII_Active = true;
        Start_Flood_Thread();
        return;
    }
    const auto pause = Read_Pause(ComboBox10);
    if (!pause)
        return;
    SendASCII_Active = true;
    Start_Send_Timer(*pause);
}

void TForm1::SpeedButton21Click()
{
    if (!SendASCII_Active)
        return;
    SendASCII_Active = false;
    End_Flood();
    TimerSendWord->stop();
}

void TForm1::Send_Timed_ASCII()
{
    if (!SendASCII_Active || !CTS_On || !TestTraffic.Flow_Control)
        return;
    const QByteArray array = Ascii_Array();
    Print_To_Screen(array, kRed);
    if (!Write_To_Port(array))
        vexa::Show_Message(QStringLiteral("Oшибка записи в порт"));
}

// No thread outlives its run (every way that ends a run ends its thread),
// so a start always makes a new one.
void TForm1::Start_Flood_Thread()
{
    const int run = ++TestTraffic.Flood_Run;
    TestTraffic.Flood_Failure_Shown = false;
    TestTraffic.Flood = std::make_unique<TInfinitySenrASCII>(TInfinitySenrASCII::Link{
        [this] { return SendASCII_Active && CTS_On && TestTraffic.Flow_Control; },
        [this, run](const std::uint8_t *bytes, std::uint32_t count, bool retry, std::uint32_t &taken,
                    const std::atomic<bool> &stop) { return Flood_Write(run, bytes, count, retry, taken, stop); }});
    ASCII_Thread_Exists = true;
}

// On the flood thread. A failed write pauses the flood, which then goes
// on; the main thread says why, without the flood waiting for it. A write
// its owner stopped has nothing to say.
bool TForm1::Flood_Write(int run, const std::uint8_t *bytes, std::uint32_t count, bool retry, std::uint32_t &taken,
                         const std::atomic<bool> &stop)
{
    WriteReport report;
    const WriteOutcome outcome = Write_Exclusive(bytes, count, report, retry, &stop);
    taken = report.taken;
    if (outcome == WriteOutcome::Written || stop)
        return outcome == WriteOutcome::Written;
    QMetaObject::invokeMethod(
        this, [this, run, outcome, error = report.error] { Flood_Failed(run, outcome, error); },
        Qt::QueuedConnection);
    return false;
}

// Once a run. A run that has ended meanwhile (by "Стоп", the page or the
// port, whose close cut its write) has nothing left to say.
void TForm1::Flood_Failed(int run, WriteOutcome outcome, int error)
{
    if (run != TestTraffic.Flood_Run || !ASCII_Thread_Exists || TestTraffic.Flood_Failure_Shown)
        return;
    TestTraffic.Flood_Failure_Shown = true;
    if (outcome == WriteOutcome::Uncounted)
        Report_Counter_Failure(error);
    else
        vexa::Show_Message(QStringLiteral("Oшибка записи в порт"));
}

// The join waits for the write in progress only until it sees the stop,
// however long the line holds it off. The flood thread never waits for the
// main thread, so the main thread may wait for it.
void TForm1::End_Flood()
{
    if (!TestTraffic.Flood)
        return;
    TestTraffic.Flood.reset();
    ASCII_Thread_Exists = false;
    Show_Sent_Bytes();
}
