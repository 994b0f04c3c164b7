// The help and about pages, shown on the terminal screen.

#include <QDesktopServices>
#include <QFile>
#include <QUrl>

#include "mainwindow/CaptionText.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/Messages.h"

void TForm1::Show_Help_Page(const char *file, const char *heading)
{
    Clear_Screen();
    Enter_Start_Directory();
    QFile page(QStringLiteral("Menu/Contane/") + QLatin1String(file));
    if (!page.open(QIODevice::ReadOnly)) {
        vexa::Show_Message(QStringLiteral("Нету файла с информацией"));
        return;
    }
    Print_To_Screen(vexa::Cp1251_Encode(QString::fromUtf8(heading)), kRed);
    Print_To_Screen(QByteArray("\r"), kRed);
    for (;;) {
        const QByteArray block = page.read(4096);
        if (block.isEmpty()) {
            if (page.error() != QFileDevice::NoError || !page.atEnd())
                vexa::Show_Message(QStringLiteral("Нету файла с информацией"));
            return;
        }
        Print_To_Screen(block, kBlack);
    }
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
