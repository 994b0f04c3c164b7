#pragma once
// The window's side of the seams the subsystems talk through: its terminal
// screen and notice channel as a Console.

#include "platform/Console.h"
#include "platform/NoticeQueue.h"

class TForm1;

class Window_Console : public Console {
public:
    explicit Window_Console(TForm1 &form) : form_(form) {}
    void Print(const QByteArray &bytes, ColorRef color) override;
    void New_Line() override;
    void Notice(const QString &text, vexa::MessageKind kind) override;
    void Notice_With_Detail(const QString &text, const QString &detail) override;
    bool Notice_Open(const QString &text, vexa::MessageKind kind) const override;

private:
    TForm1 &form_;
    vexa::NoticeQueue notices_;
};
