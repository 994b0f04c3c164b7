// Finding, opening, preparing and releasing the port.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "mainwindow/CaptionText.h"
#include "mainwindow/WindowSeams.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/Messages.h"
#include "platform/PortNames.h"
#include "serial/PortHolderText.h"
#include "serial/LineControl.h"
#include "serial/PortLists.h"
#include "serial/PortRetake.h"
#include "serial/TReadTheart.h"
#include "serial/PortErrors.h"

using namespace vexa;

// Runs at start and each time the picker's list opens. Each port comes with
// what tells it from its neighbours (maker, model, serial number) in its tip.
void TForm1::Find_Free_Ports()
{
    QList<QPair<QString, QString>> found;
    for (const KnownPort &port : Known_Ports())
        found.append({QString::fromStdString(port.name), Port_Tip(port)});
    QList<QPair<QString, QString>> listed;
    for (int i = 0; i < ComboBox1->count(); ++i)
        listed.append({ComboBox1->itemText(i), ComboBox1->itemData(i, Qt::ToolTipRole).toString()});
    if (found == listed)
        return;
    const QSignalBlocker blocker(ComboBox1);
    const QString shown = ComboBox1->currentText();
    ComboBox1->clear();
    for (const auto &[name, tip] : found) {
        ComboBox1->addItem(name);
        ComboBox1->setItemData(ComboBox1->count() - 1, tip, Qt::ToolTipRole);
    }
    ComboBox1->setCurrentIndex(ComboBox1->findText(shown));
    ComboBox1->setEditText(shown);
}

std::shared_ptr<SerialPort> TForm1::Open_Port_Named(const std::string &name)
{
    auto port = Create_Serial_Port(name);
    if (port->open(name))
        return port;
    Open_Failure_Holder = port->holder();
    return nullptr;
}

bool TForm1::Open_Selected_Port()
{
    const std::string name = ComboBox1->currentText().toStdString();
    auto port = Open_Port_Named(name);
    if (!port) {
        Set_Port_Handle(nullptr);
        return false;
    }
    Take_Opened_Port(port, name);
    return true;
}

void TForm1::Take_Opened_Port(std::shared_ptr<SerialPort> port, const std::string &name)
{
    Set_Port_Handle(std::move(port));
    Open_Port_Name = QString::fromStdString(name);
    Retake->Opened(Open_Port_Name);

    for (QComboBox *box : {ComboBox2, ComboBox3, ComboBox4, ComboBox5}) {
        const QSignalBlocker blocker(box);
        box->clear();
        box->setEditText(QString());
    }
    const std::pair<QComboBox *, const QStringList &> lists[] = {{ComboBox2, Speed_Items()},
                                                                 {ComboBox3, Data_Bits_Items()},
                                                                 {ComboBox4, Parity_Items()},
                                                                 {ComboBox5, Stop_Bits_Items()}};
    for (const auto &[box, items] : lists) {
        const QSignalBlocker blocker(box);
        const QString text = box->currentText();
        box->addItems(items);
        box->setEditText(text);
    }
    emit Port_Link->Changed();
}

bool TForm1::Show_Port_Settings()
{
    if (!PortHandle || !PortHandle->getState(Port_Settings))
        return false;
    const PortSettings s = Port_Settings;
    if (const QString speed = Speed_Text(s.BaudRate); !speed.isEmpty()) {
        ComboBox2->setEditText(speed);
        if (s.BaudRate == 9600 || s.BaudRate == 115200)
            Show_Speed_Switch(s.BaudRate == 115200);
    }
    if (s.ByteSize >= 5 && s.ByteSize <= 8)
        ComboBox3->setEditText(QString::number(s.ByteSize));
    if (const QString parity = Parity_Text(s.Parity); !parity.isEmpty())
        ComboBox4->setEditText(parity);
    if (const QString stop = Stop_Bits_Text(s.StopBits); !stop.isEmpty())
        ComboBox5->setEditText(stop);
    // Ticking from here runs the boxes' click handling when the state changes.
    CheckBox1->setChecked(s.fOutxCtsFlow && s.fRtsControl == kRtsControlHandshake);
    CheckBox2->setChecked(s.fDtrControl == kDtrControlEnable);
    return true;
}

