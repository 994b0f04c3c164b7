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
#include <QTimer>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"
#include "transfer/SendFile.h"

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

void TForm1::SpeedButton11Click()
{
    Enter_Start_Directory();
    const QString path = vexa::Choose_File(
        this, {vexa::FileDialogKind::Open, QStringLiteral("OpenDialog3"), Start_Directory,
               QStringLiteral("Файлы любых типов|*.*"), QString()});
    Clear_Focus();
    if (path.isEmpty())
        return;
    Edit5->setText(path);
    FileTransfer.Name_Field.fill('\0');
    FileTransfer.Size_Field.fill('\0');
    if (Take_File_Name(path)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            Edit5->clear();
            File_Error(Open_Failed(file));
            return;
        }
        Edit6->setText(QString::number(file.size()));
    }
    const QByteArray sizeText = Cp1251_Encode(Edit6->text()).left(kSizeFieldWidth);
    FileTransfer.Size_Field.replace(0, sizeText.size(), sizeText);
    Print_To_Screen(FileTransfer.Size_Field, kBlack);
}

// The name travels in cp1251 and in at most 48 characters. A name that
// cannot travel leaves no file chosen, so that nothing is announced without
// a name.
bool TForm1::Take_File_Name(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const QByteArray bytes = Cp1251_Encode(name);
    if (vexa::Cp1251_Decode(bytes) != name) {
        Edit5->clear();
        File_Message(QStringLiteral("Имя файла содержит знаки, которых нет в кодировке 1251"));
        return false;
    }
    if (name.size() > kMaxNameLength) {
        Edit5->clear();
        File_Message(QStringLiteral("Превышена дллинна имени файла"));
        return false;
    }
    FileTransfer.Name_Field.replace(0, bytes.size(), bytes);
    Print_To_Screen(FileTransfer.Name_Field, kBlack);
    return true;
}

void TForm1::SpeedButton12Click()
{
    Clear_Focus();
    if (Edit5->text().isEmpty()) {
        File_Message(QStringLiteral("Не выбран файл для передачи"));
        return;
    }
    FileTransfer.Sender.Announced();
    Send_Announcement();
}

void TForm1::Send_Announcement()
{
    if (Send_File_Frame(Announcement_Frame(FileTransfer.Name_Field, FileTransfer.Size_Field), kGrey))
        Start_File_Timer(FileNameSend, Packet_Interval);
    else
        FileTransfer.Sender.End();
}

void TForm1::Send_Cancel() { Send_File_Frame(Reply_Frame(false), kGrey); }

void TForm1::FileNameSendTimer() { Act_On_Verdict(Sender_Time_Out(FileNameSend), true); }

void TForm1::On_Reply(bool accept)
{
    switch (FileTransfer.Sender.On_Reply(accept)) {
    case SendSession::ReplyResult::Ignore:
        if (!accept)
            On_Sender_Cancel();  // not ours: the sender of a file we receive stopped
        return;
    case SendSession::ReplyResult::Late:
        Send_Cancel();
        return;
    case SendSession::ReplyResult::Accepted:
        FileNameSend->stop();
        Start_Data_Phase();
        return;
    case SendSession::ReplyResult::Aborted:
        Stop_Sending();
        break;
    case SendSession::ReplyResult::Refused:
        FileNameSend->stop();
        break;
    }
    File_Message(QStringLiteral("В приеме файла отказано удаленной стороной"));
}

