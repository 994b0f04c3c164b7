// The programming page's place in the window: the firmware download is built
// on it and talks to the window's port, screen and clock; the handlers the
// window has always had are forwards to it.

#include "mainwindow/PageControl.h"
#include "mainwindow/WindowSeams.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/FileDialogs.h"
#include "xmodem/FirmwareDownload.h"

void TForm1::Build_Programming_Page(QWidget *page)
{
    Firmware = std::make_unique<FirmwareDownload>(
        page, Clock, *Serial, *Screen_Console,
        FirmwareDownload::Window_Hooks{
            [this](bool locked) { PageControl1->setEnabled(!locked); }, [this] { Enter_Start_Directory(); },
            [this](const char *dialog, const QString &filter) { return Choose_Firmware(dialog, filter); },
            [this] { Clear_Focus(); }});
}

// The dialog starts in the start folder and may leave the process elsewhere.
QString TForm1::Choose_Firmware(const char *dialog, const QString &filter)
{
    Enter_Start_Directory();
    const QString path =
        vexa::Choose_File(this, {vexa::FileDialogKind::Open, QString::fromLatin1(dialog), Start_Directory, filter, {}});
    Enter_Start_Directory();
    Clear_Focus();
    return path;
}

void TForm1::SpeedButton14Click() { Firmware->SpeedButton14Click(); }
void TForm1::SpeedButton15Click() { Firmware->SpeedButton15Click(); }
void TForm1::SpeedButton16Click() { Firmware->SpeedButton16Click(); }
void TForm1::SpeedButton17Click() { Firmware->SpeedButton17Click(); }
void TForm1::SpeedButton18Click() { Firmware->SpeedButton18Click(); }
void TForm1::TimerProgrammingSeveralFilesTimer() { Firmware->TimerProgrammingSeveralFilesTimer(); }
void TForm1::TimerRunNextTimer() { Firmware->TimerRunNextTimer(); }
