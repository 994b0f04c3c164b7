#include "serial/SerialLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>

#include "platform/Cp1251.h"
#include "serial/PortErrors.h"
#include "serial/PortHolderText.h"
#include "serial/PortLists.h"
#include "serial/PortRetake.h"
#include "serial/PortWriter.h"
#include "serial/TReadTheart.h"

using namespace vexa;

SerialLink::SerialLink(Controls controls, Console &console, Host host, QObject *parent)
    : Link(parent), c_(controls), console_(console), host_(std::move(host))
{
    Writer = std::make_unique<PortWriter>(
        PortWriter::Hooks{[this] { return Current_Port(); }, [this] { host_.Show_Sent_Bytes(); }}, console_, this);
    Line = std::make_unique<LineControl>(
        c_.line, Port_Settings, console_,
        LineControl::Host{[this] { return PortHandle; }, host_.Set_Status_Panel, host_.Clear_Focus,
                          [this](const QByteArray &command) { Send_AT_Command(command); }});
    Retake = new PortRetake(this, [this](const QString &name) { return Retake_Port(name); });
    connect(c_.CheckBox7, &QCheckBox::toggled, Retake, &PortRetake::Set_Enabled);
}

SerialLink::~SerialLink() { Shut_Down(); }

void SerialLink::Shut_Down()
{
    Stop_Reader();
    Close_Port();
    Set_Port_Handle(nullptr);
    Join_Readers();
}

bool SerialLink::Write(const std::uint8_t *bytes, std::uint32_t count) { return Writer->Write(bytes, count); }

std::uint32_t SerialLink::Baud_Rate() const { return Port_Open() ? Port_Settings.BaudRate : 0; }

bool SerialLink::Port_Open() const { return PortHandle != nullptr; }

// Each port comes with what tells it from its neighbours (maker, model,
// serial number) in its tip.
void SerialLink::Find_Free_Ports()
{
    QComboBox *picker = c_.ComboBox1;
    QList<QPair<QString, QString>> found;
    for (const KnownPort &port : Known_Ports())
        found.append({QString::fromStdString(port.name), Port_Tip(port)});
    QList<QPair<QString, QString>> listed;
    for (int i = 0; i < picker->count(); ++i)
        listed.append({picker->itemText(i), picker->itemData(i, Qt::ToolTipRole).toString()});
    if (found == listed)
        return;
    const QSignalBlocker blocker(picker);
    const QString shown = picker->currentText();
    picker->clear();
    for (const auto &[name, tip] : found) {
        picker->addItem(name);
        picker->setItemData(picker->count() - 1, tip, Qt::ToolTipRole);
    }
    picker->setCurrentIndex(picker->findText(shown));
    picker->setEditText(shown);
}

std::shared_ptr<SerialPort> SerialLink::Open_Port_Named(const std::string &name)
{
    auto port = Create_Serial_Port(name);
    if (port->open(name))
        return port;
    Open_Failure_Holder = port->holder();
    return nullptr;
}

bool SerialLink::Open_Selected_Port()
{
    const std::string name = c_.ComboBox1->currentText().toStdString();
    auto port = Open_Port_Named(name);
    if (!port) {
        Set_Port_Handle(nullptr);
        return false;
    }
    Take_Opened_Port(port, name);
    return true;
}

void SerialLink::Take_Opened_Port(std::shared_ptr<SerialPort> port, const std::string &name)
{
    Set_Port_Handle(std::move(port));
    Open_Port_Name = QString::fromStdString(name);
    Retake->Opened(Open_Port_Name);

    const LineControl::Controls &l = c_.line;
    for (QComboBox *box : {l.ComboBox2, l.ComboBox3, l.ComboBox4, l.ComboBox5}) {
        const QSignalBlocker blocker(box);
        box->clear();
        box->setEditText(QString());
    }
    const std::pair<QComboBox *, const QStringList &> lists[] = {{l.ComboBox2, Speed_Items()},
                                                                 {l.ComboBox3, Data_Bits_Items()},
                                                                 {l.ComboBox4, Parity_Items()},
                                                                 {l.ComboBox5, Stop_Bits_Items()}};
    for (const auto &[box, items] : lists) {
        const QSignalBlocker blocker(box);
        const QString text = box->currentText();
        box->addItems(items);
        box->setEditText(text);
    }
    emit Changed();
}

