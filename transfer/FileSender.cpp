// The sending side of the file protocol: choosing and announcing a file, the
// data phase driven by FileDataSend, the waits for answers with their
// repeats, the transfer log and its viewer. A sender that stops before its
// file is through tells the receiver with a refusal, which the receiver
// takes for the end of the transfer, so that neither side waits out a
// time-out for the other.

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"
#include "serial/Link.h"
#include "transfer/FileTransfer.h"
#include "transfer/SendFile.h"
#include "serial/PortErrors.h"

using vexa::Cp1251_Encode;

namespace {

constexpr ColorRef kMagenta = 0xFF00FF, kMaroon = 0x000080;
const char kLogFile[] = "Logs/FileLog.atl";

QString No_Answer() { return QStringLiteral("Нет соединения или нет ответа удаленной стороны"); }
QString File_Changed() { return QStringLiteral("Файл изменился на диске, передача прекращена"); }
QString Open_Failed(const QFile &file)
{
    return QStringLiteral("Не удалось открыть файл ") + file.fileName() + QStringLiteral(": ") + file.errorString();
}

QByteArray Cp(const char *utf8) { return Cp1251_Encode(QString::fromUtf8(utf8)); }

}  // namespace

void FileTransfer::SpeedButton11Click()
{
    const QString start = Enter_Start_Directory();
    const QString path =
        vexa::Choose_File(page_->window(), {vexa::FileDialogKind::Open, QStringLiteral("OpenDialog3"), start,
                                            QStringLiteral("Файлы любых типов|*.*"), QString()});
    host_.Clear_Focus();
    if (path.isEmpty())
        return;
    Edit5->setText(path);
    State.Name_Field.fill('\0');
    State.Size_Field.fill('\0');
    if (Take_File_Name(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            Edit5->clear();
            Error(Open_Failed(file));
            return;
        }
        Edit6->setText(QString::number(file.size()));
    }
    const QByteArray sizeText = Cp1251_Encode(Edit6->text()).left(kSizeFieldWidth);
    State.Size_Field.replace(0, sizeText.size(), sizeText);
    console_.Print(State.Size_Field, kBlack);
}

// The name travels in cp1251 and in at most 48 characters. A name that
// cannot travel leaves no file chosen, so that nothing is announced without
// a name.
bool FileTransfer::Take_File_Name(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const QByteArray bytes = Cp1251_Encode(name);
    if (vexa::Cp1251_Decode(bytes) != name) {
        Edit5->clear();
        Notice(QStringLiteral("Имя файла содержит знаки, которых нет в кодировке 1251"));
        return false;
    }
    if (name.size() > kMaxNameLength) {
        Edit5->clear();
        Notice(QStringLiteral("Превышена дллинна имени файла"));
        return false;
    }
    State.Name_Field.replace(0, bytes.size(), bytes);
    console_.Print(State.Name_Field, kBlack);
    return true;
}

void FileTransfer::SpeedButton12Click()
{
    host_.Clear_Focus();
    if (Edit5->text().isEmpty()) {
        Notice(QStringLiteral("Не выбран файл для передачи"));
        return;
    }
    State.Sender.Announced();
    TimerSendRefusal->Stop();
    Send_Announcement();
}

void FileTransfer::Send_Announcement()
{
    State.Heard = false;
    if (Send_File_Frame(Announcement_Frame(State.Name_Field, State.Size_Field), kGrey))
        FileNameSend->Start(Packet_Interval);
    else
        State.Sender.End();
}

void FileTransfer::Send_Cancel() { Send_File_Frame(Reply_Frame(false), kGrey); }

// The receiver must hear that this side stopped, most of all when it may
// hold the whole file: then it is told twice more, a packet interval apart.
void FileTransfer::Tell_Stopped()
{
    Send_Cancel();
    State.Refusals_Left = State.Sender.Stopped_After_Last() ? kRefusalsAfterLast : 0;
    if (State.Refusals_Left > 0)
        TimerSendRefusal->Start(Packet_Interval);
}

void FileTransfer::TimerSendRefusalTimer()
{
    if (!State.Sender.Stopped_After_Last() || State.Refusals_Left <= 0)
        return;
    Send_Cancel();
    if (--State.Refusals_Left > 0)
        TimerSendRefusal->Start(Packet_Interval);
}

void FileTransfer::FileNameSendTimer() { Act_On_Verdict(Sender_Time_Out(*FileNameSend), true); }

