// The file-transfer page: its controls and timers, the two interval boxes,
// what the main window asks of the file protocol on a page switch and before
// the port closes, and the way the transfer's message boxes open.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/Controls.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Messages.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"

namespace {

constexpr int kDataPollMs = 10;

}  // namespace

void TForm1::Build_File_Page(QWidget *page)
{
    Label(QStringLiteral("Имя файла: "), page, 6, 10);
    Edit5 = Field("Edit5", page, {6, 26, 331, 20}, FieldUse::ReadOnly);
    Label(QStringLiteral("Размер:"), page, 6, 58);
    Edit6 = Field("Edit6", page, {60, 54, 120, 20}, FieldUse::ReadOnly);
    Label(QStringLiteral("байт"), page, 186, 58);
    SpeedButton11 = Button("SpeedButton11", QStringLiteral("Выбрать файл"), page, {6, 84, 160, 24});
    SpeedButton12 = Button("SpeedButton12", QStringLiteral("Передать файл"), page, {177, 84, 160, 24});
    SpeedButton13 = Button("SpeedButton13", QStringLiteral("Просмотр протокола передачи последнего файла"), page,
                           {6, 116, 331, 24});

    Label(QStringLiteral("Интервал времени на передачу пакета(мс):"), page, 6, 172);
    ComboBox7 = Combo("ComboBox7", page, {6, 188, 100, 22});
    ComboBox7->setEditText(QStringLiteral("90000"));
    Label(QStringLiteral("Интервал времни на прием всего пакета(мс):"), page, 6, 216);
    ComboBox8 = Combo("ComboBox8", page, {6, 232, 100, 22});
    ComboBox8->setEditText(QStringLiteral("60000"));

    FileNameSend = Timer("FileNameSend", this, Packet_Interval, true);
    FileDataSend = Timer("FileDataSend", this, kDataPollMs);
    TimerSendSession = Timer("TimerSendSession", this, Packet_Interval, true);
    TimerReceiveAll = Timer("TimerReceiveAll", this, Frame_Receive_Interval, true);
    TimerReceiveWait = Timer("TimerReceiveWait", this, Packet_Interval, true);
    TimerShortFrame = Timer("TimerShortFrame", this, Frame_Receive_Interval, true);

    On_User_Change(ComboBox7, this, [this] { ComboBox7Change(); });
    On_User_Change(ComboBox8, this, [this] { ComboBox8Change(); });
    connect(SpeedButton11, &QPushButton::clicked, this, &TForm1::SpeedButton11Click);
    connect(SpeedButton12, &QPushButton::clicked, this, &TForm1::SpeedButton12Click);
    connect(SpeedButton13, &QPushButton::clicked, this, &TForm1::SpeedButton13Click);
    connect(FileNameSend, &QTimer::timeout, this, &TForm1::FileNameSendTimer);
    connect(FileDataSend, &QTimer::timeout, this, &TForm1::FileDataSendTimer);
    connect(TimerSendSession, &QTimer::timeout, this, &TForm1::TimerSendSessionTimer);
    connect(TimerReceiveAll, &QTimer::timeout, this, &TForm1::TimerReceiveAllTimer);
    connect(TimerReceiveWait, &QTimer::timeout, this, &TForm1::TimerReceiveWaitTimer);
    connect(TimerShortFrame, &QTimer::timeout, this, &TForm1::TimerShortFrameTimer);
}

// Choosing the file-transfer page forgets any half-received frame and the
// sender's retries.
void TForm1::Reset_File_Protocol()
{
    Clear_Frame_Buffer();
    FileTransfer.Sender.Reset_Retries();
}

// One protocol owns the port at a time. Another page hands received bytes
// elsewhere and may start its own traffic (a firmware download among it), so
// a transfer does not outlive its page: both sides stop, the other end is
// told with a refusal and the user with a message. The caller has purged
// the port already, so the refusal is not purged with it.
void TForm1::Leave_File_Page()
{
    const bool running = FileTransfer.Sender.State() != SendSession::Phase::Idle ||
                         FileTransfer.Receiver.State() != ReceiveSession::Phase::Idle;
    if (FileTransfer.Sender.State() != SendSession::Phase::Idle)
        Cancel_Sending();
    Refuse_File();
    Clear_Frame_Buffer();
    if (running)
        File_Message(QStringLiteral("Передача файла прервана: открыта другая страница"));
}

namespace {

// An interval is a whole number of milliseconds above 0: a timer at 0 would
// fire without pause. Anything else is reported and the interval stays.
std::optional<int> Interval_Value(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) {
        vexa::Show_Error(QStringLiteral("\"%1\" не является целым числом").arg(text));
        return std::nullopt;
    }
    if (value <= 0) {
        vexa::Show_Error(QStringLiteral("Интервал должен быть больше 0 мс"));
        return std::nullopt;
    }
    return value;
}

void Apply_Interval(QComboBox *box, int &interval)
{
    if (const auto value = Interval_Value(box->currentText()))
        interval = *value;
    else
        box->setEditText(QString::number(interval));
}

}  // namespace

void TForm1::ComboBox7Change()
{
    Apply_Interval(ComboBox7, Packet_Interval);
    Clear_Focus();
}

void TForm1::ComboBox8Change()
{
    Apply_Interval(ComboBox8, Frame_Receive_Interval);
    Clear_Focus();
}

void TForm1::File_Message(const QString &text)
{
    if (FileTransfer.Open_Messages.contains(text))
        return;
    FileTransfer.Open_Messages.insert(text);
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            vexa::Show_Message(text);
            FileTransfer.Open_Messages.remove(text);
        },
        Qt::QueuedConnection);
}

void TForm1::File_Error(const QString &text)
{
    QMetaObject::invokeMethod(this, [text] { vexa::Show_Error(text); }, Qt::QueuedConnection);
}

// The port is going: both sides stop where they are, with their files
// closed and a half-received file removed.
void TForm1::End_File_Transfer()
{
    if (!Form5 || !Form6)
        return;  // the windows are still being made
    const bool running = FileTransfer.Sender.State() != SendSession::Phase::Idle ||
                         FileTransfer.Receiver.State() == ReceiveSession::Phase::Receiving;
    Stop_Sending();
    Form6->hide();
    Stop_Receiving();
    Clear_Frame_Buffer();
    if (running)
        File_Message(QStringLiteral("Передача файла прервана: порт закрыт"));
}
