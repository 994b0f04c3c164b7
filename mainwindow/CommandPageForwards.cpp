// The command page's place in the window: the commands and scripts are built
// on it and talk to the window's port, screen and clock; the handlers the
// window has always had are forwards to them.

#include "serial/LineControl.h"
#include "atcommands/AtCommands.h"
#include "mainwindow/WindowSeams.h"
#include "mainwindow/ZRMHyperTerminal.h"

void TForm1::Build_Command_Page(QWidget *page)
{
    AtCommandsHost host{[this] {
                            Enter_Start_Directory();
                            return Start_Directory;
                        },
                        [this] { Clear_Focus(); }, [this] { Step_Line(); },
                        [this] { return Serial->Line->CTS_On.load(); }, [this](bool on) { Rx_Script = on; }};
    Commands =
        std::make_unique<AtCommands>(page, centralWidget(), Gauge1, Clock, *Serial, *Screen_Console, std::move(host));
}

void TForm1::SpeedButton1Click() { Commands->SpeedButton1Click(); }
void TForm1::SpeedButton2Click() { Commands->SpeedButton2Click(); }
void TForm1::SpeedButton3Click() { Commands->SpeedButton3Click(); }
void TForm1::SpeedButton4Click() { Commands->SpeedButton4Click(); }
void TForm1::SpeedButton24Click() { Commands->SpeedButton24Click(); }
void TForm1::CheckBox3Click() { Commands->CheckBox3Click(); }
void TForm1::ComboBox6Change() { Commands->ComboBox6Change(); }
void TForm1::SpeedButton5Click() { Commands->SpeedButton5Click(); }
void TForm1::SpeedButton6Click() { Commands->SpeedButton6Click(); }
void TForm1::SpeedButton7Click() { Commands->SpeedButton7Click(); }
void TForm1::SpeedButton8Click() { Commands->SpeedButton8Click(); }
void TForm1::SpeedButton9Click() { Commands->SpeedButton9Click(); }
void TForm1::BitBtn_Send_Selected_ScriptClick() { Commands->BitBtn_Send_Selected_ScriptClick(); }
void TForm1::SpeedButton_Script_StopClick() { Commands->SpeedButton_Script_StopClick(); }
void TForm1::Timer2Timer() { Commands->Timer2Timer(); }
void TForm1::SpeedButton_StartClick() { Commands->SpeedButton_StartClick(); }
void TForm1::SpeedButton_ResetClick() { Commands->SpeedButton_ResetClick(); }
void TForm1::SpeedButton_StopClick() { Commands->SpeedButton_StopClick(); }
