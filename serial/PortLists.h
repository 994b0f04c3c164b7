#pragma once
// The line-setting lists of the port group and how settings read as text.

#include <QString>
#include <QStringList>
#include <cstdint>

#include "platform/PortNames.h"
#include "platform/SerialPort.h"

const QStringList &Speed_Items();      // the fifteen speeds, bit/s
const QStringList &Data_Bits_Items();  // "5".."8"
const QStringList &Parity_Items();     // "Even", "Mark", "None", "Odd"
const QStringList &Stop_Bits_Items();  // "1", "1,5", "2"
const QStringList &Interval_Items();   // file-transfer intervals, ms

bool Is_Listed_Speed(std::int64_t speed);

// The texts the boxes show for a setting; empty for a value not offered.
QString Speed_Text(std::uint32_t baudRate);
QString Parity_Text(std::uint8_t parity);
QString Stop_Bits_Text(std::uint8_t stopBits);

// Status-bar panel 1: speed, data bits, parity, stop bits ("115200 8 None 1").
QString Line_Status_Text(const vexa::PortSettings &settings);
// Status-bar panel 2: whether CTS/RTS handshake is on.
QString Flow_Status_Text(const vexa::PortSettings &settings);

// The tip of a port in the picker's list: what tells two modems of one kind
// apart (maker, model, serial number, interface), and where a link leads.
QString Port_Tip(const vexa::KnownPort &port);
