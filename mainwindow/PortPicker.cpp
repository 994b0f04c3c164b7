#include "mainwindow/PortPicker.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <memory>
#include <utility>

#include "platform/Controls.h"

namespace {

class PickerEdit : public QLineEdit {
public:
    explicit PickerEdit(PortPicker *picker) : QLineEdit(picker), picker_(picker) {}
    bool typing = false;    // the text changes under a key or an edit that is no paste
    bool entering = false;  // Enter is being handled
    bool typed = false;     // a typed name waits for Enter
    bool pasted = false;    // a pasted name, chosen once the box has taken it in

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        typing = !e->matches(QKeySequence::Paste);
        entering = enter;
        QLineEdit::keyPressEvent(e);
        typing = entering = false;
        if (enter && !text().isEmpty() && text() != PortPicker::Prompt())
            emit picker_->Chosen();
    }
    void inputMethodEvent(QInputMethodEvent *e) override
    {
        typing = true;
        QLineEdit::inputMethodEvent(e);
        typing = false;
    }
    // A click into the prompt takes all of it, so that a paste or a typed
    // key replaces it instead of landing in its middle. The middle button
    // pastes the selection where it clicks: the prompt goes first.
    void mousePressEvent(QMouseEvent *e) override
    {
        const bool prompt = text() == PortPicker::Prompt();
        if (prompt && e->button() == Qt::MiddleButton)
            clear();
        QLineEdit::mousePressEvent(e);
        if (prompt && e->button() != Qt::MiddleButton)
            selectAll();
    }
    void mouseDoubleClickEvent(QMouseEvent *e) override
    {
        if (text() == PortPicker::Prompt())
            selectAll();
        else
            QLineEdit::mouseDoubleClickEvent(e);
    }
    // Cut, delete and undo from the menu edit the name as keys do; only its
    // paste chooses.
    void contextMenuEvent(QContextMenuEvent *e) override
    {
        const std::unique_ptr<QMenu> menu(createStandardContextMenu());
        typing = true;
        const QAction *done = menu->exec(e->globalPos());
        typing = false;
        if (done && done->objectName() == QLatin1String("edit-paste"))
            emit picker_->Chosen();
    }
    void focusOutEvent(QFocusEvent *e) override
    {
        QLineEdit::focusOutEvent(e);
        const Qt::FocusReason reason = e->reason();
        const bool forAWhile =
            reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason || reason == Qt::ActiveWindowFocusReason;
        if (!typed || forAWhile)
            return;
        // A click on the main menu gives the keyboard to the window on its
        // way to the menu, which is open once the click has been handled.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (typed && !QApplication::activePopupWidget() && !picker_->hasFocus()) {
                    typed = false;
                    emit picker_->Typing_Abandoned();
                }
            },
            Qt::QueuedConnection);
    }

private:
    PortPicker *picker_;
};

}  // namespace

QString PortPicker::Prompt() { return QStringLiteral("Выбирете порт"); }

PortPicker::PortPicker(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    auto *edit = new PickerEdit(this);
    setLineEdit(edit);
    setInsertPolicy(QComboBox::NoInsert);
    // No completion: a name the user types is the name they mean.
    setCompleter(nullptr);
    // The box itself activates a typed text that names a list item when the
    // keyboard leaves it; with the current item kept in step with the text
    // that never happens, and only real picks activate.
    Keep_Index_With_Text(this);
    connect(edit, &QLineEdit::textEdited, this, [edit] {
        edit->typed = edit->typing;
        edit->pasted = !edit->typing;
    });
    // An edit is told before the box has followed it (its current item);
    // the opening that follows must find the box in step, or the keyboard
    // leaving it then would activate the item as a second choice.
    connect(edit, &QLineEdit::textChanged, this, [this, edit] {
        if (std::exchange(edit->pasted, false))
            emit Chosen();
    });
    // Enter on a listed name activates it as well; Enter chooses once.
    connect(this, &QComboBox::textActivated, this, [this, edit] {
        if (!edit->entering)
            emit Chosen();
    });
    connect(this, &PortPicker::Chosen, edit, [edit] { edit->typed = false; });
}

void PortPicker::showPopup()
{
    emit List_Opening();
    // By-id names are long: the list is as wide as its longest name.
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 2 * view()->frameWidth());
    QComboBox::showPopup();
}
