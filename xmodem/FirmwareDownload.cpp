// One firmware download: the modem is the XMODEM receiver and drives the
// exchange with NAK and ACK; Vexa sends the blocks.
//
// Its notices open their boxes after the handling that raised them has
// returned (File_Message), never inside the handling of received bytes: the
// reader waits for that handling, and a box there would hold up the modem's
// answers while the silence time-out runs. Each step still changes the
// download's state first and writes to the port last.

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <climits>

#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/FileDialogs.h"
#include "xmodem/ModemReply.h"

namespace {

constexpr ColorRef kPurple = 0x800080;
constexpr ColorRef kOrangeBrown = 0x1C62C1;

QString Write_Error() { return QStringLiteral("Oшибка записи в порт"); }

QByteArray Notice(const QString &text) { return vexa::Cp1251_Encode(text) + '\r'; }

// Said at the start of every download that is not a plain checksum one, or
// when 1024-byte blocks were asked for and the modem does not take them.
QString Mode_Line(Xmodem_Mode mode)
{
    switch (mode) {
    case Xmodem_Mode::Crc:
        return QStringLiteral("РЕЖИМ: XMODEM-CRC, БЛОКИ 128 БАЙТ");
    case Xmodem_Mode::Crc_1k:
        return QStringLiteral("РЕЖИМ: XMODEM-CRC, БЛОКИ 1024 БАЙТ");
    case Xmodem_Mode::Checksum:
        break;
    }
    return QStringLiteral("РЕЖИМ: XMODEM, БЛОКИ 128 БАЙТ (МОДЕМ НЕ ПРОСИТ CRC)");
}

}  // namespace

// The dialog starts in the start folder and may leave the process elsewhere.
QString TForm1::Choose_Firmware(const char *dialog, const QString &filter)
{
    Enter_Start_Directory();
    const QString path = vexa::Choose_File(
        this, {vexa::FileDialogKind::Open, QString::fromLatin1(dialog), Start_Directory, filter, {}});
    Enter_Start_Directory();
    Clear_Focus();
    return path;
}

void TForm1::SpeedButton14Click()
{
    const QString path = Choose_Firmware("OpenDialog4", QStringLiteral("Файлы для прошивки модема|*.*"));
    if (!path.isEmpty())
        Show_Firmware_File(path, true);
}

// Puts the path into Edit7 and the file's size into Edit8.
void TForm1::Show_Firmware_File(const QString &path, bool reportError)
{
    Enter_Start_Directory();
    Firmware.Edit7->setText(path);
    Firmware.Edit8->clear();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        Firmware.Edit8->setText(QString::number(file.size()));
    else if (reportError)
        File_Error(QStringLiteral("Не удалось открыть файл прошивки ") + path + QStringLiteral(": ") +
                   file.errorString());
}

void TForm1::SpeedButton15Click()
{
    Clear_Focus();
    Start_Download();
}

// The file is opened, and its size taken from the opened file, before the
// page control is locked: a file that cannot be read locks nothing.
void TForm1::Start_Download()
{
    FirmwareState &fw = Firmware;
    if (fw.Sender.Running() || !Open_Firmware_File())
        return;
    const qint64 size = fw.File.size();
    fw.Edit8->setText(QString::number(size));
    PageControl1->setEnabled(false);
    fw.CheckBox6->setEnabled(false);
    const bool oneK = fw.CheckBox6->isChecked();
    const Xmodem_Mode mode = !fw.Sender.Crc_Asked() ? Xmodem_Mode::Checksum
                             : oneK                 ? Xmodem_Mode::Crc_1k
                                                    : Xmodem_Mode::Crc;
    fw.Sender.Begin(size, mode);
    fw.Longest_Answer_Ms = 0;
    fw.Can_Pending = false;
    fw.Modem_Ready = false;
    Print_To_Screen(vexa::Cp1251_Encode(QStringLiteral("НАЧАЛО ПРОШИВКИ")), kBlue);
    Print_To_Screen(QByteArray("\r"), kBlack);
    Print_To_Screen(vexa::Cp1251_Encode(QStringLiteral("ФАЙЛ: ") + fw.Edit7->text()), kPurple);
    Print_To_Screen(QByteArray("\r"), kBlack);
    if (mode != Xmodem_Mode::Checksum || oneK) {
        Print_To_Screen(vexa::Cp1251_Encode(Mode_Line(mode)), kPurple);
        Print_To_Screen(QByteArray("\r"), kBlack);
    }
    fw.Edit10->setText(QString::number(fw.Sender.Block_Total()));
    fw.Edit11->clear();
    fw.Gauge2->setRange(0, static_cast<int>(std::min<qint64>(fw.Sender.Block_Total(), INT_MAX)));
    fw.Gauge3->setRange(0, 255);
    for (QProgressBar *gauge : {fw.Gauge2, fw.Gauge3}) {
        gauge->setValue(0);
        gauge->show();
    }
    Send_Block(Block_Action::Next);
}

