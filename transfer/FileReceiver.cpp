// The receiving side of the file protocol: the announcement and the user's
// answer, the data frames stored and acknowledged, and the end of a receive
// by success, cancel or silence.
//
// The file grows as a temporary file in ReseiveFile and takes its announced
// name only when the last frame is stored; a cancelled or failed receive
// removes it, so no short file is ever left under the announced name. Every
// end but success tells the sender with a refusal, which it takes for a
// cancel in the middle of a transfer.

#include <QFileInfo>
#include <QLineEdit>
#include <cstring>

#include "platform/Clock.h"
#include "transfer/FileTransfer.h"
#include "transfer/QweryFile.h"

namespace {

QString Write_Failed(const QFileDevice &file)
{
    return QStringLiteral("Ошибка записи файла ") + file.fileName() + QStringLiteral(": ") + file.errorString();
}

bool Written(QSaveFile &file, const std::uint8_t *bytes, qint64 n, bool last)
{
    return file.write(reinterpret_cast<const char *>(bytes), n) == n && (!last || file.commit());
}

}  // namespace

void FileTransfer::On_Announcement(const std::uint8_t *frame)
{
    Announced announced;
    switch (Read_Announcement(frame, announced)) {
    case AnnouncementCheck::BadSize: return;
    case AnnouncementCheck::BadName:
        if (State.Receiver.Busy())
            return;
        Send_File_Frame(Reply_Frame(false), kGrey);
        Notice(QStringLiteral("Недопустимое имя принимаемого файла, в приеме отказано"));
        return;
    case AnnouncementCheck::Good: break;
    }
    ReceiveSession &receiver = State.Receiver;
    if (receiver.On_Announcement(announced) == ReceiveSession::AnnouncementAction::AcceptAgain) {
        Send_File_Frame(Reply_Frame(true), kGrey);
        return;
    }
    Drop_Received_File();
    Form5->Edit1->setText(*Local_File_Name(announced.name));
    Form5->Edit2->setText(QString::fromLatin1(announced.sizeText));
    Form5->Edit3->clear();
    Form5->Edit4->clear();
    Form5->Edit6->clear();
    Form5->Show_Progress(0, 1);
    Form5->Show_Centred();
}

void FileTransfer::Accept_File()
{
    ReceiveSession &receiver = State.Receiver;
    if (receiver.State() != ReceiveSession::Phase::Asked)
        return;
    const QString name = *Local_File_Name(receiver.Current().name);
    auto file = std::make_unique<QSaveFile>(Received_File_Path(Enter_Start_Directory(), name));
    if (!file->open(QIODevice::WriteOnly)) {
        Error(QStringLiteral("Не удалось создать файл ") + file->fileName() + QStringLiteral(": ") +
              file->errorString());
        return;
    }
    receiver.Accept();
    State.Last_Stored.clear();
    const std::uint64_t total = receiver.Total();
    Form5->Edit4->setText(QString::number(total));
    Form5->Show_Progress(0, total);
    if (receiver.Complete()) {  // an empty file is whole at once
        const bool stored = file->commit();
        Send_File_Frame(Reply_Frame(true), kGrey);
        Form5->hide();
        if (!stored) {
            receiver.Store_Failed();
            Error(Write_Failed(*file));
            return;
        }
        State.Kept = file->fileName();
        Notice(QStringLiteral("Файл пуст, размер = 0 байт"));
        return;
    }
    State.Received = std::move(file);
    Form5->Start_Clock();
    TimerReceiveWait->Start(Receive_Wait_Ms());
    Send_File_Frame(Reply_Frame(true), kGrey);
}

// "Отмена" refuses an announced file, or ends a receive under way; either
// way the sender is told.
void FileTransfer::Refuse_File()
{
    const ReceiveSession::Phase phase = State.Receiver.State();
    Stop_Receiving();
    if (phase != ReceiveSession::Phase::Idle)
        Send_File_Frame(Reply_Frame(false), kGrey);
}

