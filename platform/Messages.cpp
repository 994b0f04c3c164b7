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

void Show(MessageKind kind, const QString &text, QWidget *owner = QApplication::activeWindow(),
          const QString &detail = QString())
{
    if (Sink()) {
        Sink()(kind, text);
        if (!detail.isEmpty())
            Sink()(MessageKind::Detail, detail);
        return;
    }
    const QString title = QApplication::applicationDisplayName();
    if (kind == MessageKind::Error) {
        QMessageBox::critical(owner, title, text);
    } else if (kind == MessageKind::Warning) {
        QMessageBox::warning(owner, QStringLiteral("Предупреждение"), text);
    } else {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, owner);
        box.setInformativeText(detail);
        box.exec();
    }
}

}  // namespace

void Show_Message(const QString &text) { Show(MessageKind::Message, text); }

void Show_Message(const QString &text, const QString &detail)
{
    Show(MessageKind::Message, text, QApplication::activeWindow(), detail);
}

void Show_Error(const QString &text) { Show(MessageKind::Error, text); }

void Show_Warning(QWidget *owner, const QString &text) { Show(MessageKind::Warning, text, owner); }

void Set_Message_Sink(MessageSink sink) { Sink() = std::move(sink); }

}  // namespace vexa
