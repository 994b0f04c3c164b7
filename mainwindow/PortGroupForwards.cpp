// The port group's line controls: the window built them, the line control
// does their work; the handlers the window has always had hand over.

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "serial/LineControl.h"
#include "serial/PortErrors.h"

void TForm1::ComboBox2Change() { Line->ComboBox2Change(); }
void TForm1::ComboBox3Change() { Line->ComboBox3Change(); }
void TForm1::ComboBox4Change() { Line->ComboBox4Change(); }
void TForm1::ComboBox5Change() { Line->ComboBox5Change(); }
void TForm1::CheckBox1Click() { Line->CheckBox1Click(); }
void TForm1::CheckBox2Click() { Line->CheckBox2Click(); }
void TForm1::CheckBox4Click() { Line->CheckBox4Click(); }
void TForm1::Show_Port_Status() { Line->Show_Port_Status(); }
void TForm1::Timer1Timer() { Line->Timer1Timer(); }
void TForm1::SpeedButtonChangeSpped115200_9600() { Line->SpeedButtonChangeSpped115200_9600(); }
void TForm1::Timer_ChangeSpped115200_9600Timer() { Line->Timer_ChangeSpped115200_9600Timer(); }
void TForm1::ChangeOurSpeed(const QString &speed) { Line->ChangeOurSpeed(speed); }
void TForm1::Show_Speed_Switch(bool at115200) { Line->Show_Speed_Switch(at115200); }

void TForm1::Send_AT_Command(const QByteArray &command)
{
    if (!Write_To_Port(command + '\r'))
        vexa::Show_Message(Port_Error_Text(PortError::Write));
}
