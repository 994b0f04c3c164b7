#pragma once
// What a subsystem tells the user through: the terminal screen (with the
// work-character log behind it) and the notice channel for message boxes.
// A subsystem holds a Console, never the window.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "platform/Messages.h"

// Colours in the 0x00BBGGRR order the program's colour values use.
using ColorRef = std::uint32_t;
constexpr ColorRef kBlack = 0x000000, kBlue = 0xFF0000, kRed = 0x0000FF, kGreen = 0x008000, kGrey = 0x808080;

class Console {
public:
    virtual ~Console() = default;
    // Draws the bytes on the screen in the colour and appends them to the
    // work-character log.
    virtual void Print(const QByteArray &bytes, ColorRef color) = 0;
    // Starts a new line on the screen.
    virtual void New_Line() = 0;
    // A box with the text opens after the present handling has returned,
    // never inside it; while a box of the same kind and text is open or
    // waiting, the same notice is not queued again.
    virtual void Notice(const QString &text, vexa::MessageKind kind = vexa::MessageKind::Message) = 0;
    // A message with a smaller detail under its text (who holds a port).
    virtual void Notice_With_Detail(const QString &text, const QString &detail)
    {
        (void)detail;
        Notice(text);
    }
    // Whether that notice is waiting or open: a run that raised it may hold
    // off until the user has read it.
    virtual bool Notice_Open(const QString &text, vexa::MessageKind kind = vexa::MessageKind::Message) const
    {
        (void)text, (void)kind;
        return false;
    }
};
