#pragma once
// The window's side of the seams the subsystems talk through: its terminal
// screen and notice channel as a Console, its port as a Link.

#include "platform/Console.h"
#include "platform/NoticeQueue.h"
#include "serial/Link.h"

class TForm1;

class Window_Console : public Console {
public:
    explicit Window_Console(TForm1 &form) : form_(form) {}
    void Print(const QByteArray &bytes, ColorRef color) override;
    void New_Line() override;
    void Notice(const QString &text, vexa::MessageKind kind) override;
    bool Notice_Open(const QString &text, vexa::MessageKind kind) const override;

private:
    TForm1 &form_;
    vexa::NoticeQueue notices_;
};

class Window_Link : public Link {
public:
    explicit Window_Link(TForm1 &form) : form_(form) {}
    bool Write(const std::uint8_t *bytes, std::uint32_t count) override;
    using Link::Write;
    std::uint32_t Baud_Rate() const override;
    bool Port_Open() const override;

private:
    TForm1 &form_;
};
