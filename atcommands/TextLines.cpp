#include "atcommands/TextLines.h"

#include "platform/Cp1251.h"

QList<QByteArray> Split_List_Lines(const QByteArray &file)
{
    const QByteArray text = file.left(file.indexOf('\0') < 0 ? file.size() : file.indexOf('\0'));
    QList<QByteArray> items;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        items << text.mid(start, i - start);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        items << text.mid(start);
    return items;
}

QList<QByteArray> Read_Text_Lines(const QByteArray &file)
{
    constexpr char kEndOfFile = 0x1A;
    QList<QByteArray> lines;
    QByteArray line;
    bool lineBegun = false;  // a byte of the current line has been read
    bool skipping = false;   // after a 0x1A inside the line, up to its LF
    for (const char byte : file) {
        if (byte == '\n') {
            lines << line;
            line.clear();
            lineBegun = skipping = false;
            continue;
        }
        if (byte == kEndOfFile && !lineBegun)
            return lines;
        lineBegun = true;
        if (byte == kEndOfFile)
            skipping = true;
        else if (byte != '\r' && !skipping)
            line += byte;
    }
    if (lineBegun)
        lines << line;
    return lines;
}

QStringList Decoded_Lines(const QList<QByteArray> &lines)
{
    QStringList texts;
    for (const QByteArray &line : lines)
        texts << vexa::Cp1251_Decode(line);
    return texts;
}

QByteArray Editor_Text(const QByteArray &file)
{
    QByteArray text = file;
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    return text;
}

QByteArray File_Text(const QByteArray &editorText)
{
    QByteArray text = editorText;
    return text.replace("\n", "\r\n");
}
