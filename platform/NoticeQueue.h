#pragma once
// The one notice channel behind every Console: boxes open from the event
// loop after the handling that raised them has returned, one box per kind
// and text at a time. Posting is safe from any thread; the boxes open on the
// thread the queue lives in.

#include <QObject>
#include <QSet>
#include <QString>
#include <deque>
#include <mutex>

#include "platform/Messages.h"

namespace vexa {

class NoticeQueue : public QObject {
public:
    explicit NoticeQueue(QObject *parent = nullptr);
    ~NoticeQueue() override;
    // False when the same notice is open or waiting already; a detail does
    // not make a notice another one.
    bool Post(MessageKind kind, const QString &text, const QString &detail = QString());
    // A notice of this kind and text is open or waiting.
    bool Pending(MessageKind kind, const QString &text) const;
    // Opens every waiting notice of every queue now, in order: for a reader
    // of the message seam (a test) that looks before the event loop turns.
    static void Show_All_Waiting();

private:
    struct Notice {
        MessageKind kind;
        QString text, detail;
    };
    static QString Key(MessageKind kind, const QString &text);
    void Show_Next();

    mutable std::mutex mutex_;
    QSet<QString> pending_;  // waiting or open
    std::deque<Notice> waiting_;
};

}  // namespace vexa
