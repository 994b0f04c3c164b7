// The help menu's items and the maker's logo.

#include <QDesktopServices>
#include <QUrl>

#include "help/HelpPages.h"
#include "mainwindow/CaptionText.h"
#include "mainwindow/WindowSeams.h"
#include "mainwindow/ZRMHyperTerminal.h"

void TForm1::Show_Help_Page(const char *file, const char *heading)
{
    Clear_Screen();
    Enter_Start_Directory();
    Print_Help_Page(*Screen_Console, file, heading);
}

void TForm1::N2Click() { Show_Help_Page("Naznach.atm", "***НАЗНАЧЕНИЕ ПРОГРАММЫ***"); }
void TForm1::N3Click() { Show_Help_Page("Avtor.atm", "***АВТОР***"); }
void TForm1::COM1Click() { Show_Help_Page("COM.atm", "***НАСТРОЙКИ COM ПОРТА***"); }
void TForm1::N5Click() { Show_Help_Page("ATcomm.atm", "***ВВОД AT КОМАНД***"); }
void TForm1::N6Click() { Show_Help_Page("ATList.atm", "***РАБОТА СО СПИСКОМ AT КОМАНД***"); }
void TForm1::AT1Click() { Show_Help_Page("ATScript.atm", "***РАБОТА СО СКРИПТАМИ AT КОМАНД***"); }
void TForm1::N7Click() { Show_Help_Page("ATFileSend.atm", "***ПЕРЕДАЧА ФАЙЛОВ***"); }
void TForm1::N9Click() { Show_Help_Page("ATProgram.atm", "***ПРОГРАММИРОВАНИЕ МОДЕМА***"); }
void TForm1::N8Click() { Show_Help_Page("ATLogs.atm", "***ЖУРНАЛЫ***"); }

void TForm1::Image3Click() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerAddress))); }
