#pragma once
// State of the file-transfer subsystem: the frame parser, the sender and the
// receiver. TForm1 holds one of these; only the main thread touches it.

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QString>
#include <memory>

#include "transfer/FrameParser.h"
#include "transfer/ReceiveSession.h"
#include "transfer/SendSession.h"

struct FileTransferState {
    FrameParser Parser;
    SendSession Sender;
    ReceiveSession Receiver;

    // The chosen file as it is announced: its name and size fields.
    QByteArray Name_Field = QByteArray(kNameFieldWidth, '\0');
    QByteArray Size_Field = QByteArray(kSizeFieldWidth, '\0');

    std::unique_ptr<QFile> Source;  // the file being sent
    std::unique_ptr<QFile> Log;     // Logs/FileLog.atl during a data phase
    // The file being received: a temporary file in ReseiveFile (unnamed
    // where the system allows) that takes the announced name only when its
    // last frame is stored; dropping it removes it.
    std::unique_ptr<QSaveFile> Received;

    // Texts of the message boxes open or about to open, so that one cause
    // never stacks a second box on its first.
    QSet<QString> Open_Messages;
};
