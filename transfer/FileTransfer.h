#pragma once
// The file-transfer subsystem: the frame protocol between two Vexa
// instances, its sender and its receiver, the controls of the "ПЕРЕДАЧА
// ФАЙЛОВ" page and the two dialogs that show a transfer. It writes to the
// port through a Link, tells the user through a Console and keeps time by a
// Clock, so the same class runs in the program and on a simulated line.
//
// Everything runs on the thread that owns the clock: received chunks, the
// timers, the buttons. The port going away (Link::Closing) ends both sides
// where they stand.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Console.h"
#include "transfer/FileTransferState.h"

class Link;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;
class TForm5;
class TForm6;

namespace vexa {
class Clock;
class Timer;
}  // namespace vexa

// What the window does for the transfer.
struct FileTransferHost {
    // Makes the start folder the current one and returns it.
    std::function<QString()> Enter_Start_Directory;
    // Hands the keyboard back to the terminal.
    std::function<void()> Clear_Focus;
};

// Refusals sent after the first when this side stops with every frame sent.
constexpr int kRefusalsAfterLast = 2;

class FileTransfer : public QObject {
public:
    // Builds the page's controls onto page.
    FileTransfer(QWidget *page, vexa::Clock &clock, Link &link, Console &console, FileTransferHost host);
    ~FileTransfer() override;
    // The receive and send dialogs, made after the page: nothing is
    // received or sent before they are given.
    void Attach_Dialogs(TForm5 *receive, TForm6 *send);

    // Entering the page forgets any half-received frame and the sender's
    // retries; leaving it ends a running transfer on both sides.
    void Enter_Page();
    void Leave_Page();
    // Each chunk received while the page is shown.
    void Parse_File_Frames(const std::uint8_t *bytes, std::uint32_t count);

    // The page's controls and what the user does with them.
    void SpeedButton11Click();  // choose the file
    void SpeedButton12Click();  // announce it
    void SpeedButton13Click();  // replay the transfer log
    void ComboBox7Change();
    void ComboBox8Change();
    void Cancel_Sending();  // the send dialog's "Отмена "
    void Accept_File();     // the receive dialog's "Принять"
    void Refuse_File();     // the receive dialog's "Отмена"

    QLineEdit *Edit5 = nullptr, *Edit6 = nullptr;  // chosen file, its size
    QPushButton *SpeedButton11 = nullptr, *SpeedButton12 = nullptr, *SpeedButton13 = nullptr;
    QComboBox *ComboBox7 = nullptr, *ComboBox8 = nullptr;
    TForm5 *Form5 = nullptr;
    TForm6 *Form6 = nullptr;
    std::unique_ptr<vexa::Timer> FileNameSend, FileDataSend, TimerSendSession, TimerReceiveAll, TimerReceiveWait,
        TimerShortFrame, TimerSendRefusal;

    FileTransferState State;
    // The last data frame sent, byte for byte, for its repeats.
    std::vector<std::uint8_t> Transfer_Buffer;
    std::uint32_t Transfer_Fill = 0;
    int Packet_Interval = 90000;         // wait for a reply or an acknowledgement, ms
    int Frame_Receive_Interval = 60000;  // a begun frame must finish, ms

private:
    class Router;

    void Build_Page(QWidget *page);
    void End_File_Transfer();
    void Fill_Interval_Lists();
    void Notice(const QString &text) { console_.Notice(text, vexa::MessageKind::Message); }
    void Error(const QString &text) { console_.Notice(text, vexa::MessageKind::Error); }
    QString Enter_Start_Directory() { return host_.Enter_Start_Directory(); }

    // protocol (FileProtocol.cpp)
    void On_File_Frame(FrameKind kind, const std::uint8_t *frame, std::uint32_t length);
    void On_File_Frame_Begun(FrameKind kind);
    void On_File_Frame_Dropped(FrameKind kind);
    bool Refusal_Expected() const;
    void TimerReceiveAllTimer();
    void Answer_Broken_Data();
    void TimerShortFrameTimer();
    // Echoes a protocol frame on the screen when it has a colour, then writes it.
    bool Send_File_Frame(const QByteArray &frame, std::optional<ColorRef> echo);
    void Clear_Frame_Buffer();
    int Receive_Wait_Ms() const;

    // sender (FileSender.cpp)
    bool Take_File_Name(const QString &path);
    void Send_Announcement();
    void FileNameSendTimer();
    void FileDataSendTimer();
    void TimerSendSessionTimer();
    void Repeat_Last_Frame();
    void On_Reply(bool accept);
    void On_Acknowledgement(const std::uint8_t *frame);
    void On_Error_Frame(bool fileNameCause);
    void Start_Data_Phase();
    bool Open_Transfer_Log();
    void Log_Transfer(const QByteArray &bytes);
    SendSession::Verdict Sender_Time_Out(vexa::Timer &wait);
    void Act_On_Verdict(SendSession::Verdict verdict, bool announcement);
    void Send_Cancel();
    void Tell_Stopped();
    void TimerSendRefusalTimer();
    void Abort_Sending();
    void Stop_Sending();

    // receiver (FileReceiver.cpp)
    void On_Announcement(const std::uint8_t *frame);
    void On_Data_Frame(const std::uint8_t *frame, std::uint32_t length);
    void Send_Acknowledgement(std::uint64_t number);
    void TimerReceiveWaitTimer();
    void On_Sender_Cancel();
    void Drop_Received_File();
    void Drop_Kept_File();
    void Stop_Receiving();

    Link &link_;
    Console &console_;
    FileTransferHost host_;
    QWidget *page_;
};