bool SerialLink::Show_Port_Settings()
{
    if (!PortHandle || !PortHandle->getState(Port_Settings))
        return false;
    const PortSettings s = Port_Settings;
    const LineControl::Controls &l = c_.line;
    if (const QString speed = Speed_Text(s.BaudRate); !speed.isEmpty()) {
        l.ComboBox2->setEditText(speed);
        if (s.BaudRate == 9600 || s.BaudRate == 115200)
            Line->Show_Speed_Switch(s.BaudRate == 115200);
    }
    if (s.ByteSize >= 5 && s.ByteSize <= 8)
        l.ComboBox3->setEditText(QString::number(s.ByteSize));
    if (const QString parity = Parity_Text(s.Parity); !parity.isEmpty())
        l.ComboBox4->setEditText(parity);
    if (const QString stop = Stop_Bits_Text(s.StopBits); !stop.isEmpty())
        l.ComboBox5->setEditText(stop);
    // Ticking from here runs the boxes' click handling when the state changes.
    l.CheckBox1->setChecked(s.fOutxCtsFlow && s.fRtsControl == kRtsControlHandshake);
    l.CheckBox2->setChecked(s.fDtrControl == kDtrControlEnable);
    return true;
}

void SerialLink::Prepare_Opened_Port(OpenOrigin origin)
{
    const bool fromPicker = origin == OpenOrigin::Picker;
    const QString name = c_.ComboBox1->currentText();
    host_.Show_Port_Name(name, fromPicker);
    host_.Set_Status_Panel(0, QStringLiteral("Порт: ") + name);
    if (!Show_Port_Settings())
        console_.Notice(Port_Error_Text(PortError::Open_Settings));
    c_.line.Timer1->start();
    if (!PortHandle->setupQueues(kRxBufferSize, kRxBufferSize))
        console_.Notice(Port_Error_Text(PortError::Driver_Buffers));
    if (!PortHandle->setEventMask(kEvRxChar))
        console_.Notice(Port_Error_Text(PortError::Events));
    if (!PortHandle->purge(kPurgeAll))
        console_.Notice(QStringLiteral("Сброшен COM порт"));
    PortHandle->getTimeouts(Port_Timeouts);
    Port_Timeouts.ReadIntervalTimeout = 0xFFFFFFFF;
    Port_Timeouts.ReadTotalTimeoutMultiplier = 0;
    Port_Timeouts.ReadTotalTimeoutConstant = 0;
    Port_Timeouts.WriteTotalTimeoutMultiplier = 0;
    Port_Timeouts.WriteTotalTimeoutConstant = 0;
    if (!PortHandle->setTimeouts(Port_Timeouts))
        console_.Notice(QStringLiteral("Тайм-ауты не занесены"));
    Start_Reader();

    Line->Show_Port_Status();
    Set_Line_Controls_Enabled(true);
    c_.SpeedButton26->setText(QStringLiteral("Освободить порт"));
    if (fromPicker) {
        PortHeld = true;
        c_.SpeedButton26->setEnabled(true);
    }
    host_.Clear_Focus();
    PortHeld = true;
}

// The reader's chunks leave through Received; a failure of its port is the
// port lost, or a box when it is some other port's.
void SerialLink::Start_Reader()
{
    TReadTheart::Sink sink{this, [this](const QByteArray &chunk) { emit Received(chunk); },
                           [this, port = PortHandle](const QString &why) {
                               if (!Port_Lost(port, why))
                                   console_.Notice(why);
                           }};
    reader_ = new TReadTheart(std::move(sink), PortHandle, kRxBufferSize);
    connect(reader_, &QThread::finished, this, &SerialLink::Reap_Readers, Qt::QueuedConnection);
    reader_->start(QThread::HighestPriority);
    ReaderRunning = true;
}

void SerialLink::Stop_Reader()
{
    if (!ReaderRunning)
        return;
    reader_->Request_Stop();
    stoppingReaders_.push_back(reader_);
    reader_ = nullptr;
    ReaderRunning = false;
    Reap_Readers();  // one that had ended by itself goes now
}

void SerialLink::Reap_Readers()
{
    auto finished = [](TReadTheart *r) {
        if (!r->isFinished())
            return false;
        r->wait();
        delete r;
        return true;
    };
    stoppingReaders_.erase(std::remove_if(stoppingReaders_.begin(), stoppingReaders_.end(), finished),
                           stoppingReaders_.end());
}

// A stopped reader never waits on the main thread, and its port is closed, so
// it ends within moments; one that does not is left behind rather than hang
// the exit.
void SerialLink::Join_Readers()
{
    for (TReadTheart *r : stoppingReaders_) {
        if (r->wait(QDeadlineTimer(2000)))
            delete r;
    }
    stoppingReaders_.clear();
}

