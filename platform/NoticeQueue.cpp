#include "platform/NoticeQueue.h"

#include <set>

namespace vexa {

namespace {

std::mutex registryMutex;
std::set<NoticeQueue *> &Registry()
{
    static std::set<NoticeQueue *> queues;
    return queues;
}

}  // namespace

NoticeQueue::NoticeQueue(QObject *parent) : QObject(parent)
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    Registry().insert(this);
}

NoticeQueue::~NoticeQueue()
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    Registry().erase(this);
}

QString NoticeQueue::Key(MessageKind kind, const QString &text)
{
    return QString::number(int(kind)) + QLatin1Char(':') + text;
}

bool NoticeQueue::Post(MessageKind kind, const QString &text, const QString &detail)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (pending_.contains(Key(kind, text)))
            return false;
        pending_.insert(Key(kind, text));
        waiting_.push_back({kind, text, detail});
    }
    QMetaObject::invokeMethod(
        this, [this] { Show_Next(); }, Qt::QueuedConnection);
    return true;
}

bool NoticeQueue::Pending(MessageKind kind, const QString &text) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return pending_.contains(Key(kind, text));
}

// The notice stays pending while its box is open, so that a cause that
// repeats meanwhile does not stack a second box on the first.
void NoticeQueue::Show_Next()
{
    Notice notice;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (waiting_.empty())
            return;  // shown already by Show_All_Waiting
        notice = std::move(waiting_.front());
        waiting_.pop_front();
    }
    if (notice.kind == MessageKind::Error)
        Show_Error(notice.text);
    else
        Show_Message(notice.text, notice.detail);
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_.remove(Key(notice.kind, notice.text));
}

void NoticeQueue::Show_All_Waiting()
{
    std::set<NoticeQueue *> queues;
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        queues = Registry();
    }
    for (NoticeQueue *queue : queues)
        for (;;) {
            {
                const std::lock_guard<std::mutex> lock(queue->mutex_);
                if (queue->waiting_.empty())
                    break;
            }
            queue->Show_Next();
        }
}

}  // namespace vexa
