#pragma once
// State of the firmware download: one XMODEM download and the group of
// files. TForm1 holds one of these.

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include "xmodem/XmodemBlock.h"
#include "xmodem/XmodemSender.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTimer;

// The modem has this long to answer a block or the EOT. A classic XMODEM
// receiver that lost part of a block asks for it again with a NAK after its
// own 10 s; the extra 5 s let that NAK arrive before we give up.
constexpr int kModemReplyTimeoutMs = 15000;
// The answer to a further copy of a repeated block follows the first answer
// within about a block's time on the line; this much more covers the
// receiver's own delay and a link's.
constexpr int kCopyAnswerMarginMs = 300;

struct FirmwareState {
    // ----- controls of the programming page -----
    QLineEdit *Edit7 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr, *Edit10 = nullptr, *Edit11 = nullptr;
    QPushButton *SpeedButton14 = nullptr, *SpeedButton15 = nullptr, *SpeedButton16 = nullptr,
                *SpeedButton17 = nullptr, *SpeedButton18 = nullptr;
    QProgressBar *Gauge2 = nullptr, *Gauge3 = nullptr;
    QScrollArea *ScrollBox2 = nullptr;
    QListWidget *CheckListBox1 = nullptr;
    QCheckBox *CheckBox6 = nullptr;  // "Блоки 1024 байт", for a modem that asks for CRC
    QTimer *TimerProgrammingSeveralFiles = nullptr, *TimerRunNext = nullptr, *TimerModemSilence = nullptr,
           *TimerCopyAnswers = nullptr;

    // ----- one download -----
    XmodemSender Sender;
    std::vector<std::uint8_t> Block;  // the block last built, for a repeat
    QFile File;                       // the firmware file while a download runs
    bool Can_Pending = false;         // the previous chunk ended with a CAN
    // A NAK or 'C' came while no download ran. A group's next file waits for
    // one that came after the pause, so that block 1 does not cross a request
    // the modem sent before it.
    bool Modem_Ready = false;
    int Reply_Timeout_Ms = kModemReplyTimeoutMs;
    // Since the last block or EOT went out, and the longest any answer of this
    // download took: the wait for a repeated block's other answers covers a
    // slow link or receiver too.
    QElapsedTimer Since_Sent;
    qint64 Longest_Answer_Ms = 0;

    // ----- group of files -----
    QStringList Group_Queue;  // empty when no group runs
    int Group_Index = 0;
    bool Next_File_Ready = false;
    QElapsedTimer Ready_Wait;  // since the group began waiting for the modem's NAK
};

// What Send_Block does: build and send the next block, or send the last again.
enum class Block_Action { Next = 8, Repeat = 19 };

// How a failed download tells the user: a message box, the general error box
// (a file that failed), or only a notice on the screen (the port is closing).
enum class Failure_Report { Box, Error_Box, Screen_Only };
