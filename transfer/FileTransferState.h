#pragma once
// State of the file-transfer subsystem: the frame parser, the sender and the
// receiver. Only the thread the subsystem runs on touches it.

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
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
    bool Heard = false;             // bytes arrived since the sender last wrote a frame
    int Refusals_Left = 0;          // refusals still to send after stopping
    // The file being received: a temporary file in ReseiveFile (unnamed
    // where the system allows) that takes the announced name only when its
    // last frame is stored; dropping it removes it.
    std::unique_ptr<QSaveFile> Received;
    QByteArray Last_Stored;  // the data of the frame stored last, to know a spoilt repeat of it
    QString Kept;            // the completed file, until the sender's story is known
};
