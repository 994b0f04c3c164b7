#include "atcommands/AutoloadConfig.h"

#include "atcommands/TextLines.h"
#include "platform/Cp1251.h"

AutoloadChoice Read_Autoload(const QByteArray &file)
{
    const QList<QByteArray> lines = Read_Text_Lines(file);
    AutoloadChoice choice;
    choice.On = !lines.isEmpty() && lines[0] == "LoadATCommandList";
    if (choice.On && lines.size() > 1)
        choice.Path = lines[1];
    return choice;
}

QByteArray Autoload_On(const QByteArray &path) { return "LoadATCommandList\r\n" + path + "\r\n"; }

QByteArray Autoload_Off() { return "NoLoadATCommandList\r\nNoFile\r\n"; }

bool Fits_Cp1251(const QString &path)
{
    return !path.contains(QLatin1Char('\r')) && !path.contains(QLatin1Char('\n')) &&
           vexa::Cp1251_Decode(vexa::Cp1251_Encode(path)) == path;
}
