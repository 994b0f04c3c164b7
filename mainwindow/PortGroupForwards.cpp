// The port group: the window built its controls, the port and its line
// control do their work; the handlers the window has always had hand over.

#include "mainwindow/ZRMHyperTerminal.h"
#include "serial/LineControl.h"

void TForm1::Find_Free_Ports() { Serial->Find_Free_Ports(); }
void TForm1::ComboBox1Change() { Serial->ComboBox1Change(); }
void TForm1::SpeedButton26Click() { Serial->SpeedButton26Click(); }

void TForm1::ComboBox2Change() { Serial->Line->ComboBox2Change(); }
void TForm1::ComboBox3Change() { Serial->Line->ComboBox3Change(); }
void TForm1::ComboBox4Change() { Serial->Line->ComboBox4Change(); }
void TForm1::ComboBox5Change() { Serial->Line->ComboBox5Change(); }
void TForm1::CheckBox1Click() { Serial->Line->CheckBox1Click(); }
void TForm1::CheckBox2Click() { Serial->Line->CheckBox2Click(); }
void TForm1::CheckBox4Click() { Serial->Line->CheckBox4Click(); }
void TForm1::Show_Port_Status() { Serial->Line->Show_Port_Status(); }
void TForm1::Timer1Timer() { Serial->Line->Timer1Timer(); }
void TForm1::SpeedButtonChangeSpped115200_9600() { Serial->Line->SpeedButtonChangeSpped115200_9600(); }
void TForm1::Timer_ChangeSpped115200_9600Timer() { Serial->Line->Timer_ChangeSpped115200_9600Timer(); }
void TForm1::ChangeOurSpeed(const QString &speed) { Serial->Line->ChangeOurSpeed(speed); }
void TForm1::Show_Speed_Switch(bool at115200) { Serial->Line->Show_Speed_Switch(at115200); }

void TForm1::Send_AT_Command(const QByteArray &command) { Serial->Send_AT_Command(command); }
