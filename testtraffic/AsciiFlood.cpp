// The ASCII array: back to back on the flood thread with a pause of "0",
// otherwise once a period on the ticks of TimerSendWord.

#include <QComboBox>

#include "platform/Clock.h"
#include "platform/Console.h"
#include "testtraffic/TestFrame.h"
#include "testtraffic/TestTraffic.h"

void TestTraffic::SpeedButton22Click()
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

void TestTraffic::SpeedButton21Click()
{
    if (!SendASCII_Active)
        return;
    SendASCII_Active = false;
    End_Flood();
    TimerSendWord->Stop();
}

void TestTraffic::Send_Timed_ASCII()
{
    if (!SendASCII_Active || !hooks_.Clear_To_Send() || !Flow_Control)
        return;
    Write_Echoed(Ascii_Array());
}

// No thread outlives its run (every way that ends a run ends its thread),
// so a start always makes a new one.
void TestTraffic::Start_Flood_Thread()
{
    const int run = ++Flood_Run;
    Flood_Failure_Shown = false;
    Flood = std::make_unique<TInfinitySenrASCII>(TInfinitySenrASCII::Link{
        [this] { return SendASCII_Active && Flow_Control && hooks_.Clear_To_Send(); },
        [this, run](const std::uint8_t *bytes, std::uint32_t count, bool retry, std::uint32_t &taken,
                    const std::atomic<bool> &stop) { return Flood_Write(run, bytes, count, retry, taken, stop); }});
    ASCII_Thread_Exists = true;
}

// On the flood thread. A failed write pauses the flood, which then goes
// on; the main thread says why, without the flood waiting for it. A write
// its owner stopped has nothing to say.
bool TestTraffic::Flood_Write(int run, const std::uint8_t *bytes, std::uint32_t count, bool retry, std::uint32_t &taken,
                              const std::atomic<bool> &stop)
{
    const Flood_Report report = hooks_.Flood_Write(bytes, count, retry, stop);
    taken = report.taken;
    if (report.outcome == Flood_Outcome::Written || stop)
        return report.outcome == Flood_Outcome::Written;
    QMetaObject::invokeMethod(
        this, [this, run, report] { Flood_Failed(run, report.outcome, report.error); }, Qt::QueuedConnection);
    return false;
}

// Once a run. A run that has ended meanwhile (by "Стоп", the page or the
// port, whose closing stopped its write) has nothing left to say.
void TestTraffic::Flood_Failed(int run, Flood_Outcome outcome, int error)
{
    if (run != Flood_Run || !ASCII_Thread_Exists || Flood_Failure_Shown)
        return;
    Flood_Failure_Shown = true;
    if (outcome == Flood_Outcome::Uncounted)
        hooks_.Report_Counter_Failure(error);
    else
        Write_Failed();
}

// The join waits for the write in progress only until it sees the stop,
// however long the line holds it off. The flood thread never waits for the
// main thread, so the main thread may wait for it.
void TestTraffic::End_Flood()
{
    if (!Flood)
        return;
    Flood.reset();
    ASCII_Thread_Exists = false;
    hooks_.Show_Sent_Bytes();
}
