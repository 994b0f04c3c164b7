#pragma once
// Port names: what the picker shows and what the operating system opens.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexa {

constexpr int kHighestPortNumber = 64;

// Windows: "COM10".."COM64" (exact, case-sensitive) need the "\\.\" prefix;
// every other name is opened as it stands.
std::string Windows_Device_Name(const std::string &picked);

// Linux: a bare device name ("ttyUSB0") lives under /dev/; a name with a
// slash is a path and is used as it stands.
std::string Posix_Device_Path(const std::string &picked);

// The device name this platform opens for a picked or typed name.
std::string Device_Name_For_Open(const std::string &picked);

// A serial port served over the network is named "rfc2217://host:port"; the
// scheme is matched without regard to case. A host may be a name, an IPv4
// address or an IPv6 address in brackets.
bool Is_Network_Port_Name(const std::string &picked);

struct NetworkPortAddress {
    std::string host;
    std::uint16_t port = 0;
};
// The host and TCP port of a network port name; nothing when the name is not
// one or is incomplete (no host, no port, a port outside 1..65535).
std::optional<NetworkPortAddress> Network_Port_Address(const std::string &picked);

// What the USB descriptors say about the device behind a port, as sysfs
// shows them: ids in four hex digits, the interface in two.
struct UsbDescription {
    std::string vendorId, productId, maker, model, serial, interfaceNumber;
    bool operator==(const UsbDescription &o) const;
};

// A port the system knows of, in the picker's list.
struct KnownPort {
    std::string name;        // what the picker offers; opened as it stands
    std::string kernelName;  // the device it is or leads to ("ttyUSB0")
    bool byId = false;       // a by-id link, which keeps its name over a replug
    std::optional<UsbDescription> usb;
};

// The ports to offer, without opening any device on Linux (see SysfsPorts);
// Windows has no such record here and probes COM1..COM64, which it may do
// since a probe there moves no line. Network ports are typed or pasted.
std::vector<KnownPort> Known_Ports();

// Whether two names lead to one device (one cannot be opened twice while it
// is held); names that lead nowhere are compared as the device names opened.
bool Same_Device(const std::string &a, const std::string &b);

}  // namespace vexa