// Opens the file named in Edit7; else stops a group and says why.
bool TForm1::Open_Firmware_File()
{
    FirmwareState &fw = Firmware;
    const QString path = fw.Edit7->text();
    Enter_Start_Directory();
    fw.File.setFileName(path);
    QString refusal;
    bool fileError = false;
    if (path.isEmpty()) {
        refusal = QStringLiteral("Не выбран файл для прошивки");
    } else if (!fw.File.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        refusal = QStringLiteral("Не удалось открыть файл прошивки ") + path + QStringLiteral(": ") + fw.File.errorString();
        fileError = true;
    } else if (fw.File.size() == 0) {
        fw.File.close();
        refusal = QStringLiteral("Файл пуст, размер = 0 байт");
    }
    if (refusal.isEmpty())
        return true;
    if (Stop_Group())
        Print_To_Screen(Notice(QStringLiteral("Группа файлов остановлена.")), kRed);
    if (fileError)
        File_Error(refusal);
    else
        File_Message(refusal);
    return false;
}

// The block goes out before the page's fields are updated: the modem's
// answer is what the download waits for, the fields can follow.
void TForm1::Send_Block(Block_Action action)
{
    FirmwareState &fw = Firmware;
    const std::int64_t blockIndex = fw.Sender.Blocks_Sent_Counter();
    if (action == Block_Action::Next) {
        std::uint8_t data[kXmodem1kDataSize];
        const auto wanted = static_cast<qint64>(fw.Sender.Next_Data_Size());
        if (fw.File.read(reinterpret_cast<char *>(data), wanted) != wanted) {
            Fail_On_Read_Error();
            return;
        }
        fw.Block = Build_Block(fw.Sender.Block_Number(), fw.Sender.Next_Block_Size(), fw.Sender.Mode(), data,
                               static_cast<std::size_t>(wanted));
        fw.Sender.Next_Sent();
    }
    fw.TimerModemSilence->start(std::max(1, fw.Reply_Timeout_Ms));
    const bool written = Write_To_Port(fw.Block.data(), static_cast<std::uint32_t>(fw.Block.size()));
    fw.Since_Sent.start();
    if (action == Block_Action::Next)
        fw.Edit9->setText(QString::number(blockIndex));
    else
        fw.Edit11->setText(QString::number(fw.Sender.Repeats()));
    // The bar counts the new blocks sent, so that it ends full.
    fw.Gauge2->setValue(static_cast<int>(std::min<qint64>(fw.Sender.Blocks_Sent_Counter() - 1, INT_MAX)));
    fw.Gauge3->setValue(fw.Sender.Block_Number());
    if (!written)
        File_Message(Write_Error());
}

void TForm1::Fail_On_Read_Error()
{
    const QString reason = Firmware.File.error() != QFileDevice::NoError
                               ? Firmware.File.errorString()
                               : QStringLiteral("файл стал короче, чем был в начале прошивки");
    Fail_Download(QStringLiteral("Ошибка чтения файла прошивки: ") + reason + QStringLiteral(". Прошивка прервана."),
                  Failure_Report::Error_Box);
}

void TForm1::Send_Eot()
{
    Firmware.TimerModemSilence->start(std::max(1, Firmware.Reply_Timeout_Ms));
    if (!Write_To_Port(&kEot, 1))
        File_Message(Write_Error());
    Firmware.Since_Sent.start();
}

void TForm1::Scan_Modem_Reply(const std::uint8_t *bytes, std::uint32_t count)
{
    const Modem_Answer answer = Scan_Reply(bytes, count, Firmware.Can_Pending);
    if (answer.reply == Modem_Reply::Ack && Firmware.Sender.Running() && Firmware.Since_Sent.isValid())
        Firmware.Longest_Answer_Ms = std::max(Firmware.Longest_Answer_Ms, Firmware.Since_Sent.elapsed());
    Take_Sender_Step(Firmware.Sender.On_Reply(answer));
}

