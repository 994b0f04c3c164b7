#include "mainwindow/WindowSeams.h"

#include "mainwindow/ZRMHyperTerminal.h"

void Window_Console::Print(const QByteArray &bytes, ColorRef color) { form_.Print_To_Screen(bytes, color); }

void Window_Console::New_Line() { form_.Screen_New_Line(); }

void Window_Console::Notice(const QString &text, vexa::MessageKind kind) { notices_.Post(kind, text); }

void Window_Console::Notice_With_Detail(const QString &text, const QString &detail)
{
    notices_.Post(vexa::MessageKind::Message, text, detail);
}

bool Window_Console::Notice_Open(const QString &text, vexa::MessageKind kind) const
{
    return notices_.Pending(kind, text);
}

bool TForm1::Write_To_Port(const std::uint8_t *bytes, std::uint32_t count) { return Serial->Write(bytes, count); }

bool TForm1::Write_To_Port(const QByteArray &bytes)
{
    return Write_To_Port(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                         static_cast<std::uint32_t>(bytes.size()));
}
