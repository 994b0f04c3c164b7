#pragma once
// How programs on one machine agree who uses a serial device, and how Vexa
// finds out who holds one. The oldest agreement is a lock file
// "LCK..<device>" in one of the usual lock folders, holding the holder's
// process number; others take flock() on the device or make it exclusive
// (TIOCEXCL). Vexa honours all three and takes all three while it holds a
// port, so that the others honour it too.

#include <string>
#include <vector>

#include "platform/SerialPort.h"

namespace vexa {

// The folders where lock files are looked for; Vexa puts its own in the
// first of them it may write to. A test points them at folders of its own;
// an empty list restores the usual ones.
std::vector<std::string> Lock_Folders();
void Set_Lock_Folders(std::vector<std::string> folders);

// The lock file's name for a device: "LCK.." and the device's path below
// /dev with its slashes as underscores ("LCK..ttyUSB0", "LCK..pts_3"); a
// device elsewhere by its last part.
std::string Lock_File_Name(const std::string &devicePath);

// The process number a lock file holds: ASCII digits with blanks around
// them (as ten right-aligned digits and a newline are written), or four
// bytes in the machine's order, as the oldest programs wrote it. 0 when the
// text is neither.
int Lock_File_Pid(const std::string &content);

// The name of a running program, empty when it is gone or hidden.
std::string Program_Name(int pid);

// Whether a living program holds a lock file for the device, and which. A
// lock file whose holder is gone is removed on the way.
bool Lock_File_Held(const std::string &devicePath, PortHolder &holder);

// A program that has the device open (found through its flock, or else
// through its open descriptors); pid 0 when the system does not tell.
PortHolder Program_Holding(const std::string &devicePath);

// The lock file of a device Vexa holds.
class DeviceLockFile {
public:
    DeviceLockFile() = default;
    ~DeviceLockFile() { Release(); }
    DeviceLockFile(const DeviceLockFile &) = delete;
    DeviceLockFile &operator=(const DeviceLockFile &) = delete;

    // False, with the holder, when a living program holds a lock file for
    // the device. Where no lock folder may be written the port is used
    // without a lock file, as it would be without lock folders at all.
    bool Take(const std::string &devicePath, PortHolder &holder);
    // Removes the file, if it is still ours.
    void Release();

private:
    std::string path_;
};

}  // namespace vexa
