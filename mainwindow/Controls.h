#pragma once
// Small builders for the controls of the main window's pages: each control
// carries its designer name as objectName, so tests find it as a user finds
// it by its caption.

#include <QRect>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QObject;
class QTimer;
class QWidget;

template <typename W>
W *Named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A caption at x, y; a width > 0 fixes its width.
QLabel *Label(const QString &text, QWidget *parent, int x, int y, int w = -1);
// An editable drop-down box that never adds what is typed to its list.
QComboBox *Combo(const char *name, QWidget *parent, const QRect &at);
// A stopped timer with its interval.
QTimer *Timer(const char *name, QObject *parent, int ms, bool singleShot = false);

// An editable box activates a text that names a list item, when it loses the
// keyboard, as if that item were picked, unless the item is already current.
// This keeps the current item in step with the text, whoever sets it, so that
// only real picks activate.
void Keep_Index_With_Text(QComboBox *box);

// Runs apply once for each change the user makes to an editable box: a pick
// from the list at once (also of the item already shown), typed text on
// Enter or when the box loses the keyboard, and only if the user typed.
// Changes the program makes to the box's text never run it. With typing
// given, an edit made while it answers false (a paste, a drop: a whole text)
// applies at once.
void On_User_Change(QComboBox *box, QObject *context, std::function<void()> apply,
                    std::function<bool()> typing = {});
