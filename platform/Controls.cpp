#include "platform/Controls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <memory>

QLabel *Label(const QString &text, QWidget *parent, int x, int y, int w)
{
    auto *label = new QLabel(text, parent);
    label->move(x, y);
    if (w > 0)
        label->setFixedWidth(w);
    return label;
}

QLineEdit *Field(const char *name, QWidget *parent, const QRect &at, FieldUse use)
{
    auto *field = Named(new QLineEdit(parent), name);
    field->setGeometry(at);
    field->setReadOnly(use != FieldUse::Input);
    if (use == FieldUse::Display)
        field->setFocusPolicy(Qt::NoFocus);
    return field;
}

QPushButton *Button(const char *name, const QString &caption, QWidget *parent, const QRect &at)
{
    auto *button = Named(new QPushButton(caption, parent), name);
    button->setGeometry(at);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    return button;
}

// The range is never 0..0, which would show a busy bar.
QProgressBar *Gauge(const char *name, QWidget *parent, const QRect &at, Qt::Orientation orientation, const char *colour)
{
    auto *gauge = Named(new QProgressBar(parent), name);
    gauge->setOrientation(orientation);
    gauge->setGeometry(at);
    gauge->setRange(0, 1);
    gauge->setValue(0);
    gauge->setTextVisible(false);
    if (*colour)
        gauge->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: %1; }").arg(QLatin1String(colour)));
    return gauge;
}

QComboBox *Combo(const char *name, QWidget *parent, const QRect &at)
{
    auto *box = Named(new QComboBox(parent), name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setGeometry(at);
    return box;
}

QTimer *Timer(const char *name, QObject *parent, int ms, bool singleShot)
{
    auto *timer = Named(new QTimer(parent), name);
    timer->setInterval(ms);
    timer->setSingleShot(singleShot);
    return timer;
}

void Keep_Index_With_Text(QComboBox *box)
{
    QObject::connect(box, &QComboBox::currentTextChanged, box, [box](const QString &text) {
        const int listed = box->findText(text);
        if (listed >= 0 && listed != box->currentIndex()) {
            const QSignalBlocker blocker(box);
            box->setCurrentIndex(listed);
        }
    });
}

void On_User_Change(QComboBox *box, QObject *context, std::function<void()> apply)
{
    Keep_Index_With_Text(box);
    // A box that has the keyboard reports the end of editing on Enter and
    // again when it loses the keyboard, and it activates a typed text that
    // names a list item as if it were picked: the typed flag lets exactly one
    // of these apply.
    auto typed = std::make_shared<bool>(false);
    QObject::connect(box->lineEdit(), &QLineEdit::textEdited, context, [typed] { *typed = true; });
    QObject::connect(box, &QComboBox::textActivated, context, [typed, apply] {
        *typed = false;
        apply();
    });
    QObject::connect(box->lineEdit(), &QLineEdit::editingFinished, context, [typed, apply] {
        if (!*typed)
            return;
        *typed = false;
        apply();
    });
}
