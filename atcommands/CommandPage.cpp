// The command page: its controls, and what the main window asks of the AT
// commands subsystem at start-up and on a page switch.

#include "atcommands/QwickCommnds.h"
#include "mainwindow/ZRMHyperTerminal.h"

void TForm1::Build_Command_Page(QWidget *) {}

// Start-up step 11 loads the AT command list named in Config/ATComm/ATList.nee
// when its autoload is on. The command list block does not exist yet.
void TForm1::Autoload_AT_List() {}

void TForm1::Hide_Quick_Panel()
{
    if (Form8 && Form8->isVisible())
        Form8->hide();
}
