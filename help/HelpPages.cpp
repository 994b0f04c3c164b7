// The help and about pages, shown on the terminal screen.

#include <QFile>

#include "help/HelpPages.h"
#include "platform/Cp1251.h"

void Print_Help_Page(Console &console, const char *file, const char *heading)
{
    QFile page(QStringLiteral("Menu/Contane/") + QLatin1String(file));
    if (!page.open(QIODevice::ReadOnly)) {
        console.Notice(QStringLiteral("Нету файла с информацией"));
        return;
    }
    console.Print(vexa::Cp1251_Encode(QString::fromUtf8(heading)), kRed);
    console.Print(QByteArray("\r"), kRed);
    for (;;) {
        const QByteArray block = page.read(4096);
        if (block.isEmpty()) {
            if (page.error() != QFileDevice::NoError || !page.atEnd())
                console.Notice(QStringLiteral("Нету файла с информацией"));
            return;
        }
        console.Print(block, kBlack);
    }
}
