#include "platform/NoticeQueue.h"

namespace vexa {

NoticeQueue::NoticeQueue(QObject *parent) : QObject(parent) {}

QString NoticeQueue::Key(MessageKind kind, const QString &text)
{
    return QString::number(int(kind)) + QLatin1Char(':') + text;
}

bool NoticeQueue::Post(MessageKind kind, const QString &text)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (pending_.contains(Key(kind, text)))
            return false;
        pending_.insert(Key(kind, text));
    }
    QMetaObject::invokeMethod(this, [this, kind, text] { Show(kind, text); }, Qt::QueuedConnection);
    return true;
}

bool NoticeQueue::Pending(MessageKind kind, const QString &text) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return pending_.contains(Key(kind, text));
}

// The notice stays pending while its box is open, so that a cause that
// repeats meanwhile does not stack a second box on the first.
void NoticeQueue::Show(MessageKind kind, const QString &text)
{
    if (kind == MessageKind::Error)
        Show_Error(text);
    else
        Show_Message(text);
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_.remove(Key(kind, text));
}

}  // namespace vexa
