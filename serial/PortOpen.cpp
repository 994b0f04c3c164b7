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
#include "platform/Messages.h"
#include "platform/PortNames.h"
#include "serial/PortLists.h"
#include "serial/TReadTheart.h"

using namespace vexa;

// Runs at start and each time the picker's list opens. Probing opens each
// device: the port this window holds is listed as it is, never opened again.
void TForm1::Find_Free_Ports()
{
    const std::string inUse = PortHandle ? Device_Name_For_Open(Open_Port_Name.toStdString()) : std::string();
    QStringList found;
    const auto port = Create_Serial_Port();
    for (const std::string &name : Probe_Candidates())
        if ((!inUse.empty() && Device_Name_For_Open(name) == inUse) || port->probe(name))
            found << QString::fromStdString(name);
    QStringList listed;
    for (int i = 0; i < ComboBox1->count(); ++i)
        listed << ComboBox1->itemText(i);
    if (found == listed)
        return;
    const QSignalBlocker blocker(ComboBox1);
    const QString shown = ComboBox1->currentText();
    ComboBox1->clear();
    ComboBox1->addItems(found);
    ComboBox1->setCurrentIndex(ComboBox1->findText(shown));
    ComboBox1->setEditText(shown);
}

bool TForm1::Open_Selected_Port()
{
    const std::string name = ComboBox1->currentText().toStdString();
    auto port = Create_Serial_Port(name);
    if (!port->open(name)) {
        Set_Port_Handle(nullptr);
        return false;
    }
    Set_Port_Handle(port);
    Open_Port_Name = QString::fromStdString(name);

    for (QComboBox *box : {ComboBox2, ComboBox3, ComboBox4, ComboBox5}) {
        const QSignalBlocker blocker(box);
        box->clear();
        box->setEditText(QString());
    }
    for (QComboBox *box : {ComboBox7, ComboBox8}) {
        const QSignalBlocker blocker(box);
        const QString text = box->currentText();
        box->clear();
        box->setEditText(text);
    }
    const std::pair<QComboBox *, const QStringList &> lists[] = {
        {ComboBox2, Speed_Items()}, {ComboBox3, Data_Bits_Items()}, {ComboBox4, Parity_Items()},
        {ComboBox5, Stop_Bits_Items()}, {ComboBox7, Interval_Items()}, {ComboBox8, Interval_Items()}};
    for (const auto &[box, items] : lists) {
        const QSignalBlocker blocker(box);
        const QString text = box->currentText();
        box->addItems(items);
        box->setEditText(text);
    }
    return true;
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
        Show_Message(QStringLiteral("Ошибка открытия текущих настроек"));
    Timer1->start();
    if (!PortHandle->setupQueues(kRxBufferSize, kRxBufferSize))
        Show_Message(QStringLiteral("Ошибка размера , буферов драйвера драйвера"));
    if (!PortHandle->setEventMask(kEvRxChar))
        Show_Message(QStringLiteral("Ошибка событий"));
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

    reader = new TReadTheart(this, PortHandle);
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
    for (QWidget *w : std::initializer_list<QWidget *>{ComboBox2, ComboBox3, ComboBox4, ComboBox5, CheckBox1,
                                                        CheckBox2, CheckBox4, SpeedButton25})
        w->setEnabled(true);
}

void TForm1::Controls_Disabled()
{
    for (QWidget *w : std::initializer_list<QWidget *>{ComboBox2, ComboBox3, ComboBox4, ComboBox5, CheckBox1,
                                                        CheckBox2, CheckBox4, SpeedButton25})
        w->setEnabled(false);
}

void TForm1::All_Modem_Signal_Indication_Dark()
{
    for (QLineEdit *lamp : {Edit1, Edit2, Edit3, Edit4})
        Set_Lamp(lamp, kBlack);
}

void TForm1::ComboBox1Change()
{
    if (PortHandle) {
        Stop_Reader();
        Timer1->stop();
        PortHeld = false;
        Close_Port();
    }
    if (Open_Selected_Port())
        Prepare_Opened_Port(OpenOrigin::Picker);
    else
        Show_Message(QStringLiteral("Ошибка открытия порта "));
    Clear_Focus();
}

void TForm1::SpeedButton26Click()
{
    if (PortHeld) {
        if (PortHandle)
            Release_Port();
        return;
    }
    if (Open_Selected_Port())
        Prepare_Opened_Port(OpenOrigin::Button);
    else
        Show_Message(QStringLiteral("Ошибка открытия порта "));
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

void TForm1::Port_Lost(const std::shared_ptr<SerialPort> &port)
{
    if (port && port == PortHandle)
        Release_Port();
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

// Closing ends every pending write at once, so the flood thread is joined
// after it, never before: a write held off by the line would keep the
// window waiting for its whole bound.
void TForm1::Close_Port()
{
    Ask_Test_Traffic_To_End();
    emit Port_Link->Closing();
    Abandon_Download();
    if (PortHandle)
        PortHandle->close();
    End_Test_Traffic();
}
