#pragma once
// The port and everything that is its own: finding the ports, opening one
// before letting the old one go, preparing it, its reader, its writer, its
// line (settings, lamps, the speed switch) and taking a lost port again.
// It is the Link every subsystem talks through: each chunk its reader hands
// over comes out of Received on the main thread, in order, and Closing is
// said before the port closes, whoever closes it. The window builds the port
// group's controls and hands them over; its title, status bar and keyboard
// are reached through the host; boxes go through the console's notices.

#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Console.h"
#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#include "serial/LineControl.h"
#include "serial/Link.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class PortRetake;
class PortWriter;
class TReadTheart;

// Also the driver's queue size asked for.
constexpr std::uint32_t kRxBufferSize = 65536;

class SerialLink : public Link {
    Q_OBJECT
public:
    struct Controls {
        QComboBox *ComboBox1;        // the picker
        QPushButton *SpeedButton26;  // "Занять порт" / "Освободить порт"
        QCheckBox *CheckBox7;        // take a lost port again when it returns
        LineControl::Controls line;
    };
    struct Host {
        // A port was prepared: the window's title says its name (picked or
        // taken with the button).
        std::function<void(const QString &name, bool fromPicker)> Show_Port_Name;
        std::function<void(int panel, const QString &text)> Set_Status_Panel;
        std::function<void()> Clear_Focus;
        // The screen's cursor is not at the start of a line.
        std::function<bool()> Cursor_Mid_Line;
        // The test page's sent-bytes field from the writer's counter.
        std::function<void()> Show_Sent_Bytes;
    };

    SerialLink(Controls controls, Console &console, Host host, QObject *parent = nullptr);
    ~SerialLink() override;
    // The window closes: the port is let go and its readers are given a
    // moment to end.
    void Shut_Down();

    bool Write(const std::uint8_t *bytes, std::uint32_t count) override;
    using Link::Write;
    std::uint32_t Baud_Rate() const override;
    bool Port_Open() const override;

    // The port group's handlers.
    // Runs at start and each time the picker's list opens.
    void Find_Free_Ports();
    void ComboBox1Change();
    void SpeedButton26Click();
    // A half-typed name gives way to the working port's.
    void Show_Working_Port_Name();
    // The command and a carriage return; a failed write is told in a box.
    void Send_AT_Command(const QByteArray &command);
    // Another page was chosen: what waits in the driver's queues goes.
    void Purge_On_Page_Switch();
    // The reader of this port ended because the port failed (a device that
    // vanished): the port is released as "Освободить порт" would, so that
    // "Занять порт" can take it again once the device is back. True when the
    // device is awaited (CheckBox7) and the loss was told on the screen
    // rather than in a box.
    bool Port_Lost(const std::shared_ptr<vexa::SerialPort> &port, const QString &why);
    // The port in use, or none; from any thread.
    std::shared_ptr<vexa::SerialPort> Current_Port() const;

    std::shared_ptr<vexa::SerialPort> PortHandle;  // none when empty; set under the lock
    QString Open_Port_Name;                        // the name PortHandle was opened under
    bool PortHeld = false;
    bool ReaderRunning = false;
    vexa::PortSettings Port_Settings;  // the one shared settings record
    vexa::PortTimeouts Port_Timeouts;
    vexa::PortHolder Open_Failure_Holder;  // of the last open that failed
    std::unique_ptr<PortWriter> Writer;    // every byte sent goes through it
    std::unique_ptr<LineControl> Line;
    PortRetake *Retake = nullptr;

private:
    enum class OpenOrigin { Picker, Button };

    std::shared_ptr<vexa::SerialPort> Open_Port_Named(const std::string &name);
    bool Open_Selected_Port();
    void Take_Opened_Port(std::shared_ptr<vexa::SerialPort> port, const std::string &name);
    bool Show_Port_Settings();
    void Prepare_Opened_Port(OpenOrigin origin);
    void Start_Reader();
    void Stop_Reader();
    void Reap_Readers();
    void Join_Readers();
    void Release_Port();
    void Close_Port();
    void Set_Port_Handle(std::shared_ptr<vexa::SerialPort> port);
    void Show_Open_Failure();
    bool Retake_Port(const QString &name);
    // A line of its own on the screen.
    void Port_Notice(const QString &text);
    void Set_Line_Controls_Enabled(bool on);

    Controls c_;
    Console &console_;
    Host host_;
    TReadTheart *reader_ = nullptr;
    std::vector<TReadTheart *> stoppingReaders_;
    mutable std::mutex portMutex_;  // guards PortHandle against the flood thread
};
