#pragma once
// Port names: what the picker shows and what the operating system opens.

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

// The names probed at start, as the picker lists them and in its order:
// COM1..COM64 on Windows; on Linux each device family with the numbers 0..63
// (ttyV holds the links of virtual ports such as the modem simulator's).
std::vector<std::string> Probe_Candidates();

}  // namespace vexa
