#pragma once
// The quick command panel's rows, and the three commands of the main
// window's "Start", "Reset" and "Stop". What a button sends comes from here,
// never from the button's label: a caption's "&" marks a shortcut letter.

#include <QByteArray>

struct QuickCommand {
    const char *Button;       // designer name
    const char *Caption;      // shown on the button, trailing blanks included
    const char *Sent;         // the bytes before the CR
    const char *Description;  // UTF-8
    bool Description_Editable;
    bool Hand_Cursor;
    bool Wide;  // the long row: a wide button and a narrow description
};

inline constexpr int kQuickRows = 22;
extern const QuickCommand kQuickCommands[kQuickRows];

// The bytes a row writes to the port: its command and one CR.
QByteArray Quick_Command_Bytes(int row);

inline constexpr char kStartCommand[] = "AT@ZRMSTART";
inline constexpr char kResetCommand[] = "AT+CFUN=1";
inline constexpr char kStopCommand[] = "AT@ZRMSTOP";
