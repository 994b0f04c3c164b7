#pragma once
// Quick command panel, modeless, fixed dialog border: one button per fixed
// AT command, each with a field that says what it does.

#include <QDialog>

#include "atcommands/QuickCommands.h"

class QLineEdit;
class QPushButton;
class TForm1;

class TForm8 : public QDialog {
    Q_OBJECT
public:
    explicit TForm8(TForm1 *owner);

    QPushButton *Button[kQuickRows] = {};
    QLineEdit *Description[kQuickRows] = {};

    // Echoes the row's command and a CR in blue, then writes them.
    void Quick_Send(int row);

protected:
    void mouseDoubleClickEvent(QMouseEvent *e) override;  // FormDblClick

private:
    TForm1 *owner_;
};
