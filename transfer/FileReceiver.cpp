// The receiving side of the file protocol: the announcement and the user's
// answer, the data frames stored and acknowledged, and the end of a receive
// by success, cancel or silence.
//
// The file grows as a temporary file in ReseiveFile and takes its announced
// name only when the last frame is stored; a cancelled or failed receive
// removes it, so no short file is ever left under the announced name. Every
// end but success tells the sender with a refusal, which it takes for a
// cancel in the middle of a transfer.

#include <QLineEdit>
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
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

void TForm1::On_Announcement(const std::uint8_t *frame)
{
    Announced announced;
    switch (Read_Announcement(frame, announced)) {
    case AnnouncementCheck::BadSize:
        return;
    case AnnouncementCheck::BadName:
        Send_File_Frame(Reply_Frame(false), kGrey);
        File_Message(QStringLiteral("Недопустимое имя принимаемого файла, в приеме отказано"));
        return;
    case AnnouncementCheck::Good:
        break;
    }
    ReceiveSession &receiver = FileTransfer.Receiver;
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

void TForm1::Accept_File()
{
    ReceiveSession &receiver = FileTransfer.Receiver;
    if (receiver.State() != ReceiveSession::Phase::Asked)
        return;
    Enter_Start_Directory();
    const QString name = *Local_File_Name(receiver.Current().name);
    auto file = std::make_unique<QSaveFile>(Received_File_Path(Start_Directory, name));
    if (!file->open(QIODevice::WriteOnly)) {
        File_Error(QStringLiteral("Не удалось создать файл ") + file->fileName() + QStringLiteral(": ") +
                   file->errorString());
        return;
    }
    receiver.Accept();
    const std::uint64_t total = receiver.Total();
    Form5->Edit4->setText(QString::number(total));
    Form5->Show_Progress(0, total);
    if (receiver.Complete()) {  // an empty file is whole at once
        const bool stored = file->commit();
        Send_File_Frame(Reply_Frame(true), kGrey);
        Form5->hide();
        if (stored)
            File_Message(QStringLiteral("Файл пуст, размер = 0 байт"));
        else
            File_Error(Write_Failed(*file));
        return;
    }
    FileTransfer.Received = std::move(file);
    Form5->Start_Clock();
    Start_File_Timer(TimerReceiveWait, Receive_Wait_Ms());
    Send_File_Frame(Reply_Frame(true), kGrey);
}

// "Отмена" refuses an announced file, or ends a receive under way; either
// way the sender is told.
void TForm1::Refuse_File()
{
    const ReceiveSession::Phase phase = FileTransfer.Receiver.State();
    Stop_Receiving();
    if (phase != ReceiveSession::Phase::Idle)
        Send_File_Frame(Reply_Frame(false), kGrey);
}

void TForm1::On_Data_Frame(const std::uint8_t *frame, std::uint32_t length)
{
    const auto number = Field_Number(frame + kNumberOffset, kNumberFieldWidth);
    ReceiveSession &receiver = FileTransfer.Receiver;
    switch (receiver.On_Data(number, length)) {
    case ReceiveSession::DataAction::Drop:
        return;
    case ReceiveSession::DataAction::Refuse:
        Send_File_Frame(Reply_Frame(false), kGrey);
        return;
    case ReceiveSession::DataAction::Ask_Again:
        Send_File_Frame(Error_Frame(kErrorDataSend), kGreen);
        Start_File_Timer(TimerReceiveWait, Receive_Wait_Ms());
        return;
    case ReceiveSession::DataAction::Acknowledge_Again:
        Send_Acknowledgement(*number);
        if (receiver.State() == ReceiveSession::Phase::Receiving)
            Start_File_Timer(TimerReceiveWait, Receive_Wait_Ms());
        return;
    case ReceiveSession::DataAction::Store:
        break;
    }
    const bool last = receiver.Complete();
    if (!Written(*FileTransfer.Received, frame + kDataOffset, length - kDataOverhead, last)) {
        const QString reason = Write_Failed(*FileTransfer.Received);
        receiver.Store_Failed();
        Stop_Receiving();
        Send_File_Frame(Reply_Frame(false), kGrey);
        File_Error(reason);
        return;
    }
    Form5->Edit3->setText(QString::number(*number));
    Form5->Show_Progress(*number, receiver.Total());
    Send_Acknowledgement(*number);
    if (last)
        Stop_Receiving();
    else
        Start_File_Timer(TimerReceiveWait, Receive_Wait_Ms());
}

void TForm1::Send_Acknowledgement(std::uint64_t number) { Send_File_Frame(Acknowledgement_Frame(number), std::nullopt); }

// No data frame began for longer than a sender on our intervals would take
// to repeat one: ask for it. A live sender repeats on the request whatever
// its own interval; one that answers none of them has gone.
void TForm1::TimerReceiveWaitTimer()
{
    TimerReceiveWait->stop();
    if (FileTransfer.Parser.Open_Kind() == FrameKind::Data) {  // a frame is on its way
        Start_File_Timer(TimerReceiveWait, Receive_Wait_Ms());
        return;
    }
    switch (FileTransfer.Receiver.On_Silence()) {
    case ReceiveSession::SilenceAction::Ignore:
        return;
    case ReceiveSession::SilenceAction::Ask_Again:
        // Before the first frame the acceptance itself may have been lost.
        if (FileTransfer.Receiver.Stored() == 0)
            Send_File_Frame(Reply_Frame(true), kGrey);
        else
            Send_File_Frame(Error_Frame(kErrorDataSend), kGreen);
        Start_File_Timer(TimerReceiveWait, Receive_Wait_Ms());
        return;
    case ReceiveSession::SilenceAction::Give_Up:
        Stop_Receiving();
        Send_File_Frame(Reply_Frame(false), kGrey);
        File_Message(QStringLiteral("Нет соединения или нет ответа удаленной стороны"));
        return;
    }
}

// The sender stopped (its user cancelled, it could not read the file or it
// gave up) and said so with a refusal.
void TForm1::On_Sender_Cancel()
{
    if (!FileTransfer.Receiver.On_Sender_Cancel())
        return;
    Stop_Receiving();
    File_Message(QStringLiteral("Передача файла прекращена удаленной стороной"));
}

// A receive that was not completed leaves nothing under the file's name.
void TForm1::Drop_Received_File()
{
    TimerReceiveWait->stop();
    FileTransfer.Received.reset();
    Form5->Stop_Clock();
}

void TForm1::Stop_Receiving()
{
    Drop_Received_File();
    FileTransfer.Receiver.End();
    Form5->hide();
}
