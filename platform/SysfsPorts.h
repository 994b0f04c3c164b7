#pragma once
// The serial ports a Linux system knows of, read from what the kernel and
// udev publish (sysfs, the device folder and its serial/by-id links) without
// opening any device: opening a free port raises and drops DTR and RTS, which
// resets boards wired to them, and opening an rfcomm port dials Bluetooth.

#include <optional>
#include <string>
#include <vector>

#include "platform/PortNames.h"

namespace vexa {

// Where the system shows its devices. Tests point both at a folder laid out
// as sysfs and the device folder are.
struct DeviceRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
};

// The roots the program lists from: the system's own unless a test set others.
DeviceRoots Device_Roots();
void Set_Device_Roots(const DeviceRoots &roots);

// Each port by its kernel name in natural order (ttyUSB2 before ttyUSB10),
// each followed by the by-id links that lead to it; then the links of
// virtual ports (ttyV<n>) whose target exists. A serial-core port without a
// UART behind it (type 0) and a name without a device node are left out.
std::vector<KnownPort> List_Known_Ports(const DeviceRoots &roots);

// What identifies a port across a replug: its by-id link, or its USB device
// by maker and serial number with the interface. The ttyUSB number is handed
// out afresh on every plug and identifies nothing.
struct PortIdentity {
    std::string byId;  // the by-id name the port was opened under or reached by
    std::optional<UsbDescription> usb;
    bool openedById = false;
};

// The identity of the opened port among the listed ones; nothing when it is
// none of them, or when nothing about it would survive a replug.
std::optional<PortIdentity> Identity_Of(const std::vector<KnownPort> &ports, const std::string &opened);

// The name to open when the identified port is back: its by-id name when it
// was opened under one, else the kernel name it has now.
std::optional<std::string> Returned_Port(const std::vector<KnownPort> &ports, const PortIdentity &identity);

}  // namespace vexa
