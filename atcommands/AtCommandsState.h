#pragma once
// State of the AT-command subsystem: the command list block, the script
// runner, the quick panel and the script builder. AtCommands holds one of these.

#include <QByteArray>
#include <cstdint>
#include <QList>
#include <QString>

#include "atcommands/ModemAnswer.h"

// The runner sends a step every tick of Timer2 once the modem has answered
// the step before.
constexpr int kScriptTickMs = 500;
// A step whose answer has not come this long after it was sent ends the run,
// with a message. Ten minutes: a network search takes up to about three, a
// dial waits up to 255 s for the carrier, and the user can end a run that
// waits at any time.
constexpr int kScriptReplyTimeoutMs = 600000;
// The wait for an answer is shown once it lasts this long.
constexpr int kScriptWaitShownMs = 1000;

struct AtCommandsState {
    // The folders the two open dialogs start in: each keeps what the last
    // operation that set it gave it.
    QString OpenDialog1_Folder;
    QString OpenDialog2_Folder;

    // The script runner. A run lasts from a start until its end in a tick.
    bool Script_Running = false;
    QList<QByteArray> Script_Lines;
    qint32 Script_LineIndex = 0;    // the next step; the number of steps sent
    QString Selected_Script;        // the last script started through the dialog
    bool Tick_Busy = false;         // a tick is in progress (its message box is open)
    Answer_Watch Answer;            // of the last step sent; the next waits for it
    std::int64_t Step_Sent_Ms = 0;  // on the clock: the last step that waits for an answer
    int Reply_Timeout_Ms = kScriptReplyTimeoutMs;
};
