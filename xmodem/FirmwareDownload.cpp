// One firmware download: the modem is the XMODEM receiver and drives the
// exchange with its requests and answers; Vexa sends the blocks.
//
// Notices open their boxes after the handling that raised them has returned
// (Console::Notice), never inside the handling of received bytes: the
// reader waits for that handling, and a box there would hold up the modem's
// answers while the silence time-out runs. Each step still changes the
// download's state first and writes to the port last.

#include "xmodem/FirmwareDownload.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <climits>

#include "platform/Console.h"
#include "platform/Cp1251.h"
#include "serial/Link.h"
#include "xmodem/ModemReply.h"
#include "serial/PortErrors.h"

namespace {

constexpr ColorRef kPurple = 0x800080;
constexpr ColorRef kOrangeBrown = 0x1C62C1;

QByteArray Notice_Line(const QString &text) { return vexa::Cp1251_Encode(text) + '\r'; }

// Said at the start of every download that is not a plain checksum one, when
// 1024-byte blocks were asked for and the modem does not take them, and when
// the modem's latest request changes the check before its first ACK.
QString Mode_Line(Xmodem_Mode mode)
{
    switch (mode) {
    case Xmodem_Mode::Crc: return QStringLiteral("РЕЖИМ: XMODEM-CRC, БЛОКИ 128 БАЙТ");
    case Xmodem_Mode::Crc_1k: return QStringLiteral("РЕЖИМ: XMODEM-CRC, БЛОКИ 1024 БАЙТ");
    case Xmodem_Mode::Checksum: break;
    }
    return QStringLiteral("РЕЖИМ: XMODEM, БЛОКИ 128 БАЙТ (МОДЕМ НЕ ПРОСИТ CRC)");
}

}  // namespace

void FirmwareDownload::SpeedButton14Click()
{
    const QString path = hooks_.Choose_File("OpenDialog4", QStringLiteral("Файлы для прошивки модема|*.*"));
    if (!path.isEmpty())
        Show_Firmware_File(path, true);
}

void FirmwareDownload::Show_Firmware_File(const QString &path, bool reportError)
{
    hooks_.Enter_Start_Directory();
    Edit7->setText(path);
    Edit8->clear();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        Edit8->setText(QString::number(file.size()));
    else if (reportError)
        console_.Notice(
            QStringLiteral("Не удалось открыть файл прошивки ") + path + QStringLiteral(": ") + file.errorString(),
            vexa::MessageKind::Error);
}

void FirmwareDownload::SpeedButton15Click()
{
    hooks_.Clear_Focus();
    Start_Download();
}

// The file is opened, and its size taken from the opened file, before the
// page control is locked: a file that cannot be read locks nothing.
void FirmwareDownload::Start_Download()
{
    if (Sender.Running() || !Open_Firmware_File())
        return;
    const qint64 size = File.size();
    Edit8->setText(QString::number(size));
    hooks_.Lock_Pages(true);
    CheckBox6->setEnabled(false);
    const bool oneK = CheckBox6->isChecked();
    const Xmodem_Mode mode = !Sender.Crc_Asked() ? Xmodem_Mode::Checksum
                             : oneK              ? Xmodem_Mode::Crc_1k
                                                 : Xmodem_Mode::Crc;
    Sender.Begin(size, mode);
    Longest_Answer_Ms = 0;
    Can_Pending = false;
    Modem_Ready = false;
    console_.Print(vexa::Cp1251_Encode(QStringLiteral("НАЧАЛО ПРОШИВКИ")), kBlue);
    console_.Print(QByteArray("\r"), kBlack);
    console_.Print(vexa::Cp1251_Encode(QStringLiteral("ФАЙЛ: ") + Edit7->text()), kPurple);
    console_.Print(QByteArray("\r"), kBlack);
    if (mode != Xmodem_Mode::Checksum || oneK)
        Print_Mode(mode);
    Edit11->clear();
    Show_Totals();
    for (QProgressBar *gauge : {Gauge2, Gauge3}) {
        gauge->setValue(0);
        gauge->show();
    }
    Send_Block(Block_Action::Next);
}

void FirmwareDownload::Print_Mode(Xmodem_Mode mode)
{
    console_.Print(vexa::Cp1251_Encode(Mode_Line(mode)), kPurple);
    console_.Print(QByteArray("\r"), kBlack);
}

void FirmwareDownload::Show_Totals()
{
    Edit10->setText(QString::number(Sender.Block_Total()));
    Gauge2->setRange(0, static_cast<int>(std::min<qint64>(Sender.Block_Total(), INT_MAX)));
    Gauge3->setRange(0, 255);
}