void SerialLink::Set_Line_Controls_Enabled(bool on)
{
    const LineControl::Controls &l = c_.line;
    for (QWidget *w : std::initializer_list<QWidget *>{l.ComboBox2, l.ComboBox3, l.ComboBox4, l.ComboBox5, l.CheckBox1,
                                                       l.CheckBox2, l.CheckBox4, l.SpeedButton25})
        w->setEnabled(on);
}

// A chosen name that does not open leaves the working port as it was: the
// new port opens before the old one closes. Only the same device again,
// which cannot be open twice, is closed first.
void SerialLink::ComboBox1Change()
{
    const std::string name = c_.ComboBox1->currentText().toStdString();
    std::shared_ptr<SerialPort> port;
    if (PortHandle && !Same_Device(name, Open_Port_Name.toStdString()) && !(port = Open_Port_Named(name))) {
        Show_Working_Port_Name();
        Show_Open_Failure();
        host_.Clear_Focus();
        return;
    }
    if (PortHandle) {
        Stop_Reader();
        c_.line.Timer1->stop();
        PortHeld = false;
        Close_Port();
    }
    if (port)
        Take_Opened_Port(port, name);
    if (port || Open_Selected_Port())
        Prepare_Opened_Port(OpenOrigin::Picker);
    else
        Show_Open_Failure();
    host_.Clear_Focus();
}

void SerialLink::Show_Working_Port_Name()
{
    if (PortHandle)
        c_.ComboBox1->setEditText(Open_Port_Name);
}

void SerialLink::SpeedButton26Click()
{
    if (PortHeld) {
        if (PortHandle)
            Release_Port();
        Retake->Forget();
        return;
    }
    if (Open_Selected_Port())
        Prepare_Opened_Port(OpenOrigin::Button);
    else
        Show_Open_Failure();
    host_.Clear_Focus();
}

void SerialLink::Send_AT_Command(const QByteArray &command)
{
    if (!Write(command + '\r'))
        console_.Notice(Port_Error_Text(PortError::Write));
}

void SerialLink::Purge_On_Page_Switch()
{
    if (!PortHandle || !PortHandle->purge(kPurgeAll))
        console_.Notice(QStringLiteral("Сброшен COM порт"));
}

void SerialLink::Release_Port()
{
    Stop_Reader();
    c_.line.Timer1->stop();
    Close_Port();
    Set_Port_Handle(nullptr);
    PortHeld = false;
    c_.SpeedButton26->setText(QStringLiteral("Занять порт"));
    c_.SpeedButton26->setEnabled(true);
    Line->All_Lamps_Dark();
}

void SerialLink::Show_Open_Failure()
{
    console_.Notice_With_Detail(Port_Error_Text(PortError::Open), Port_Holder_Text(Open_Failure_Holder));
}

bool SerialLink::Port_Lost(const std::shared_ptr<SerialPort> &port, const QString &why)
{
    if (!port || port != PortHandle)
        return false;
    Release_Port();
    if (!Retake->Lost())
        return false;
    Port_Notice(QStringLiteral("ПОРТ ПОТЕРЯН (%1), ЖДУ ЕГО ВОЗВРАЩЕНИЯ: %2").arg(why.trimmed(), Open_Port_Name));
    return true;
}

// The returned device is taken as "Занять порт" takes a port.
bool SerialLink::Retake_Port(const QString &name)
{
    c_.ComboBox1->setEditText(name);
    if (!Open_Selected_Port())
        return false;
    Prepare_Opened_Port(OpenOrigin::Button);
    Port_Notice(QStringLiteral("ПОРТ ЗАНЯТ СНОВА: ") + name);
    return true;
}

void SerialLink::Port_Notice(const QString &text)
{
    const QByteArray line = Cp1251_Encode(text) + '\r';
    console_.Print(host_.Cursor_Mid_Line() ? '\r' + line : line, kGreen);
}

void SerialLink::Set_Port_Handle(std::shared_ptr<SerialPort> port)
{
    std::lock_guard<std::mutex> lock(portMutex_);
    PortHandle = std::move(port);
}

std::shared_ptr<SerialPort> SerialLink::Current_Port() const
{
    std::lock_guard<std::mutex> lock(portMutex_);
    return PortHandle;
}

// Whatever talks to the port stops before it closes (the flood's write in
// progress at its stop); closing ends every other pending write at once.
void SerialLink::Close_Port()
{
    emit Closing();
    if (PortHandle)
        PortHandle->close();
}
