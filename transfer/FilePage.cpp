// The file-transfer page: its controls and timers, the two interval boxes,
// entering and leaving the page, and the port going away.

#include <QComboBox>
#include <QSignalBlocker>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/Clock.h"
#include "platform/Controls.h"
#include "serial/Link.h"
#include "serial/PortLists.h"
#include "transfer/FileTransfer.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"

namespace {

constexpr int kDataPollMs = 10;

}  // namespace

FileTransfer::FileTransfer(QWidget *page, vexa::Clock &clock, Link &link, Console &console, FileTransferHost host)
    : link_(link), console_(console), host_(std::move(host)), page_(page)
{
    Transfer_Buffer.assign(kMaxFrameLength, 0);
    Build_Page(page);
    FileNameSend = clock.Make_Timer("FileNameSend", Packet_Interval, true, [this] { FileNameSendTimer(); });
    FileDataSend = clock.Make_Timer("FileDataSend", kDataPollMs, false, [this] { FileDataSendTimer(); });
    TimerSendSession = clock.Make_Timer("TimerSendSession", Packet_Interval, true, [this] { TimerSendSessionTimer(); });
    TimerReceiveAll =
        clock.Make_Timer("TimerReceiveAll", Frame_Receive_Interval, true, [this] { TimerReceiveAllTimer(); });
    TimerReceiveWait = clock.Make_Timer("TimerReceiveWait", Packet_Interval, true, [this] { TimerReceiveWaitTimer(); });
    TimerShortFrame =
        clock.Make_Timer("TimerShortFrame", Frame_Receive_Interval, true, [this] { TimerShortFrameTimer(); });
    TimerSendRefusal = clock.Make_Timer("TimerSendRefusal", Packet_Interval, true, [this] { TimerSendRefusalTimer(); });
    connect(&link_, &Link::Closing, this, &FileTransfer::End_File_Transfer);
    connect(&link_, &Link::Changed, this, &FileTransfer::Fill_Interval_Lists);
}

FileTransfer::~FileTransfer() = default;

// A port taken offers the usual intervals in both boxes; what they show stays.
void FileTransfer::Fill_Interval_Lists()
{
    for (QComboBox *box : {ComboBox7, ComboBox8}) {
        const QSignalBlocker blocker(box);
        const QString text = box->currentText();
        box->clear();
        box->addItems(Interval_Items());
        box->setEditText(text);
    }
}

void FileTransfer::Build_Page(QWidget *page)
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

    On_User_Change(ComboBox7, this, [this] { ComboBox7Change(); });
    On_User_Change(ComboBox8, this, [this] { ComboBox8Change(); });
    connect(SpeedButton11, &QPushButton::clicked, this, &FileTransfer::SpeedButton11Click);
    connect(SpeedButton12, &QPushButton::clicked, this, &FileTransfer::SpeedButton12Click);
    connect(SpeedButton13, &QPushButton::clicked, this, &FileTransfer::SpeedButton13Click);
}

void FileTransfer::Attach_Dialogs(TForm5 *receive, TForm6 *send)
{
    Form5 = receive;
    Form6 = send;
    connect(Form5, &TForm5::Accept_Pressed, this, &FileTransfer::Accept_File);
    connect(Form5, &TForm5::Refuse_Pressed, this, &FileTransfer::Refuse_File);
    connect(Form6, &TForm6::Cancel_Pressed, this, &FileTransfer::Cancel_Sending);
}

void FileTransfer::Enter_Page()
{
    Clear_Frame_Buffer();
    State.Sender.Reset_Retries();
}

// One protocol owns the port at a time. Another page hands received bytes
// elsewhere and may start its own traffic (a firmware download among it), so
// a transfer does not outlive its page: both sides stop, the other end is
// told with a refusal and the user with a message. The window has purged
// the port already, so the refusal is not purged with it.
void FileTransfer::Leave_Page()
{
    const bool running =
        State.Sender.State() != SendSession::Phase::Idle || State.Receiver.State() != ReceiveSession::Phase::Idle;
    if (State.Sender.State() != SendSession::Phase::Idle)
        Cancel_Sending();
    TimerSendRefusal->Stop();
    Refuse_File();
    State.Receiver.Forget();
    Clear_Frame_Buffer();
    if (running)
        Notice(QStringLiteral("Передача файла прервана: открыта другая страница"));
}

namespace {

// An interval is a whole number of milliseconds above 0: a timer at 0 would
// fire without pause. Anything else is reported and the interval stays.
std::optional<int> Interval_Value(const QString &text, Console &console)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok) {
        console.Notice(QStringLiteral("\"%1\" не является целым числом").arg(text), vexa::MessageKind::Error);
        return std::nullopt;
    }
    if (value <= 0) {
        console.Notice(QStringLiteral("Интервал должен быть больше 0 мс"), vexa::MessageKind::Error);
        return std::nullopt;
    }
    return value;
}

void Apply_Interval(QComboBox *box, int &interval, Console &console)
{
    if (const auto value = Interval_Value(box->currentText(), console))
        interval = *value;
    else
        box->setEditText(QString::number(interval));
}

}  // namespace

void FileTransfer::ComboBox7Change()
{
    Apply_Interval(ComboBox7, Packet_Interval, console_);
    host_.Clear_Focus();
}

void FileTransfer::ComboBox8Change()
{
    Apply_Interval(ComboBox8, Frame_Receive_Interval, console_);
    host_.Clear_Focus();
}

// The port is going: both sides stop where they are, with their files
// closed and a half-received file removed.
void FileTransfer::End_File_Transfer()
{
    if (!Form5 || !Form6)
        return;
    const bool running =
        State.Sender.State() != SendSession::Phase::Idle || State.Receiver.State() == ReceiveSession::Phase::Receiving;
    Stop_Sending();
    TimerSendRefusal->Stop();
    Form6->hide();
    Stop_Receiving();
    Clear_Frame_Buffer();
    if (running)
        Notice(QStringLiteral("Передача файла прервана: порт закрыт"));
}
