#pragma once
// State of the AT-command subsystem: the command list block, the script
// runner, the quick panel and the script builder. TForm1 holds one of these.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// The runner sends a step every tick of Timer2 once the modem has answered
// the step before.
constexpr int kScriptTickMs = 500;
// A modem that stays silent this long after a step ends the run, with a
// message; long enough for a network search of a modem with its echo off.
constexpr int kScriptReplyTimeoutMs = 120000;

struct AtCommandsState {
    // The folders the two open dialogs start in: each keeps what the last
    // operation that set it gave it.
    QString OpenDialog1_Folder;
    QString OpenDialog2_Folder;

    // The script runner. A run lasts from a start until its end in a tick.
    bool Script_Running = false;
    QList<QByteArray> Script_Lines;
    qint32 Script_LineIndex = 0;  // the next step; the number of steps sent
    QString Selected_Script;      // the last script started through the dialog
    bool Tick_Busy = false;       // a tick is in progress (its message box is open)
    QElapsedTimer Since_Step;     // since the last step that waits for an answer
    int Reply_Timeout_Ms = kScriptReplyTimeoutMs;
};
