#include "mainwindow/WindowSeams.h"

#include "mainwindow/ZRMHyperTerminal.h"
#include "serial/PortWriter.h"

void Window_Console::Print(const QByteArray &bytes, ColorRef color) { form_.Print_To_Screen(bytes, color); }

void Window_Console::New_Line() { form_.Screen_New_Line(); }

void Window_Console::Notice(const QString &text, vexa::MessageKind kind) { notices_.Post(kind, text); }

bool Window_Console::Notice_Open(const QString &text, vexa::MessageKind kind) const
{
    return notices_.Pending(kind, text);
}

bool Window_Link::Write(const std::uint8_t *bytes, std::uint32_t count) { return form_.Write_To_Port(bytes, count); }

std::uint32_t Window_Link::Baud_Rate() const { return Port_Open() ? form_.Port_Settings.BaudRate : 0; }

bool Window_Link::Port_Open() const { return form_.PortHandle != nullptr; }

bool TForm1::Write_To_Port(const std::uint8_t *bytes, std::uint32_t count) { return Writer->Write(bytes, count); }

bool TForm1::Write_To_Port(const QByteArray &bytes)
{
    return Write_To_Port(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                         static_cast<std::uint32_t>(bytes.size()));
}
