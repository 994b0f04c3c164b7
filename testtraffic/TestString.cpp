// The test string: started and stopped by its buttons, sent by the ticks of
// TimerSendWord, which also pace the timed ASCII array.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/LocalTime.h"
#include "serial/Link.h"
#include "serial/PortErrors.h"
#include "testtraffic/TestFrame.h"
#include "testtraffic/TestTraffic.h"

namespace {

const QString kWriteFailed = Port_Error_Text(PortError::Write);

}  // namespace

// The start steps both blocks share: carrier first, then one kind of test
// traffic at a time (a second start is ignored without a message).
bool TestTraffic::May_Start_Test_Traffic()
{
    if (!hooks_.Carrier()) {
        console_.Notice(QStringLiteral("Нет сигнала DSD"));
        return false;
    }
    return !SendString_Active && !SendASCII_Active;
}

// The pause is read before any flag is set, so a text that is not a number
// leaves nothing half started.
std::optional<int> TestTraffic::Read_Pause(QComboBox *box)
{
    const QString text = box->currentText();
    const auto ms = Pause_Ms(text);
    if (!ms)
        console_.Notice(QStringLiteral("\"%1\" не является целым числом").arg(text), vexa::MessageKind::Error);
    return ms;
}

// A pause of 0 or less starts no timer (one at 0 ms would fire without
// pause): the run sends nothing, as a timer that never fires would.
void TestTraffic::Start_Send_Timer(int ms)
{
    if (ms > 0)
        TimerSendWord->Start(ms);
    else
        TimerSendWord->Stop();
}

void TestTraffic::SpeedButton20Click()
{
    if (!May_Start_Test_Traffic())
        return;
    const auto pause = Read_Pause(ComboBox9);
    if (!pause)
        return;
    SendString_Active = true;
    Start_Send_Timer(*pause);
}

void TestTraffic::SpeedButton19Click()
{
    if (!SendString_Active)
        return;
    SendString_Active = false;
    TimerSendWord->Stop();
}

// While the box of a failed write is waiting or open the run pauses, so
// that boxes never pile up and no string goes out unseen under one.
void TestTraffic::TimerSendWordTimer()
{
    if (!hooks_.Carrier() || console_.Notice_Open(kWriteFailed))
        return;
    if (SendString_Active)
        Send_Test_String();
    Send_Timed_ASCII();
}

void TestTraffic::Send_Test_String()
{
    std::optional<QString> time;
    if (CheckBox5->isChecked())
        time = Long_Time_Text(Time_Of_Day());
    Write_Echoed(Test_Frame(Edit12->text(), time));
}

// Drawn in red, then written.
void TestTraffic::Write_Echoed(const QByteArray &bytes)
{
    console_.Print(bytes, kRed);
    if (!link_.Write(bytes))
        Write_Failed();
}

void TestTraffic::Write_Failed() { console_.Notice(kWriteFailed); }