void FileTransfer::On_Reply(bool accept)
{
    switch (State.Sender.On_Reply(accept)) {
    case SendSession::ReplyResult::Ignore:
        if (!accept)
            On_Sender_Cancel();  // not ours: the sender of a file we receive stopped
        return;
    case SendSession::ReplyResult::Late: Send_Cancel(); return;
    case SendSession::ReplyResult::Accepted:
        FileNameSend->Stop();
        Start_Data_Phase();
        return;
    case SendSession::ReplyResult::Aborted: Stop_Sending(); break;
    case SendSession::ReplyResult::Refused: FileNameSend->Stop(); break;
    }
    Notice(QStringLiteral("В приеме файла отказано удаленной стороной"));
}

void FileTransfer::Start_Data_Phase()
{
    State.Source = std::make_unique<QFile>(Edit5->text());
    if (!State.Source->open(QIODevice::ReadOnly)) {
        Error(Open_Failed(*State.Source));
        Abort_Sending();
        return;
    }
    console_.New_Line();
    console_.Print(Cp("***НАЧАЛО ПЕРЕДАЧИ ФАЙЛА***"), kMagenta);
    console_.New_Line();
    if (!Open_Transfer_Log())
        return;
    const auto size =
        Field_Number(reinterpret_cast<const std::uint8_t *>(State.Size_Field.constData()), kSizeFieldWidth);
    if (!size || std::uint64_t(State.Source->size()) != *size) {
        Abort_Sending();
        Notice(File_Changed());
        return;
    }
    if (!State.Sender.Start_Data(*size)) {
        Stop_Sending();
        Notice(QStringLiteral("Файл пуст, размер = 0 байт"));
        return;
    }
    FileDataSend->Start();
    SpeedButton11->setEnabled(false);
    SpeedButton12->setEnabled(false);
    const std::uint64_t total = State.Sender.Total();
    Form6->Edit1->setText(Edit5->text());
    Form6->Edit2->setText(Edit6->text());
    Form6->Show_Progress(0, total);
    Form6->Edit4->setText(QString::number(total));
    Form6->Edit3->clear();
    Form6->Edit5->clear();
    Form6->Show_Centred();
    Form6->Start_Clock();
}

bool FileTransfer::Open_Transfer_Log()
{
    State.Log = std::make_unique<QFile>(QDir(Enter_Start_Directory()).filePath(QLatin1String(kLogFile)));
    if (!State.Log->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Error(Open_Failed(*State.Log));
        Abort_Sending();
        return false;
    }
    Log_Transfer(Cp("ИМЯ ФАЙЛА:   ") + Cp1251_Encode(Edit5->text()) + "   " + Cp("РАЗМЕР ФАЙЛА:   ") +
                 Cp1251_Encode(Edit6->text()) + Cp(" байт") + "\r\r\r");
    return true;
}

void FileTransfer::Log_Transfer(const QByteArray &bytes)
{
    if (State.Log) {
        State.Log->write(bytes);
        State.Log->flush();
    }
}

void FileTransfer::FileDataSendTimer()
{
    SendSession &sender = State.Sender;
    if (!sender.May_Send())
        return;
    const std::uint32_t n = sender.Next_Length();
    const std::uint64_t k = sender.Take_Next_Frame();
    std::uint8_t *frame = Transfer_Buffer.data();
    Transfer_Fill = Put_Data_Frame(k, n, frame);
    if (State.Source->read(reinterpret_cast<char *>(frame + kDataOffset), n) != qint64(n)) {
        Abort_Sending();
        Notice(File_Changed());
        return;
    }
    const bool written = link_.Write(frame, Transfer_Fill);
    State.Heard = false;
    TimerSendSession->Start(Packet_Interval);
    Form6->Edit3->setText(QString::number(k));
    Form6->Show_Progress(k, sender.Total());
    if (written) {
        const QByteArray line = Cp("Пакет №: ") + QByteArray::number(qulonglong(k)) + "   ";
        Log_Transfer(line + '\r');
        console_.Print(line + '\r', kBlack);
        return;
    }
    Log_Transfer((k == sender.Total() ? QByteArray("Error write in COM port") : Cp("Ошибка записи в порт")) + '\r');
    console_.Print(Cp("Ошибка записи в порт"), kBlack);
    Notice(Port_Error_Text(PortError::Write));
}

