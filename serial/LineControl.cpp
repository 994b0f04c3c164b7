#include "serial/LineControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/Console.h"
#include "platform/LocalTime.h"
#include "serial/PortLists.h"
#include "serial/PortErrors.h"

using namespace vexa;

namespace {

// The speed and data-bits boxes are editable: a text that is not a whole
// number is reported and changes nothing.
std::optional<int> Whole_Number(const QString &text, Console &console)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (ok)
        return value;
    console.Notice(QStringLiteral("\"%1\" не является целым числом").arg(text), MessageKind::Error);
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

void Set_Lamp(QLineEdit *lamp, ColorRef color)
{
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Base, QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
    lamp->setPalette(palette);
}

}  // namespace

LineControl::LineControl(Controls controls, PortSettings &settings, Console &console, Host host, QObject *parent)
    : QObject(parent), c_(controls), settings_(settings), console_(console), host_(std::move(host))
{
    Show_Speed_Switch(true);
    All_Lamps_Dark();
}

void LineControl::All_Lamps_Dark()
{
    for (QLineEdit *lamp : {c_.Edit1, c_.Edit2, c_.Edit3, c_.Edit4})
        Set_Lamp(lamp, kBlack);
}

// Read the settings from the port, change one group of fields, write them
// back, show the result. change() returns false to abandon the write.
bool LineControl::Settings_Change(const std::function<bool(PortSettings &)> &change, bool showStatus)
{
    const auto port = host_.Port();
    if (!port || !port->getState(settings_)) {
        console_.Notice(Port_Error_Text(PortError::Read_Settings));
    } else {
        if (!change(settings_))
            return false;
        if (!port->setState(settings_))
            console_.Notice(Port_Error_Text(PortError::Write_Settings));
    }
    if (showStatus)
        Show_Port_Status();
    host_.Clear_Focus();
    return true;
}

void LineControl::ComboBox2Change()
{
    Settings_Change(
        [this](PortSettings &s) {
            const auto speed = Whole_Number(c_.ComboBox2->currentText(), console_);
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

void LineControl::ComboBox3Change()
{
    Settings_Change(
        [this](PortSettings &s) {
            const auto bits = Whole_Number(c_.ComboBox3->currentText(), console_);
            if (!bits)
                return false;
            if (*bits >= 5 && *bits <= 8)
                s.ByteSize = static_cast<std::uint8_t>(*bits);
            return true;
        },
        true);
}

void LineControl::ComboBox4Change()
{
    const QString text = c_.ComboBox4->currentText();
    Settings_Change([text](PortSettings &s) { return Set_Named(text, kParities, s.Parity); }, true);
}

void LineControl::ComboBox5Change()
{
    const QString text = c_.ComboBox5->currentText();
    Settings_Change([text](PortSettings &s) { return Set_Named(text, kStopBits, s.StopBits); }, true);
}

void LineControl::CheckBox1Click()
{
    const bool ticked = c_.CheckBox1->isChecked();
    Settings_Change(
        [ticked](PortSettings &s) {
            s.fOutxCtsFlow = ticked;
            s.fRtsControl = ticked ? kRtsControlHandshake : kRtsControlEnable;
            return true;
        },
        true);
}

void LineControl::CheckBox2Click()
{
    const bool ticked = c_.CheckBox2->isChecked();
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

void LineControl::CheckBox4Click()
{
    const auto port = host_.Port();
    if (c_.CheckBox4->isChecked()) {
        if (!port || !port->setBreak())
            console_.Notice(QStringLiteral("Сигнал Break не выставлен"));
    } else if (!port || !port->clearBreak()) {
        console_.Notice(QStringLiteral("Сигнал Break не сброшен"));
    }
    host_.Clear_Focus();
}

void LineControl::Show_Port_Status()
{
    const auto port = host_.Port();
    if (!port || !port->getState(settings_)) {
        console_.Notice(Port_Error_Text(PortError::Read_Parameters));
        return;
    }
    host_.Set_Status_Panel(1, Line_Status_Text(settings_));
    host_.Set_Status_Panel(2, Flow_Status_Text(settings_));
}

void LineControl::Timer1Timer()
{
    const auto port = host_.Port();
    constexpr ColorRef kYellow = 0x00FFFF, kCyan = 0xFFFF00;
    try {
        std::uint32_t status = 0;
        if (port && port->getModemStatus(status)) {
            CTS_On = status & kMsCtsOn;
            DCD_On = status & kMsRlsdOn;
            Set_Lamp(c_.Edit1, CTS_On ? kYellow : kBlack);
            Set_Lamp(c_.Edit2, (status & kMsDsrOn) ? kYellow : kBlack);
            Set_Lamp(c_.Edit3, (status & kMsRingOn) ? kYellow : kBlack);
            Set_Lamp(c_.Edit4, DCD_On ? kCyan : kBlack);
        }
    } catch (...) {
        console_.Notice(Port_Error_Text(PortError::Read_Line_Signals));  // once while it is open
    }
    host_.Set_Status_Panel(4, QStringLiteral("Время: ") + Long_Time_Text(QTime::currentTime()));
}

// Switching modem and port together between 115200 and 9600 bit/s.
void LineControl::Show_Speed_Switch(bool at115200)
{
    Speed_Is_115200 = at115200;
    QPalette palette = c_.SpeedButton25->palette();
    palette.setColor(QPalette::ButtonText, at115200 ? QColor(0, 128, 0) : QColor(0, 0, 255));
    c_.SpeedButton25->setPalette(palette);
    c_.SpeedButton25->setText(at115200 ? QStringLiteral("Переход на 9600") : QStringLiteral("Переход на 115200"));
}

void LineControl::SpeedButtonChangeSpped115200_9600()
{
    if (!CTS_On)
        return;  // the modem is not ready
    const bool toSlow = Speed_Is_115200;
    const QString target = toSlow ? QStringLiteral("9600") : QStringLiteral("115200");
    if (c_.ComboBox2->currentText() == target)
        return;
    host_.Send_AT_Command("AT+IPR=" + target.toLatin1());
    Speed_Is_115200 = !toSlow;
    // A second click before the tick leaves the running timer as it is; the
    // tick then sets the speed the flag names at that moment.
    if (!c_.Timer_ChangeSpped115200_9600->isActive())
        c_.Timer_ChangeSpped115200_9600->start();
    c_.ComboBox2->setEditText(target);
    Show_Speed_Switch(Speed_Is_115200);
}

void LineControl::Timer_ChangeSpped115200_9600Timer()
{
    ChangeOurSpeed(Speed_Is_115200 ? QStringLiteral("115200") : QStringLiteral("9600"));
    c_.Timer_ChangeSpped115200_9600->stop();
}

// Only the local port changes; the status bar keeps the speed from before.
void LineControl::ChangeOurSpeed(const QString &speed)
{
    const auto port = host_.Port();
    if (!port || !port->getState(settings_)) {
        console_.Notice(Port_Error_Text(PortError::Read_Settings));
    } else {
        if (const int value = speed.toInt(); Is_Listed_Speed(value))
            settings_.BaudRate = static_cast<std::uint32_t>(value);
        if (!port->setState(settings_))
            console_.Notice(Port_Error_Text(PortError::Write_Settings));
    }
    host_.Clear_Focus();
}
