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

void Show(MessageKind kind, const QString &text)
{
    if (Sink()) {
        Sink()(kind, text);
        return;
    }
    QWidget *owner = QApplication::activeWindow();
    const QString title = QApplication::applicationDisplayName();
    if (kind == MessageKind::Error)
        QMessageBox::critical(owner, title, text);
    else
        QMessageBox::information(owner, title, text);
}

}  // namespace

void Show_Message(const QString &text) { Show(MessageKind::Message, text); }

void Show_Error(const QString &text) { Show(MessageKind::Error, text); }

void Set_Message_Sink(MessageSink sink) { Sink() = std::move(sink); }

}  // namespace vexa
