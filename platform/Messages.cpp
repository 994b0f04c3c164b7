#include "platform/Messages.h"

#include <QApplication>
#include <QMessageBox>

namespace vexa {
namespace {

MessageSink &Sink()
{
    static MessageSink sink;
    return sink;
}

void Show(MessageKind kind, const QString &text, QWidget *owner = QApplication::activeWindow())
{
    if (Sink()) {
        Sink()(kind, text);
        return;
    }
    const QString title = QApplication::applicationDisplayName();
    if (kind == MessageKind::Error)
        QMessageBox::critical(owner, title, text);
    else if (kind == MessageKind::Warning)
        QMessageBox::warning(owner, QStringLiteral("Предупреждение"), text);
    else
        QMessageBox::information(owner, title, text);
}

}  // namespace

void Show_Message(const QString &text) { Show(MessageKind::Message, text); }

void Show_Error(const QString &text) { Show(MessageKind::Error, text); }

void Show_Warning(QWidget *owner, const QString &text) { Show(MessageKind::Warning, text, owner); }

void Set_Message_Sink(MessageSink sink) { Sink() = std::move(sink); }

}  // namespace vexa