void TForm1::Start_Data_Phase()
{
    FileTransfer.Source = std::make_unique<QFile>(Edit5->text());
    if (!FileTransfer.Source->open(QIODevice::ReadOnly)) {
        File_Error(Open_Failed(*FileTransfer.Source));
        Abort_Sending();
        return;
    }
    Screen_New_Line();
    Print_To_Screen(Cp("***НАЧАЛО ПЕРЕДАЧИ ФАЙЛА***"), kMagenta);
    Screen_New_Line();
    if (!Open_Transfer_Log())
        return;
    const auto size = Field_Number(reinterpret_cast<const std::uint8_t *>(FileTransfer.Size_Field.constData()),
                                   kSizeFieldWidth);
    if (!size || std::uint64_t(FileTransfer.Source->size()) != *size) {
        Abort_Sending();
        File_Message(File_Changed());
        return;
    }
    if (!FileTransfer.Sender.Start_Data(*size)) {
        Stop_Sending();
        File_Message(QStringLiteral("Файл пуст, размер = 0 байт"));
        return;
    }
    FileDataSend->start();
    SpeedButton11->setEnabled(false);
    SpeedButton12->setEnabled(false);
    const std::uint64_t total = FileTransfer.Sender.Total();
    Form6->Edit1->setText(Edit5->text());
    Form6->Edit2->setText(Edit6->text());
    Form6->Show_Progress(0, total);
    Form6->Edit4->setText(QString::number(total));
    Form6->Edit3->clear();
    Form6->Edit5->clear();
    Form6->Show_Centred();
    Form6->Start_Clock();
}

bool TForm1::Open_Transfer_Log()
{
    Enter_Start_Directory();
    FileTransfer.Log = std::make_unique<QFile>(QDir(Start_Directory).filePath(QLatin1String(kLogFile)));
    if (!FileTransfer.Log->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        File_Error(Open_Failed(*FileTransfer.Log));
        Abort_Sending();
        return false;
    }
    Log_Transfer(Cp("ИМЯ ФАЙЛА:   ") + Cp1251_Encode(Edit5->text()) + "   " + Cp("РАЗМЕР ФАЙЛА:   ") +
                 Cp1251_Encode(Edit6->text()) + Cp(" байт") + "\r\r\r");
    return true;
}

void TForm1::Log_Transfer(const QByteArray &bytes)
{
    if (FileTransfer.Log) {
        FileTransfer.Log->write(bytes);
        FileTransfer.Log->flush();
    }
}

void TForm1::FileDataSendTimer()
{
    SendSession &sender = FileTransfer.Sender;
    if (!sender.May_Send())
        return;
    const std::uint32_t n = sender.Next_Length();
    const std::uint64_t k = sender.Take_Next_Frame();
    std::uint8_t *frame = Transfer_Buffer.data();
    Transfer_Fill = Put_Data_Frame(k, n, frame);
    if (FileTransfer.Source->read(reinterpret_cast<char *>(frame + kDataOffset), n) != qint64(n)) {
        Abort_Sending();
        File_Message(File_Changed());
        return;
    }
    const bool written = Write_To_Port(frame, Transfer_Fill);
    Start_File_Timer(TimerSendSession, Packet_Interval);
    Form6->Edit3->setText(QString::number(k));
    Form6->Show_Progress(k, sender.Total());
    if (written) {
        const QByteArray line = Cp("Пакет №: ") + QByteArray::number(qulonglong(k)) + "   ";
        Log_Transfer(line + '\r');
        Print_To_Screen(line + '\r', kBlack);
        return;
    }
    Log_Transfer((k == sender.Total() ? QByteArray("Error write in COM port") : Cp("Ошибка записи в порт")) + '\r');
    Print_To_Screen(Cp("Ошибка записи в порт"), kBlack);
    File_Message(QStringLiteral("Oшибка записи в порт"));
}

void TForm1::On_Acknowledgement(const std::uint8_t *frame)
{
    const auto number = Field_Number(frame + kNumberOffset, kNumberFieldWidth);
    if (!number)
        return;
    const SendSession::AckResult result = FileTransfer.Sender.On_Acknowledgement(*number);
    if (result == SendSession::AckResult::Ignore)
        return;  // the wait goes on, and its time-out repeats the frame
    TimerSendSession->stop();
    Log_Transfer(Cp("БЕЗ ОШИБОК") + "\r\r");
    Print_To_Screen(Cp("БЕЗ ОШИБОК"), kMaroon);
    Print_To_Screen(QByteArray("\r"), kBlack);
    if (result == SendSession::AckResult::Next)
        return;
    Log_Transfer(Cp("***КОНЕЦ ПЕРЕДАЧИ ФАЙЛА***") + "\r\r");
    Print_To_Screen(Cp("***КОНЕЦ ПЕРЕДАЧИ ФАЙЛА***"), kMagenta);
    Screen_New_Line();
    Stop_Sending();
    Form6->hide();
}

