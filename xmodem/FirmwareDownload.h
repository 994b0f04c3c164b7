#pragma once
// The firmware download of the programming page: one file, or a group of
// files one after another, into a modem that is the XMODEM receiver and
// drives the exchange with its requests and answers.
//
// It owns the download's state, its timers (made on the clock it is given)
// and the page's controls, which it builds on the page widget it is given.
// It reaches the port only through a Link and the user only through a
// Console; what the window does for it comes through Window_Hooks.

#include <QFile>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "xmodem/XmodemBlock.h"
#include "xmodem/XmodemSender.h"

class Console;
class Link;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QWidget;

// The modem has this long to answer a block or the EOT. A classic XMODEM
// receiver that lost part of a block asks for it again with a NAK after its
// own 10 s; the extra 5 s let that NAK arrive before we give up.
constexpr int kModemReplyTimeoutMs = 15000;
// Answers of a line may come this much later than the slowest seen so far
// (a little jitter on the line, the receiver's own turnaround).
constexpr int kCopyAnswerMarginMs = 300;

class FirmwareDownload : public QObject {
public:
    // What the window does for the download.
    struct Window_Hooks {
        std::function<void(bool locked)> Lock_Pages;  // no other page takes input while locked
        std::function<void()> Enter_Start_Directory;
        // The open dialog: a full path, or empty when cancelled.
        std::function<QString(const char *dialog, const QString &filter)> Choose_File;
        std::function<void()> Clear_Focus;
    };

    // How a failed download tells the user: a message box, the general error
    // box (a file that failed), or only a line on the screen (the port goes).
    enum class Failure_Report { Box, Error_Box, Screen_Only };

    FirmwareDownload(QWidget *page, vexa::Clock &clock, Link &link, Console &console, Window_Hooks hooks);
    ~FirmwareDownload() override;

    // ----- what the window forwards -----
    void SpeedButton14Click();  // "Выбрать файл"
    void SpeedButton15Click();  // "Прошить"
    void SpeedButton16Click();  // "Прошить группу файлов"
    void SpeedButton17Click();  // "Добавить"
    void SpeedButton18Click();  // "Удалить"
    void TimerProgrammingSeveralFilesTimer();
    void TimerRunNextTimer();
    // Each chunk the modem sent while the programming page is shown.
    void Scan_Modem_Reply(const std::uint8_t *bytes, std::uint32_t count);
    // Choosing the programming page empties its file name, size and repeat count.
    void Clear_Fields();
    // Puts the path into Edit7 and the file's size into Edit8.
    void Show_Firmware_File(const QString &path, bool reportError);

    // ----- controls of the programming page -----
    QLineEdit *Edit7 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr, *Edit10 = nullptr, *Edit11 = nullptr;
    QPushButton *SpeedButton14 = nullptr, *SpeedButton15 = nullptr, *SpeedButton16 = nullptr, *SpeedButton17 = nullptr,
                *SpeedButton18 = nullptr;
    QProgressBar *Gauge2 = nullptr, *Gauge3 = nullptr;
    QScrollArea *ScrollBox2 = nullptr;
    QListWidget *CheckListBox1 = nullptr;
    QCheckBox *CheckBox6 = nullptr;  // "Блоки 1024 байт", for a modem that asks for CRC
    std::unique_ptr<vexa::Timer> TimerProgrammingSeveralFiles, TimerRunNext, TimerModemSilence, TimerCopyAnswers;

    // ----- one download -----
    XmodemSender Sender;
    std::vector<std::uint8_t> Block;  // the block last built, for a repeat
    QFile File;                       // the firmware file while a download runs
    bool Can_Pending = false;         // the previous chunk ended with a CAN
    // A NAK or 'C' came while no download ran. Each file of a group waits
    // for one that came after the previous download, so that block 1 goes
    // to a modem that asks for it, in the check it asks for.
    bool Modem_Ready = false;
    int Reply_Timeout_Ms = kModemReplyTimeoutMs;
    // Since the first copy of the block (or EOT) last sent, and the longest
    // any answer of this download took, counted from the first copy: how long
    // this line and receiver have shown an answer can take.
    vexa::Stopwatch Since_Sent;
    std::int64_t Longest_Answer_Ms = 0;

    // ----- group of files -----
    QStringList Group_Queue;  // empty when no group runs
    int Group_Index = 0;
    bool Next_File_Ready = false;
    vexa::Stopwatch Ready_Wait;  // since the group began waiting for the modem's request

private:
    enum class Block_Action { Next, Repeat, Rebuild };

    void Build_Page(QWidget *page);
    void Fit_Group_List();
    void Start_Download();
    bool Open_Firmware_File();
    void Print_Mode(Xmodem_Mode mode);
    void Show_Totals();
    void Send_Block(Block_Action action);
    void Fail_On_Read_Error();
    void Send_Eot(bool first);
    void Take_Sender_Step(XmodemSender::Step step);
    int Answer_Wait_Ms() const;
    void Release_Download();
    void Finish_Download();
    void Fail_Download(const QString &reason, Failure_Report report);
    void Abandon_Download();
    void Port_Write_Failed();
    void TimerModemSilenceTimer();
    void Start_Next_Group_File();
    bool Stop_Group();  // true when a group was running

    Link &link_;
    Console &console_;
    Window_Hooks hooks_;
};
