#pragma once
// The port picker, ComboBox1: an editable drop-down box that tells a chosen
// port name from a name being typed, and that asks for its list to be
// brought up to date each time the list opens.

#include <QComboBox>

class PortPicker : public QComboBox {
    Q_OBJECT
public:
    explicit PortPicker(QWidget *parent);

    // The text shown until a port is chosen.
    static QString Prompt();

    void showPopup() override;

signals:
    // Before the list opens: a device plugged in since belongs in it now.
    void List_Opening();
    // The user chose the name now shown: Enter, a pick from the list, or a
    // paste (by keys, mouse, menu or drop). Nothing else chooses: the
    // keyboard leaving for a menu, a popup, the list or another window
    // comes back to the name as it was typed.
    void Chosen();
    // The user went on to another control of the window with a name typed
    // but not chosen.
    void Typing_Abandoned();
};