void FileTransfer::On_Data_Frame(const std::uint8_t *frame, std::uint32_t length)
{
    const auto number = Field_Number(frame + kNumberOffset, kNumberFieldWidth);
    const std::uint32_t n = length - kDataOverhead;
    const bool likeLast = State.Last_Stored.size() == qsizetype(n) &&
                          std::memcmp(State.Last_Stored.constData(), frame + kDataOffset, n) == 0;
    ReceiveSession &receiver = State.Receiver;
    switch (receiver.On_Data(number, length, likeLast)) {
    case ReceiveSession::DataAction::Drop: return;
    case ReceiveSession::DataAction::Refuse: Send_File_Frame(Reply_Frame(false), kGrey); return;
    case ReceiveSession::DataAction::Ask_Again:
        Send_File_Frame(Error_Frame(kErrorDataSend), kGreen);
        TimerReceiveWait->Start(Receive_Wait_Ms());
        return;
    case ReceiveSession::DataAction::Acknowledge_Again:
        Send_Acknowledgement(*number);
        if (receiver.State() == ReceiveSession::Phase::Receiving)
            TimerReceiveWait->Start(Receive_Wait_Ms());
        return;
    case ReceiveSession::DataAction::Wrong_File: {
        const QString kept = QFileInfo(State.Kept).fileName();
        Send_File_Frame(Reply_Frame(false), kGrey);
        Drop_Kept_File();
        Error(QStringLiteral("Принятый файл испорчен на линии и удален: ") + kept);
        return;
    }
    case ReceiveSession::DataAction::Store: break;
    }
    const bool last = receiver.Complete();
    if (!Written(*State.Received, frame + kDataOffset, n, last)) {
        const QString reason = Write_Failed(*State.Received);
        receiver.Store_Failed();
        Stop_Receiving();
        Send_File_Frame(Reply_Frame(false), kGrey);
        Error(reason);
        return;
    }
    State.Last_Stored = QByteArray(reinterpret_cast<const char *>(frame + kDataOffset), n);
    Form5->Edit3->setText(QString::number(*number));
    Form5->Show_Progress(*number, receiver.Total());
    Send_Acknowledgement(*number);
    if (!last) {
        TimerReceiveWait->Start(Receive_Wait_Ms());
        return;
    }
    State.Kept = State.Received->fileName();
    Stop_Receiving();
}

void FileTransfer::Send_Acknowledgement(std::uint64_t number)
{
    Send_File_Frame(Acknowledgement_Frame(number), std::nullopt);
}

// No data frame began for longer than a sender on our intervals would take
// to repeat one: ask for it. A live sender repeats on the request whatever
// its own interval; one that answers none of them has gone.
void FileTransfer::TimerReceiveWaitTimer()
{
    TimerReceiveWait->Stop();
    if (State.Parser.Open_Kind() == FrameKind::Data) {  // a frame is on its way
        TimerReceiveWait->Start(Receive_Wait_Ms());
        return;
    }
    switch (State.Receiver.On_Silence()) {
    case ReceiveSession::SilenceAction::Ignore: return;
    case ReceiveSession::SilenceAction::Ask_Again:
        // Before the first frame the acceptance itself may have been lost.
        if (State.Receiver.Stored() == 0)
            Send_File_Frame(Reply_Frame(true), kGrey);
        else
            Send_File_Frame(Error_Frame(kErrorDataSend), kGreen);
        TimerReceiveWait->Start(Receive_Wait_Ms());
        return;
    case ReceiveSession::SilenceAction::Give_Up:
        Stop_Receiving();
        Send_File_Frame(Reply_Frame(false), kGrey);
        Notice(QStringLiteral("Нет соединения или нет ответа удаленной стороны"));
        return;
    }
}

// The sender stopped (its user cancelled, it could not read the file or it
// gave up) and said so with a refusal. After the last frame was stored, it
// stopped without hearing so and tells its user the file did not go: the
// file goes too.
void FileTransfer::On_Sender_Cancel()
{
    switch (State.Receiver.On_Sender_Cancel()) {
    case ReceiveSession::CancelResult::Ignore: return;
    case ReceiveSession::CancelResult::Given_Up: Drop_Kept_File(); break;
    case ReceiveSession::CancelResult::Stopped: Stop_Receiving(); break;
    }
    Notice(QStringLiteral("Передача файла прекращена удаленной стороной"));
}

void FileTransfer::Drop_Kept_File()
{
    QFile::remove(State.Kept);
    State.Kept.clear();
}

// A receive that was not completed leaves nothing under the file's name.
void FileTransfer::Drop_Received_File()
{
    TimerReceiveWait->Stop();
    State.Received.reset();
    Form5->Stop_Clock();
}

void FileTransfer::Stop_Receiving()
{
    Drop_Received_File();
    State.Receiver.End();
    Form5->hide();
}