// Opens the file named in Edit7; else stops a group and says why.
bool FirmwareDownload::Open_Firmware_File()
{
    const QString path = Edit7->text();
    hooks_.Enter_Start_Directory();
    File.setFileName(path);
    QString refusal;
    bool fileError = false;
    if (path.isEmpty()) {
        refusal = QStringLiteral("Не выбран файл для прошивки");
    } else if (!File.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        refusal =
            QStringLiteral("Не удалось открыть файл прошивки ") + path + QStringLiteral(": ") + File.errorString();
        fileError = true;
    } else if (File.size() == 0) {
        File.close();
        refusal = QStringLiteral("Файл пуст, размер = 0 байт");
    }
    if (refusal.isEmpty())
        return true;
    if (Stop_Group())
        console_.Print(Notice_Line(QStringLiteral("Группа файлов остановлена.")), kRed);
    console_.Notice(refusal, fileError ? vexa::MessageKind::Error : vexa::MessageKind::Message);
    return false;
}

// The block goes out before the page's fields are updated: the modem's
// answer is what the download waits for, the fields can follow. An answer's
// time counts from the first copy of its block: a copy's answer may be the
// one that comes, and block 1 built again in another check is a copy too.
void FirmwareDownload::Send_Block(Block_Action action)
{
    const std::int64_t blockIndex = Sender.Blocks_Sent_Counter();
    if (action != Block_Action::Repeat) {
        std::uint8_t data[kXmodem1kDataSize];
        const auto wanted = static_cast<qint64>(Sender.Next_Data_Size());
        if ((action == Block_Action::Rebuild && !File.seek(0)) ||
            File.read(reinterpret_cast<char *>(data), wanted) != wanted) {
            Fail_On_Read_Error();
            return;
        }
        Block = Build_Block(Sender.Block_Number(), Sender.Next_Block_Size(), Sender.Mode(), data,
                            static_cast<std::size_t>(wanted));
        Sender.Next_Sent();
    }
    TimerModemSilence->Start(std::max(1, Reply_Timeout_Ms));
    const bool written = link_.Write(Block.data(), static_cast<std::uint32_t>(Block.size()));
    if (action == Block_Action::Next) {
        Since_Sent.Start();
        Edit9->setText(QString::number(blockIndex));
    } else {
        Edit11->setText(QString::number(Sender.Repeats()));
    }
    // The bar counts the new blocks sent, so that it ends full.
    Gauge2->setValue(static_cast<int>(std::min<qint64>(Sender.Blocks_Sent_Counter() - 1, INT_MAX)));
    Gauge3->setValue(Sender.Block_Number());
    if (!written)
        Port_Write_Failed();
}

void FirmwareDownload::Port_Write_Failed() { console_.Notice(Port_Error_Text(PortError::Write)); }

void FirmwareDownload::Fail_On_Read_Error()
{
    const QString reason = File.error() != QFileDevice::NoError
                               ? File.errorString()
                               : QStringLiteral("файл стал короче, чем был в начале прошивки");
    Fail_Download(QStringLiteral("Ошибка чтения файла прошивки: ") + reason + QStringLiteral(". Прошивка прервана."),
                  Failure_Report::Error_Box);
}

void FirmwareDownload::Send_Eot(bool first)
{
    TimerModemSilence->Start(std::max(1, Reply_Timeout_Ms));
    const bool written = link_.Write(&kEot, 1);
    if (first)
        Since_Sent.Start();
    if (!written)
        Port_Write_Failed();
}

void FirmwareDownload::Scan_Modem_Reply(const std::uint8_t *bytes, std::uint32_t count)
{
    const Modem_Answer answer = Scan_Reply(bytes, count, Can_Pending);
    if (answer.reply == Modem_Reply::Ack && Sender.Running() && Since_Sent.Valid())
        Longest_Answer_Ms = std::max(Longest_Answer_Ms, Since_Sent.Elapsed_Ms());
    Take_Sender_Step(Sender.On_Reply(answer));
}

