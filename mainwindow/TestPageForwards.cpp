// The test page's place in the window: the test traffic is built on it and
// talks to the window's port, screen and clock; the handlers the window has
// always had are forwards to it.

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "serial/LineControl.h"
#include "mainwindow/WindowSeams.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "serial/PortWriter.h"
#include "testtraffic/TestTraffic.h"

void TForm1::Build_Test_Page(QWidget *page)
{
    TestTraffic::Window_Hooks hooks{
        [this] { return Serial->Line->DCD_On.load(); }, [this] { return Serial->Line->CTS_On.load(); },
        [this](const std::uint8_t *bytes, std::uint32_t count, bool retry, const std::atomic<bool> &stop) {
            PortWriter::Report report;
            const auto outcome = Serial->Writer->Write_Exclusive(bytes, count, report, retry, &stop);
            const auto flood = outcome == PortWriter::Outcome::Written  ? TestTraffic::Flood_Outcome::Written
                               : outcome == PortWriter::Outcome::Failed ? TestTraffic::Flood_Outcome::Failed
                                                                        : TestTraffic::Flood_Outcome::Uncounted;
            return TestTraffic::Flood_Report{flood, report.taken, report.error};
        },
        [this](int error) { Serial->Writer->Report_Counter_Failure(error); }, [this] { Show_Sent_Bytes(); }};
    Traffic = std::make_unique<TestTraffic>(page, Clock, *Serial, *Screen_Console, std::move(hooks));
    // Whatever the field comes to hold is the count the writers add to.
    connect(Traffic->Edit14, &QLineEdit::textChanged, this,
            [this](const QString &text) { Serial->Writer->Sent_Bytes.Set_Text(text); });
    Serial->Writer->Sent_Bytes.Set_Text(Traffic->Edit14->text());
    Traffic->Set_Flow_Control(CheckBox1->isChecked());
    connect(CheckBox1, &QCheckBox::toggled, Traffic.get(), &TestTraffic::Set_Flow_Control);
}

void TForm1::SpeedButton20Click() { Traffic->SpeedButton20Click(); }
void TForm1::SpeedButton19Click() { Traffic->SpeedButton19Click(); }
void TForm1::SpeedButton22Click() { Traffic->SpeedButton22Click(); }
void TForm1::SpeedButton21Click() { Traffic->SpeedButton21Click(); }
void TForm1::SpeedButton23Click() { Traffic->SpeedButton23Click(); }
void TForm1::TimerSendWordTimer() { Traffic->TimerSendWordTimer(); }

void TForm1::Show_Sent_Bytes()
{
    if (!Serial->Writer->Sent_Bytes.Valid())
        return;
    // The field's own change would hand the text back as a new count and
    // undo adds made since it was read.
    const QSignalBlocker blocker(Traffic->Edit14);
    Traffic->Edit14->setText(Serial->Writer->Sent_Bytes.Text());
}
