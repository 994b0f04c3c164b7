// The terminal screen: a picture written cell by cell, its blinking cursor,
// the work-character log, and the keys typed at the window.

#include <QDir>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <cstring>

#include "mainwindow/GlyphStrips.h"
#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/ScreenGeometry.h"
#include "mainwindow/ScreenPicture.h"
#include "mainwindow/WindowSeams.h"
#include "mainwindow/WorkCharLog.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/Messages.h"
#include "serial/PortErrors.h"

void TForm1::Draw_Glyph(std::uint8_t byte, int x, int y, ColorRef color)
{
    if (x < 0 || x > kScreenWidth - kCellWidth || y < 0 || y > kLastRowY)
        return;
    const QImage &strip = glyphs_->Strip(color, Screen_Back_Color);
    const qsizetype fromStride = strip.bytesPerLine() / qsizetype(sizeof(QRgb));
    const qsizetype toStride = Screen_Image.bytesPerLine() / qsizetype(sizeof(QRgb));
    const auto *from = reinterpret_cast<const QRgb *>(strip.constBits()) + byte * kCellWidth;
    // One look-up of the picture's pixels per cell, not one per row.
    auto *to = reinterpret_cast<QRgb *>(Screen_Image.bits()) + y * toStride + x;
    for (int row = 0; row < kLineHeight; ++row, from += fromStride, to += toStride)
        std::memcpy(to, from, kCellWidth * sizeof(QRgb));  // a fixed size: no call per row
    dirty_ |= QRect(x, y, kCellWidth, kLineHeight);
}

void TForm1::Print_To_Screen(const std::uint8_t *bytes, std::uint32_t count, ColorRef color)
{
    if (count == 0)
        return;
    if (Form4)
        Form4->Add_Bytes(bytes, count);
    Append_Work_Char_Log(bytes, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (b) {
        case 8: Back_Space_Step(Cursor_X); break;
        case 10: break;
        case 13:
            Draw_Cursor(Cursor_X, Cursor_Y, Screen_Back_Color);
            Screen_New_Line();
            break;
        default:
            if (Cursor_X >= kScreenWidth)
                Screen_New_Line();
            Draw_Glyph(b, Cursor_X, Cursor_Y, color);
            Cursor_X += kCellWidth;
            break;
        }
    }
    Image1->update(dirty_);
    dirty_ = QRect();
}

void TForm1::Print_To_Screen(const QByteArray &bytes, ColorRef color)
{
    Print_To_Screen(reinterpret_cast<const std::uint8_t *>(bytes.constData()), static_cast<std::uint32_t>(bytes.size()),
                    color);
}

// A step moves the cursor without scrolling, except on the last row, where it
// would leave the picture.
void TForm1::Step_Line()
{
    Draw_Cursor(Cursor_X, Cursor_Y, Screen_Back_Color);
    if (Cursor_Y >= kLastRowY) {
        Screen_New_Line();
        return;
    }
    Cursor_X = 0;
    Cursor_Y += kLineHeight;
}

void TForm1::Screen_New_Line()
{
    switch (New_Line_Step(Cursor_X, Cursor_Y)) {
    case NewLineEffect::Cleared: Clear_Screen(); break;
    case NewLineEffect::Scrolled: {
        QScrollBar *bar = ScrollBox1->verticalScrollBar();
        bar->setValue(bar->value() + kLineHeight);
        break;
    }
    case NewLineEffect::Moved: break;
    }
}

void TForm1::Clear_Screen()
{
    Cursor_X = 0;
    Cursor_Y = 0;
    Screen_Image.fill(Color_Ref_To_Rgb(Screen_Back_Color));
    ScrollBox1->verticalScrollBar()->setValue(0);
    dirty_ = Screen_Image.rect();
    Image1->update();
}

void TForm1::Draw_Cursor(int x, int y, ColorRef color)
{
    const QRgb rgb = Color_Ref_To_Rgb(color);
    auto set = [&](int px, int py) {
        if (px >= 0 && px < kScreenWidth && py >= 0 && py < kScreenHeight)
            Screen_Image.setPixel(px, py, rgb);
    };
    const int bottom = y + kLineHeight - 1;
    set(x, y);
    set(x, bottom);
    for (int py = y; py <= bottom; ++py) {
        set(x + 1, py);
        set(x + 2, py);
    }
    set(x + 3, y);
    set(x + 3, bottom);
    Image1->update(QRect(x, y, 4, kLineHeight));
}

void TForm1::Timer_CursorTimer()
{
    const CellPosition at = Blink_Position(Cursor_X, Cursor_Y);
    Draw_Cursor(at.x, at.y, Cursor_Phase ? kGreen : Screen_Back_Color);
    Cursor_Phase = !Cursor_Phase;
}

void TForm1::FormKeyPress(const QString &typed)
{
    for (QChar c : typed) {
        const QByteArray byte = vexa::Cp1251_Encode(QString(c));
        if (!Write_To_Port(byte))
            Screen_Console->Notice(Port_Error_Text(PortError::Write), vexa::MessageKind::Message);
    }
}

void TForm1::SpeedButton10Click()
{
    Clear_Screen();
    Clear_Focus();
}

void TForm1::Create_Work_Char_Log()
{
    const QString name = Work_Char_Log_Name(QDateTime::currentDateTime());
    QDir(Start_Directory).mkpath(QStringLiteral("Logs/WorkChar"));
    WorkChar_Log.setFileName(QDir(Start_Directory).filePath(name));
    if (!WorkChar_Log.open(QIODevice::WriteOnly | QIODevice::Truncate))
        vexa::Show_Error(QStringLiteral("Не удалось создать журнал ") + name + QStringLiteral(": ") +
                         WorkChar_Log.errorString());
}

// Written through at once, so a crash loses nothing already shown. A log
// that cannot be written (a full disk) is reported once, after the print has
// finished, and the screen goes on showing everything.
void TForm1::Append_Work_Char_Log(const std::uint8_t *bytes, std::uint32_t count)
{
    if (!WorkChar_Log.isOpen())
        return;
    const bool written = WorkChar_Log.write(reinterpret_cast<const char *>(bytes), count) == count;
    if ((WorkChar_Log.flush() && written) || logErrorShown_)
        return;
    logErrorShown_ = true;
    Screen_Console->Notice(QStringLiteral("Ошибка записи в журнал: ") + WorkChar_Log.errorString(),
                           vexa::MessageKind::Error);
}
