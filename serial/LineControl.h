#pragma once
// The port group's line: the speed, data bits, parity and stop bits boxes,
// flow control, DTR and BREAK, the modem-signal lamps with the status bar's
// line texts and clock, and the switch of modem and port together between
// 115200 and 9600 bit/s. The window builds the controls and the two timers
// and hands them over with the port's settings record (serial/SerialLink.h).

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "platform/Console.h"
#include "platform/SerialPort.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;

class LineControl : public QObject {
public:
    struct Controls {
        QComboBox *ComboBox2, *ComboBox3, *ComboBox4, *ComboBox5;  // speed, bits, parity, stop
        QCheckBox *CheckBox1, *CheckBox2, *CheckBox4;              // CTS/RTS, DTR, BREAK
        QLineEdit *Edit1, *Edit2, *Edit3, *Edit4;                  // CTS, DSR, RING, DCD lamps
        QPushButton *SpeedButton25;                                // the speed switch
        QTimer *Timer1, *Timer_ChangeSpped115200_9600;
    };
    struct Host {
        std::function<std::shared_ptr<vexa::SerialPort>()> Port;  // the port in use, or none
        std::function<void(int panel, const QString &text)> Set_Status_Panel;
        std::function<void()> Clear_Focus;
        std::function<void(const QByteArray &command)> Send_AT_Command;
    };

    // Shows the switch at 115200 and every lamp dark. Its boxes go through
    // the console's notices.
    LineControl(Controls controls, vexa::PortSettings &settings, Console &console, Host host,
                QObject *parent = nullptr);

    void ComboBox2Change();
    void ComboBox3Change();
    void ComboBox4Change();
    void ComboBox5Change();
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox4Click();
    void Show_Port_Status();
    void Timer1Timer();
    void SpeedButtonChangeSpped115200_9600();
    void Timer_ChangeSpped115200_9600Timer();
    void ChangeOurSpeed(const QString &speed);
    void Show_Speed_Switch(bool at115200);
    void All_Lamps_Dark();

    // What the lamps last read; the flood thread reads CTS.
    std::atomic<bool> CTS_On{false};
    std::atomic<bool> DCD_On{false};
    bool Speed_Is_115200 = true;

private:
    // Reads the settings from the port, changes one group of fields, writes
    // them back, shows the result. change() returns false to abandon the write.
    bool Settings_Change(const std::function<bool(vexa::PortSettings &)> &change, bool showStatus);

    Controls c_;
    vexa::PortSettings &settings_;
    Console &console_;
    Host host_;
};
