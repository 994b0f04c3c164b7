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

// The names probed at start, as the picker lists them and in its order:
// COM1..COM64 on Windows; on Linux each device family with the numbers 0..63
// (ttyV holds the links of virtual ports such as the modem simulator's).
// Network ports are never probed: they are typed or pasted.
std::vector<std::string> Probe_Candidates();

}  // namespace vexa
