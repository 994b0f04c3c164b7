#include "atcommands/AutoloadConfig.h"

#include "atcommands/TextLines.h"

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
