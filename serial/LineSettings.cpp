// Line settings, BREAK, the modem-signal lamps and the status bar.

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/LocalTime.h"
#include "platform/Messages.h"
#include "serial/PortLists.h"
#include "serial/PortErrors.h"

using namespace vexa;

namespace {

// The speed and data-bits boxes are editable: a text that is not a whole
// number is reported and changes nothing.
std::optional<int> Whole_Number(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (ok)
        return value;
    Show_Error(QStringLiteral("\"%1\" не является целым числом").arg(text));
    return std::nullopt;
}

template <typename Value>
using NamedValue = std::pair<const char *, Value>;
const NamedValue<Parity_Mode> kParities[] = {
    {"Even", kEvenParity}, {"Mark", kMarkParity}, {"None", kNoParity}, {"Odd", kOddParity}};
const NamedValue<Stop_Bits> kStopBits[] = {{"1", kOneStopBit}, {"1,5", kOne5StopBits}, {"2", kTwoStopBits}};

// The field takes the value whose name the text is exactly; any other text
// leaves it as the port reported it.
template <typename Value, std::size_t N>
bool Set_Named(const QString &text, const NamedValue<Value> (&names)[N], Value &field)
{
    for (const auto &[name, value] : names)
        if (text == QLatin1String(name))
            field = value;
    return true;
}

}  // namespace

// Read the settings from the port, change one group of fields, write them
// back, show the result. change() returns false to abandon the write.
bool TForm1::Settings_Change(const std::function<bool(PortSettings &)> &change, bool showStatus)
{
    if (!PortHandle || !PortHandle->getState(Port_Settings)) {
        Show_Message(Port_Error_Text(PortError::Read_Settings));
    } else {
        if (!change(Port_Settings))
            return false;
        if (!PortHandle->setState(Port_Settings))
            Show_Message(Port_Error_Text(PortError::Write_Settings));
    }
    if (showStatus)
        Show_Port_Status();
    Clear_Focus();
    return true;
}

void TForm1::ComboBox2Change()
{
    Settings_Change(
        [this](PortSettings &s) {
            const auto speed = Whole_Number(ComboBox2->currentText());
            if (!speed)
                return false;
            if (Is_Listed_Speed(*speed))
                s.BaudRate = static_cast<std::uint32_t>(*speed);
            if (*speed == 9600 || *speed == 115200)
                Show_Speed_Switch(*speed == 115200);
            return true;
        },
        true);
}

void TForm1::ComboBox3Change()
{
    Settings_Change(
        [this](PortSettings &s) {
            const auto bits = Whole_Number(ComboBox3->currentText());
            if (!bits)
                return false;
            if (*bits >= 5 && *bits <= 8)
                s.ByteSize = static_cast<std::uint8_t>(*bits);
            return true;
        },
        true);
}

void TForm1::ComboBox4Change()
{
    const QString text = ComboBox4->currentText();
    Settings_Change([text](PortSettings &s) { return Set_Named(text, kParities, s.Parity); }, true);
}

void TForm1::ComboBox5Change()
{
    const QString text = ComboBox5->currentText();
    Settings_Change([text](PortSettings &s) { return Set_Named(text, kStopBits, s.StopBits); }, true);
}

void TForm1::CheckBox1Click()
{
    const bool ticked = CheckBox1->isChecked();
    Settings_Change(
        [ticked](PortSettings &s) {
            s.fOutxCtsFlow = ticked;
            s.fRtsControl = ticked ? kRtsControlHandshake : kRtsControlEnable;
            return true;
        },
        true);
}

void TForm1::CheckBox2Click()
{
    const bool ticked = CheckBox2->isChecked();
    Settings_Change(
        [ticked](PortSettings &s) {
            // A DTR the driver handshakes stays so; it is on when the port is.
            if (!ticked)
                s.fDtrControl = kDtrControlDisable;
            else if (s.fDtrControl != kDtrControlHandshake)
                s.fDtrControl = kDtrControlEnable;
            return true;
        },
        false);
}

void TForm1::CheckBox4Click()
{
    if (CheckBox4->isChecked()) {
        if (!PortHandle || !PortHandle->setBreak())
            Show_Message(QStringLiteral("Сигнал Break не выставлен"));
    } else if (!PortHandle || !PortHandle->clearBreak()) {
        Show_Message(QStringLiteral("Сигнал Break не сброшен"));
    }
    Clear_Focus();
}

void TForm1::Show_Port_Status()
{
    if (!PortHandle || !PortHandle->getState(Port_Settings)) {
        Show_Message(Port_Error_Text(PortError::Read_Parameters));
        return;
    }
    Set_Status_Panel(1, Line_Status_Text(Port_Settings));
    Set_Status_Panel(2, Flow_Status_Text(Port_Settings));
}

void TForm1::Set_Lamp(QLineEdit *lamp, ColorRef color)
{
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Base, QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
    lamp->setPalette(palette);
}

void TForm1::Timer1Timer()
{
    constexpr ColorRef kYellow = 0x00FFFF, kCyan = 0xFFFF00;
    try {
        std::uint32_t status = 0;
        if (PortHandle && PortHandle->getModemStatus(status)) {
            CTS_On = status & kMsCtsOn;
            DCD_On = status & kMsRlsdOn;
            Set_Lamp(Edit1, CTS_On ? kYellow : kBlack);
            Set_Lamp(Edit2, (status & kMsDsrOn) ? kYellow : kBlack);
            Set_Lamp(Edit3, (status & kMsRingOn) ? kYellow : kBlack);
            Set_Lamp(Edit4, DCD_On ? kCyan : kBlack);
        }
    } catch (...) {
        Timer1->stop();
        Show_Message(Port_Error_Text(PortError::Read_Line_Signals));
        Timer1->start();
    }
    Set_Status_Panel(4, QStringLiteral("Время: ") + Long_Time_Text(QTime::currentTime()));
}
