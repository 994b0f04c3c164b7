#include "mainwindow/PortPicker.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {

class KeyedLineEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    bool typing = false;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        typing = !e->matches(QKeySequence::Paste);
        QLineEdit::keyPressEvent(e);
        typing = false;
    }
    void inputMethodEvent(QInputMethodEvent *e) override
    {
        typing = true;
        QLineEdit::inputMethodEvent(e);
        typing = false;
    }
};

}  // namespace

PortPicker::PortPicker(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setLineEdit(new KeyedLineEdit(this));
    setInsertPolicy(QComboBox::NoInsert);
    // No completion: a name the user types is the name they mean.
    setCompleter(nullptr);
}

bool PortPicker::Typing() const { return static_cast<const KeyedLineEdit *>(lineEdit())->typing; }

void PortPicker::showPopup()
{
    emit List_Opening();
    QComboBox::showPopup();
}
