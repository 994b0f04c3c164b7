#pragma once
// The port picker, ComboBox1: an editable drop-down box that tells a whole
// port name from a name being typed, and that asks for its list to be
// brought up to date each time the list opens.

#include <QComboBox>

class PortPicker : public QComboBox {
    Q_OBJECT
public:
    explicit PortPicker(QWidget *parent);

    // True while the text changes under a typed key (the paste keys aside):
    // such a text is a name only once the user presses Enter or leaves the
    // box. Every other change (a paste by keys, mouse or menu, a drop) brings
    // a whole name.
    bool Typing() const;

    void showPopup() override;

signals:
    // Before the list opens: a device plugged in since belongs in it now.
    void List_Opening();
};