void TForm1::Take_Sender_Step(XmodemSender::Step step)
{
    using Step = XmodemSender::Step;
    if (step != Step::Nothing)
        Firmware.TimerCopyAnswers->stop();
    switch (step) {
    case Step::Nothing:
        break;
    case Step::Await_Copies:
        Firmware.TimerModemSilence->stop();
        Firmware.TimerCopyAnswers->start(Copy_Answer_Wait_Ms());
        break;
    case Step::Modem_Ready:
        Print_To_Screen(Notice(QStringLiteral("МОДЕМ ГОТОВ К ПРОШИВКЕ...")), kOrangeBrown);
        Firmware.SpeedButton15->show();
        Firmware.SpeedButton16->show();
        Firmware.Modem_Ready = true;
        if (Firmware.Next_File_Ready && Firmware.Group_Index > 0)
            Start_Next_Group_File();
        break;
    case Step::Send_Next:
        Send_Block(Block_Action::Next);
        break;
    case Step::Repeat_Block:
        Print_To_Screen(Notice(QStringLiteral("ПОВТОР ПАКЕТА...")), kRed);
        Send_Block(Block_Action::Repeat);
        break;
    case Step::Repeat_Eot:
        Print_To_Screen(Notice(QStringLiteral("ПОВТОР КОНЦА ПЕРЕДАЧИ...")), kRed);
        Send_Eot();
        break;
    case Step::Send_Eot:
        Send_Eot();
        break;
    case Step::Finished:
        Finish_Download();
        break;
    case Step::Block_Rejected:
        Fail_Download(QStringLiteral("Модем %1 раз подряд не принял пакет. Прошивка прервана.")
                          .arg(XmodemSender::kRejectLimit),
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
void TForm1::Release_Download()
{
    FirmwareState &fw = Firmware;
    fw.TimerModemSilence->stop();
    fw.TimerCopyAnswers->stop();
    fw.Sender.Stop();
    fw.File.close();
    fw.Modem_Ready = false;
    fw.SpeedButton15->hide();
    for (QProgressBar *gauge : {fw.Gauge2, fw.Gauge3}) {
        gauge->hide();
        gauge->setValue(0);
    }
    fw.CheckBox6->setEnabled(true);
    PageControl1->setEnabled(true);
}

// The modem acknowledged the EOT.
void TForm1::Finish_Download()
{
    Release_Download();
    for (QLineEdit *edit : {Firmware.Edit7, Firmware.Edit8, Firmware.Edit9, Firmware.Edit10, Firmware.Edit11})
        edit->clear();
    Firmware.TimerRunNext->start();
    Print_To_Screen(Notice(QStringLiteral("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА")), kBlue);
}

// The file name and the counters stay, to show how far the download came and
// so that "Прошить" can try the same file again once the modem is ready.
void TForm1::Fail_Download(const QString &reason, Failure_Report report)
{
    const bool group = Stop_Group();
    Release_Download();
    Firmware.SpeedButton16->hide();
    const QString text = group ? reason + QStringLiteral(" Группа файлов остановлена.") : reason;
    Print_To_Screen(Notice(text), kRed);
    if (report == Failure_Report::Box)
        File_Message(text);
    else if (report == Failure_Report::Error_Box)
        File_Error(text);
}

// Silence after the EOT ends a complete download: every block is
// acknowledged, so the image is in the modem. Bootloaders that restart on
// the EOT never answer it, and a receiver that flushes its line as it exits
// may lose its answer.
void TForm1::TimerModemSilenceTimer()
{
    if (!Firmware.Sender.Running())
        return;
    if (Firmware.Sender.phase() == XmodemSender::Phase::Ending) {
        Print_To_Screen(Notice(QStringLiteral("Модем не подтвердил конец передачи.")), kRed);
        Finish_Download();
    } else {
        Fail_Download(QStringLiteral("Модем не отвечает. Прошивка прервана."), Failure_Report::Box);
    }
}

void TForm1::TimerCopyAnswersTimer() { Take_Sender_Step(Firmware.Sender.Copies_Waited()); }

// Two block times on the line at the port's speed, and the margin; on a link
// or a receiver slower than the speed says (a network port, a modem writing
// its flash), as long as any answer of this download took, and the margin;
// never longer than the modem has to answer at all.
int TForm1::Copy_Answer_Wait_Ms() const
{
    constexpr double kBitsPerByte = 10;
    const double baud = std::max<std::uint32_t>(Port_Settings.BaudRate, 110);
    const double blockMs = 1000.0 * kBitsPerByte * double(Firmware.Block.size()) / baud;
    const qint64 wait = kCopyAnswerMarginMs + std::max(qint64(2 * blockMs), Firmware.Longest_Answer_Ms);
    return static_cast<int>(std::clamp<qint64>(wait, 1, std::max(1, Firmware.Reply_Timeout_Ms)));
}

void TForm1::Abandon_Download()
{
    if (Firmware.Sender.Running())
        Fail_Download(QStringLiteral("Порт закрыт. Прошивка прервана."), Failure_Report::Screen_Only);
    else if (Stop_Group())
        Print_To_Screen(Notice(QStringLiteral("Порт закрыт. Группа файлов остановлена.")), kRed);
}
