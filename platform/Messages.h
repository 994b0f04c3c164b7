#pragma once
// The one way out for messages. Every modal message box goes through
// Show_Message, every general error report (a failed file or number
// operation, with the platform's reason) through Show_Error, and every
// warning of a window about its own fields through Show_Warning. Tests
// install a sink to read what the user would see instead of a real modal box.

#include <QString>
#include <functional>

class QWidget;

namespace vexa {

// Detail: the smaller text under the last message's own, which stays as it
// always reads.
enum class MessageKind { Message, Error, Warning, Detail };

using MessageSink = std::function<void(MessageKind, const QString &)>;

// Shows a modal box with the text and returns when the user dismissed it.
// Main thread only.
void Show_Message(const QString &text);
// The same box with a detail under the text, when the detail is not empty.
void Show_Message(const QString &text, const QString &detail);
// The application's general error box: a failed operation and its reason.
void Show_Error(const QString &text);
// A warning box owned by the window, captioned "Предупреждение".
void Show_Warning(QWidget *owner, const QString &text);

// Replaces the modal boxes; an empty sink restores them.
void Set_Message_Sink(MessageSink sink);

}  // namespace vexa
