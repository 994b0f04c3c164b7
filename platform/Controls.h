#pragma once
// Small builders for the controls of the main window's pages: each control
// carries its designer name as objectName, so tests find it as a user finds
// it by its caption.

#include <QRect>
#include <QString>
#include <Qt>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QObject;
class QProgressBar;
class QPushButton;
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
// A one-line text field. A read-only field shows what the program puts
// there; a display field is read-only and never takes the keyboard either.
enum class FieldUse { Input, ReadOnly, Display };
QLineEdit *Field(const char *name, QWidget *parent, const QRect &at, FieldUse use = FieldUse::Input);
// A button that acts on a click and leaves the keyboard where it was, so
// that typed keys still reach the terminal; Enter never presses it.
QPushButton *Button(const char *name, const QString &caption, QWidget *parent, const QRect &at);
// A progress gauge without text, at 0 of 1; colour is its bar's colour
// name, or empty for the style's own.
QProgressBar *Gauge(const char *name, QWidget *parent, const QRect &at, Qt::Orientation orientation,
                    const char *colour = "");
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
// Changes the program makes to the box's text never run it.
void On_User_Change(QComboBox *box, QObject *context, std::function<void()> apply);