void TForm1::TimerSendSessionTimer() { Act_On_Verdict(Sender_Time_Out(TimerSendSession), false); }

// The wait for a reply or an acknowledgement ran out. Part of an answer
// still held is dropped: the repeat will bring a whole one.
SendSession::Verdict TForm1::Sender_Time_Out(QTimer *wait)
{
    wait->stop();
    const bool partial = FileTransfer.Parser.Holds_Bytes();
    const SendSession::Verdict verdict = FileTransfer.Sender.On_Time_Out(partial);
    if (verdict != SendSession::Verdict::Ignore && partial)
        Clear_Frame_Buffer();
    return verdict;
}

void TForm1::On_Error_Frame(bool fileNameCause)
{
    const SendSession::Verdict verdict = FileTransfer.Sender.On_Error(fileNameCause);
    if (verdict == SendSession::Verdict::Ignore)
        return;
    (fileNameCause ? FileNameSend : TimerSendSession)->stop();
    Act_On_Verdict(verdict, fileNameCause);
}

// A wait ended without its answer: send the announcement or the last data
// frame again, or give up.
void TForm1::Act_On_Verdict(SendSession::Verdict verdict, bool announcement)
{
    if (verdict == SendSession::Verdict::Ignore)
        return;
    if (verdict == SendSession::Verdict::Repeat) {
        announcement ? Send_Announcement() : Repeat_Last_Frame();
        return;
    }
    Stop_Sending();
    Send_Cancel();  // in case only its answers were lost
    File_Message(No_Answer());
}

// The wait restarts even when the write failed, so that the repeats run out
// and the transfer ends instead of waiting for ever.
void TForm1::Repeat_Last_Frame()
{
    const bool written = Write_To_Port(Transfer_Buffer.data(), Transfer_Fill);
    Start_File_Timer(TimerSendSession, Packet_Interval);
    Form6->Edit5->setText(QString::number(FileTransfer.Sender.Repeats()));
    if (!written)
        File_Message(QStringLiteral("Oшибка записи в порт повтороного пакета"));
}

void TForm1::Cancel_Sending()
{
    Abort_Sending();
    Form6->hide();
}

// This side stops before the file is through: the receiver is told.
void TForm1::Abort_Sending()
{
    const bool running = FileTransfer.Sender.State() != SendSession::Phase::Idle;
    FileTransfer.Sender.Abandon();
    Stop_Sending();
    if (running)
        Send_Cancel();
}

// Every timer of the sending side stops and each of its files closes once.
// The send dialog stays where it stood, for the user to read and close.
void TForm1::Stop_Sending()
{
    FileNameSend->stop();
    FileDataSend->stop();
    TimerSendSession->stop();
    if (FileTransfer.Sender.State() != SendSession::Phase::Idle)
        FileTransfer.Sender.End();
    FileTransfer.Source.reset();
    FileTransfer.Log.reset();
    Form6->Stop_Clock();
    SpeedButton11->setEnabled(true);
    SpeedButton12->setEnabled(true);
}

void TForm1::SpeedButton13Click()
{
    Clear_Focus();
    Enter_Start_Directory();
    QFile log(QDir(Start_Directory).filePath(QLatin1String(kLogFile)));
    if (!log.open(QIODevice::ReadOnly)) {
        File_Error(Open_Failed(log));
        return;
    }
    Print_To_Screen(QByteArray("***PROTOCOL OF LAST FILE SEND BEGIN***"), kGreen);
    Print_To_Screen(QByteArray("\r"), kGreen);
    Print_To_Screen(log.readAll(), kBlack);
    Print_To_Screen(QByteArray("***PROTOCOL OF LAST FILE SEND END***"), kGreen);
    Print_To_Screen(QByteArray("\r"), kGreen);
}