void FirmwareDownload::Take_Sender_Step(XmodemSender::Step step)
{
    using Step = XmodemSender::Step;
    if (step != Step::Nothing)
        TimerCopyAnswers->Stop();
    switch (step) {
    case Step::Nothing: break;
    case Step::Await_Copies:
        TimerModemSilence->Stop();
        TimerCopyAnswers->Start(Answer_Wait_Ms());
        break;
    case Step::Modem_Ready:
        console_.Print(Notice_Line(QStringLiteral("МОДЕМ ГОТОВ К ПРОШИВКЕ...")), kOrangeBrown);
        SpeedButton15->show();
        SpeedButton16->show();
        Modem_Ready = true;
        if (Next_File_Ready && !Group_Queue.isEmpty())
            Start_Next_Group_File();
        break;
    case Step::Send_Next: Send_Block(Block_Action::Next); break;
    case Step::Repeat_Block:
        console_.Print(Notice_Line(QStringLiteral("ПОВТОР ПАКЕТА...")), kRed);
        Send_Block(Block_Action::Repeat);
        break;
    case Step::Rebuild_Block:
        Print_Mode(Sender.Mode());
        Show_Totals();
        console_.Print(Notice_Line(QStringLiteral("ПОВТОР ПАКЕТА...")), kRed);
        Send_Block(Block_Action::Rebuild);
        break;
    case Step::Repeat_Eot:
        console_.Print(Notice_Line(QStringLiteral("ПОВТОР КОНЦА ПЕРЕДАЧИ...")), kRed);
        Send_Eot(false);
        break;
    case Step::Send_Eot: Send_Eot(true); break;
    case Step::Finished: Finish_Download(); break;
    case Step::Block_Rejected:
        Fail_Download(
            QStringLiteral("Модем %1 раз подряд не принял пакет. Прошивка прервана.").arg(XmodemSender::kRejectLimit),
            Failure_Report::Box);
        break;
    case Step::Eot_Rejected:
        Fail_Download(QStringLiteral("Модем не подтвердил конец передачи. Прошивка не завершена."),
                      Failure_Report::Box);
        break;
    case Step::Cancelled:
        Fail_Download(QStringLiteral("Модем отменил приём. Прошивка прервана."), Failure_Report::Box);
        break;
    }
}

// What every end of a download does, finished or failed.
void FirmwareDownload::Release_Download()
{
    TimerModemSilence->Stop();
    TimerCopyAnswers->Stop();
    Sender.Stop();
    File.close();
    Modem_Ready = false;
    SpeedButton15->hide();
    for (QProgressBar *gauge : {Gauge2, Gauge3}) {
        gauge->hide();
        gauge->setValue(0);
    }
    CheckBox6->setEnabled(true);
    hooks_.Lock_Pages(false);
}

// The modem acknowledged the EOT.
void FirmwareDownload::Finish_Download()
{
    Release_Download();
    for (QLineEdit *edit : {Edit7, Edit8, Edit9, Edit10, Edit11})
        edit->clear();
    TimerRunNext->Start();
    console_.Print(Notice_Line(QStringLiteral("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА")), kBlue);
}

// The file name and the counters stay, to show how far the download came and
// so that "Прошить" can try the same file again once the modem is ready.
void FirmwareDownload::Fail_Download(const QString &reason, Failure_Report report)
{
    const bool group = Stop_Group();
    Release_Download();
    SpeedButton16->hide();
    const QString text = group ? reason + QStringLiteral(" Группа файлов остановлена.") : reason;
    console_.Print(Notice_Line(text), kRed);
    if (report != Failure_Report::Screen_Only)
        console_.Notice(text, report == Failure_Report::Box ? vexa::MessageKind::Message : vexa::MessageKind::Error);
}

// Silence after the EOT ends a complete download: every block is
// acknowledged, so the image is in the modem. Bootloaders that restart on
// the EOT never answer it, and a receiver that flushes its line as it exits
// may lose its answer.
void FirmwareDownload::TimerModemSilenceTimer()
{
    if (!Sender.Running())
        return;
    if (Sender.phase() == XmodemSender::Phase::Ending) {
        console_.Print(Notice_Line(QStringLiteral("Модем не подтвердил конец передачи.")), kRed);
        Finish_Download();
    } else {
        Fail_Download(QStringLiteral("Модем не отвечает. Прошивка прервана."), Failure_Report::Box);
    }
}

// Two block times on the line at the port's speed, and the margin; on a link
// or a receiver slower than the speed says (a network port, a modem writing
// its flash), as long as any answer of this download took from a block's
// first copy, and the margin; never longer than the modem has to answer.
int FirmwareDownload::Answer_Wait_Ms() const
{
    constexpr double kBitsPerByte = 10;
    const double baud = std::max<std::uint32_t>(link_.Baud_Rate(), 110);
    const double blockMs = 1000.0 * kBitsPerByte * double(Block.size()) / baud;
    const qint64 wait = kCopyAnswerMarginMs + std::max(qint64(2 * blockMs), qint64(Longest_Answer_Ms));
    return static_cast<int>(std::clamp<qint64>(wait, 1, std::max(1, Reply_Timeout_Ms)));
}

void FirmwareDownload::Abandon_Download()
{
    if (Sender.Running())
        Fail_Download(QStringLiteral("Порт закрыт. Прошивка прервана."), Failure_Report::Screen_Only);
    else if (Stop_Group())
        console_.Print(Notice_Line(QStringLiteral("Порт закрыт. Группа файлов остановлена.")), kRed);
}
