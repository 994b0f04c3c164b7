#pragma once
// What the AT-command windows do alike with their controls.

#include <QString>
#include <QStringList>

class QComboBox;
class QDialog;
class QPlainTextEdit;

// The box's items become these lines, its text this one; nothing is picked,
// and the box reports none of it as a change.
void Fill_Items(QComboBox *box, const QStringList &items, const QString &text);

// Enter in a field of the dialog stays in the field: no button of the dialog
// is its default button, whichever had the keyboard last.
void Without_Default_Button(QDialog *dialog);

// The text of the area as typed, one LF between lines. Unlike toPlainText it
// keeps the non-breaking space, byte 0xA0 of cp1251, as it is.
QString Area_Text(const QPlainTextEdit *area);
