// Switching modem and port together between 115200 and 9600 bit/s.

#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "serial/PortLists.h"
#include "serial/PortErrors.h"

void TForm1::Show_Speed_Switch(bool at115200)
{
    Speed_Is_115200 = at115200;
    QPalette palette = SpeedButton25->palette();
    palette.setColor(QPalette::ButtonText, at115200 ? QColor(0, 128, 0) : QColor(0, 0, 255));
    SpeedButton25->setPalette(palette);
    SpeedButton25->setText(at115200 ? QStringLiteral("Переход на 9600") : QStringLiteral("Переход на 115200"));
}

void TForm1::SpeedButtonChangeSpped115200_9600()
{
    if (!CTS_On)
        return;  // the modem is not ready
    const bool toSlow = Speed_Is_115200;
    const QString target = toSlow ? QStringLiteral("9600") : QStringLiteral("115200");
    if (ComboBox2->currentText() == target)
        return;
    Send_AT_Command("AT+IPR=" + target.toLatin1());
    Speed_Is_115200 = !toSlow;
    // A second click before the tick leaves the running timer as it is; the
    // tick then sets the speed the flag names at that moment.
    if (!Timer_ChangeSpped115200_9600->isActive())
        Timer_ChangeSpped115200_9600->start();
    ComboBox2->setEditText(target);
    Show_Speed_Switch(Speed_Is_115200);
}

void TForm1::Timer_ChangeSpped115200_9600Timer()
{
    ChangeOurSpeed(Speed_Is_115200 ? QStringLiteral("115200") : QStringLiteral("9600"));
    Timer_ChangeSpped115200_9600->stop();
}

// Only the local port changes; the status bar keeps the speed from before.
void TForm1::ChangeOurSpeed(const QString &speed)
{
    if (!PortHandle || !PortHandle->getState(Port_Settings)) {
        vexa::Show_Message(Port_Error_Text(PortError::Read_Settings));
    } else {
        if (const int value = speed.toInt(); Is_Listed_Speed(value))
            Port_Settings.BaudRate = static_cast<std::uint32_t>(value);
        if (!PortHandle->setState(Port_Settings))
            vexa::Show_Message(Port_Error_Text(PortError::Write_Settings));
    }
    Clear_Focus();
}

void TForm1::Send_AT_Command(const QByteArray &command)
{
    if (!Write_To_Port(command + '\r'))
        vexa::Show_Message(Port_Error_Text(PortError::Write));
}
