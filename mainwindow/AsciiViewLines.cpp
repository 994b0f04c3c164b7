#include "mainwindow/AsciiViewLines.h"

#include "platform/Cp1251.h"

QString Ascii_View_Line(std::uint8_t byte)
{
    // A raw control character would break or hide the line in a text field;
    // its printable picture stands in for it.
    QChar c = vexa::Cp1251_To_Unicode(byte);
    if (byte < 0x20)
        c = QChar(0x2400 + byte);
    else if (byte == 0x7F)
        c = QChar(0x2421);
    else if (c.category() == QChar::Other_Control)
        c = QChar(0xFFFD);
    return QString::number(byte) + QStringLiteral("  ") + c;
}

AsciiViewBatch Ascii_View_Batch(std::uint32_t linesBefore, std::uint32_t count)
{
    const std::uint64_t total = std::uint64_t(linesBefore) + count;
    const std::uint64_t clears = total / kAsciiViewLimit;
    if (clears == 0)
        return {false, 0, static_cast<std::uint32_t>(total)};
    const std::uint64_t lastClear = clears * kAsciiViewLimit;
    return {true, static_cast<std::uint32_t>(lastClear - linesBefore), static_cast<std::uint32_t>(total - lastClear)};
}
