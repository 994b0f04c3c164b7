#pragma once
// Quick command panel, modeless, fixed dialog border: one button per fixed
// AT command, each with a field that says what it does.

#include <QByteArray>
#include <QDialog>
#include <functional>

#include "atcommands/QuickCommands.h"

class QLineEdit;
class QPushButton;

class TForm8 : public QDialog {
    Q_OBJECT
public:
    // send echoes a command and a CR, then writes them.
    TForm8(QWidget *parent, std::function<void(const QByteArray &)> send);

    QPushButton *Button[kQuickRows] = {};
    QLineEdit *Description[kQuickRows] = {};

    // Sends the row's command as the command box's "Послать" does.
    void Quick_Send(int row);

protected:
    void mouseDoubleClickEvent(QMouseEvent *e) override;  // FormDblClick

private:
    std::function<void(const QByteArray &)> send_;
};