void TForm1::Prepare_Opened_Port(OpenOrigin origin)
{
    const bool fromPicker = origin == OpenOrigin::Picker;
    setWindowTitle(Port_Caption(ComboBox1->currentText(), fromPicker));
    Set_Status_Panel(0, QStringLiteral("Порт: ") + ComboBox1->currentText());
    if (!Show_Port_Settings())
        Show_Message(Port_Error_Text(PortError::Open_Settings));
    Timer1->start();
    if (!PortHandle->setupQueues(kRxBufferSize, kRxBufferSize))
        Show_Message(Port_Error_Text(PortError::Driver_Buffers));
    if (!PortHandle->setEventMask(kEvRxChar))
        Show_Message(Port_Error_Text(PortError::Events));
    if (!PortHandle->purge(kPurgeAll))
        Show_Message(QStringLiteral("Сброшен COM порт"));
    PortHandle->getTimeouts(Port_Timeouts);
    Port_Timeouts.ReadIntervalTimeout = 0xFFFFFFFF;
    Port_Timeouts.ReadTotalTimeoutMultiplier = 0;
    Port_Timeouts.ReadTotalTimeoutConstant = 0;
    Port_Timeouts.WriteTotalTimeoutMultiplier = 0;
    Port_Timeouts.WriteTotalTimeoutConstant = 0;
    if (!PortHandle->setTimeouts(Port_Timeouts))
        Show_Message(QStringLiteral("Тайм-ауты не занесены"));

    TReadTheart::Sink sink{this, [this](const QByteArray &chunk) { Take_Received(chunk); },
                           [this, port = PortHandle](const QString &why) {
                               if (!Port_Lost(port, why))
                                   Show_Message(why);
                           }};
    reader = new TReadTheart(std::move(sink), PortHandle, kRxBufferSize);
    connect(reader, &QThread::finished, this, &TForm1::Reap_Readers, Qt::QueuedConnection);
    reader->start(QThread::HighestPriority);
    ReaderRunning = true;

    Show_Port_Status();
    Controls_Enabled();
    SpeedButton26->setText(QStringLiteral("Освободить порт"));
    if (fromPicker) {
        PortHeld = true;
        SpeedButton26->setEnabled(true);
    }
    Clear_Focus();
    if (!fromPicker)
        PortHeld = true;
}

void TForm1::Stop_Reader()
{
    if (!ReaderRunning)
        return;
    reader->Request_Stop();
    stoppingReaders_.push_back(reader);
    reader = nullptr;
    ReaderRunning = false;
    Reap_Readers();  // one that had ended by itself goes now
}

void TForm1::Reap_Readers()
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
void TForm1::Join_Readers()
{
    for (TReadTheart *r : stoppingReaders_) {
        if (r->wait(QDeadlineTimer(2000)))
            delete r;
    }
    stoppingReaders_.clear();
}

void TForm1::Controls_Enabled()
{
    for (QWidget *w : std::initializer_list<QWidget *>{ComboBox2, ComboBox3, ComboBox4, ComboBox5, CheckBox1, CheckBox2,
                                                       CheckBox4, SpeedButton25})
        w->setEnabled(true);
}

void TForm1::Controls_Disabled()
{
    for (QWidget *w : std::initializer_list<QWidget *>{ComboBox2, ComboBox3, ComboBox4, ComboBox5, CheckBox1, CheckBox2,
                                                       CheckBox4, SpeedButton25})
        w->setEnabled(false);
}

void TForm1::All_Modem_Signal_Indication_Dark() { Line->All_Lamps_Dark(); }

// A chosen name that does not open leaves the working port as it was: the
// new port opens before the old one closes. Only the same device again,
// which cannot be open twice, is closed first.
void TForm1::ComboBox1Change()
{
    const std::string name = ComboBox1->currentText().toStdString();
    std::shared_ptr<SerialPort> port;
    if (PortHandle && !Same_Device(name, Open_Port_Name.toStdString()) && !(port = Open_Port_Named(name))) {
        Show_Working_Port_Name();
        Show_Open_Failure();
        Clear_Focus();
        return;
    }
    if (PortHandle) {
        Stop_Reader();
        Timer1->stop();
        PortHeld = false;
        Close_Port();
    }
    if (port)
        Take_Opened_Port(port, name);
    if (port || Open_Selected_Port())
        Prepare_Opened_Port(OpenOrigin::Picker);
    else
        Show_Open_Failure();
    Clear_Focus();
}

void TForm1::Show_Working_Port_Name()
{
    if (PortHandle)
        ComboBox1->setEditText(Open_Port_Name);
}

void TForm1::SpeedButton26Click()
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
    Clear_Focus();
}

void TForm1::Release_Port()
{
    Stop_Reader();
    Timer1->stop();
    Close_Port();
    Set_Port_Handle(nullptr);
    PortHeld = false;
    SpeedButton26->setText(QStringLiteral("Занять порт"));
    SpeedButton26->setEnabled(true);
    All_Modem_Signal_Indication_Dark();
}

void TForm1::Show_Open_Failure()
{
    Show_Message(Port_Error_Text(PortError::Open), Port_Holder_Text(Open_Failure_Holder));
}

bool TForm1::Port_Lost(const std::shared_ptr<SerialPort> &port, const QString &why)
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
bool TForm1::Retake_Port(const QString &name)
{
    ComboBox1->setEditText(name);
    if (!Open_Selected_Port())
        return false;
    Prepare_Opened_Port(OpenOrigin::Button);
    Port_Notice(QStringLiteral("ПОРТ ЗАНЯТ СНОВА: ") + name);
    return true;
}

// A line of its own on the screen.
void TForm1::Port_Notice(const QString &text)
{
    const QByteArray line = Cp1251_Encode(text) + '\r';
    Print_To_Screen(Cursor_X ? '\r' + line : line, kGreen);
}

void TForm1::Set_Port_Handle(std::shared_ptr<SerialPort> port)
{
    std::lock_guard<std::mutex> lock(portMutex_);
    PortHandle = std::move(port);
}

std::shared_ptr<SerialPort> TForm1::Current_Port() const
{
    std::lock_guard<std::mutex> lock(portMutex_);
    return PortHandle;
}

// Whatever talks to the port stops before it closes (the flood's write in
// progress at its stop); closing ends every other pending write at once.
void TForm1::Close_Port()
{
    emit Port_Link->Closing();
    if (PortHandle)
        PortHandle->close();
}