void FileTransfer::On_Acknowledgement(const std::uint8_t *frame)
{
    const auto number = Field_Number(frame + kNumberOffset, kNumberFieldWidth);
    if (!number)
        return;
    const SendSession::AckResult result = State.Sender.On_Acknowledgement(*number);
    if (result == SendSession::AckResult::Ignore)
        return;  // the wait goes on, and its time-out repeats the frame
    if (result == SendSession::AckResult::Late) {
        Send_Cancel();
        return;
    }
    TimerSendSession->Stop();
    Log_Transfer(Cp("БЕЗ ОШИБОК") + "\r\r");
    console_.Print(Cp("БЕЗ ОШИБОК"), kMaroon);
    console_.Print(QByteArray("\r"), kBlack);
    if (result == SendSession::AckResult::Next)
        return;
    Log_Transfer(Cp("***КОНЕЦ ПЕРЕДАЧИ ФАЙЛА***") + "\r\r");
    console_.Print(Cp("***КОНЕЦ ПЕРЕДАЧИ ФАЙЛА***"), kMagenta);
    console_.New_Line();
    Stop_Sending();
    Form6->hide();
}

void FileTransfer::TimerSendSessionTimer() { Act_On_Verdict(Sender_Time_Out(*TimerSendSession), false); }

// The wait for a reply or an acknowledgement ran out. Part of an answer
// still held is dropped: the repeat will bring a whole one. Bytes that came
// since the frame went out, and were dropped as no whole frame, were an
// answer spoilt on the line: the line is alive, and the repeat is not one
// of the retries kept for silence.
SendSession::Verdict FileTransfer::Sender_Time_Out(vexa::Timer &wait)
{
    wait.Stop();
    const bool partial = State.Parser.Holds_Bytes() || State.Heard;
    const SendSession::Verdict verdict = State.Sender.On_Time_Out(partial);
    if (verdict != SendSession::Verdict::Ignore && partial)
        Clear_Frame_Buffer();
    return verdict;
}

void FileTransfer::On_Error_Frame(bool fileNameCause)
{
    const SendSession::Verdict verdict = State.Sender.On_Error(fileNameCause);
    if (verdict == SendSession::Verdict::Ignore)
        return;
    if (verdict == SendSession::Verdict::Refuse) {  // asked for a frame after this side stopped
        Send_Cancel();
        return;
    }
    (fileNameCause ? FileNameSend : TimerSendSession)->Stop();
    Act_On_Verdict(verdict, fileNameCause);
}

// A wait ended without its answer: send the announcement or the last data
// frame again, or give up.
void FileTransfer::Act_On_Verdict(SendSession::Verdict verdict, bool announcement)
{
    if (verdict == SendSession::Verdict::Ignore)
        return;
    if (verdict == SendSession::Verdict::Repeat) {
        announcement ? Send_Announcement() : Repeat_Last_Frame();
        return;
    }
    Stop_Sending();
    Tell_Stopped();  // in case only its answers were lost
    Notice(No_Answer());
}

// The wait restarts even when the write failed, so that the repeats run out
// and the transfer ends instead of waiting for ever.
void FileTransfer::Repeat_Last_Frame()
{
    const bool written = link_.Write(Transfer_Buffer.data(), Transfer_Fill);
    State.Heard = false;
    TimerSendSession->Start(Packet_Interval);
    Form6->Edit5->setText(QString::number(State.Sender.Repeats()));
    if (!written)
        Notice(QStringLiteral("Oшибка записи в порт повтороного пакета"));
}

void FileTransfer::Cancel_Sending()
{
    Abort_Sending();
    Form6->hide();
}

// This side stops before the file is through: the receiver is told.
void FileTransfer::Abort_Sending()
{
    const bool running = State.Sender.State() != SendSession::Phase::Idle;
    State.Sender.Abandon();
    Stop_Sending();
    if (running)
        Tell_Stopped();
}

// Every timer of the sending side stops and each of its files closes once.
// The send dialog stays where it stood, for the user to read and close.
void FileTransfer::Stop_Sending()
{
    FileNameSend->Stop();
    FileDataSend->Stop();
    TimerSendSession->Stop();
    if (State.Sender.State() != SendSession::Phase::Idle)
        State.Sender.End();
    State.Source.reset();
    State.Log.reset();
    Form6->Stop_Clock();
    SpeedButton11->setEnabled(true);
    SpeedButton12->setEnabled(true);
}

void FileTransfer::SpeedButton13Click()
{
    host_.Clear_Focus();
    QFile log(QDir(Enter_Start_Directory()).filePath(QLatin1String(kLogFile)));
    if (!log.open(QIODevice::ReadOnly)) {
        Error(Open_Failed(log));
        return;
    }
    console_.Print(QByteArray("***PROTOCOL OF LAST FILE SEND BEGIN***"), kGreen);
    console_.Print(QByteArray("\r"), kGreen);
    console_.Print(log.readAll(), kBlack);
    console_.Print(QByteArray("***PROTOCOL OF LAST FILE SEND END***"), kGreen);
    console_.Print(QByteArray("\r"), kGreen);
}
