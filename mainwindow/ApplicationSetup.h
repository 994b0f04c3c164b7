#pragma once
// What the program sets on the application before its first window: its
// name, the desktop entry its windows belong to (so that a dock groups them
// under Vexa's icon), and Qt's own Russian texts for what Qt draws itself:
// the file dialogs and the buttons of the message boxes.

class QApplication;

// The desktop entry's name, without ".desktop".
inline constexpr char kDesktopEntry[] = "vexa";

// False when Qt's Russian translation is not installed: the dialogs then keep
// Qt's English texts, and the program runs on.
bool Set_Up_Application(QApplication &app);
