#include <mutex>

#include "platform/PortNames.h"
#include "platform/SerialPort.h"
#ifdef _WIN32
#include "platform/Win32SerialPort.h"
#else
#include "platform/NetworkSerialPort.h"
#include "platform/PosixSerialPort.h"
#endif

namespace vexa {
namespace {

std::mutex gFactoryMutex;
SerialPortFactory gFactory;

}  // namespace

bool PortSettings::operator==(const PortSettings &o) const
{
    return BaudRate == o.BaudRate && ByteSize == o.ByteSize && Parity == o.Parity && StopBits == o.StopBits &&
           fOutxCtsFlow == o.fOutxCtsFlow && fRtsControl == o.fRtsControl && fDtrControl == o.fDtrControl;
}

std::shared_ptr<SerialPort> Create_Serial_Port(const std::string &name)
{
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    if (gFactory)
        return gFactory();
#ifdef _WIN32
    // The network port speaks over POSIX sockets; on Windows such a name
    // reaches the serial backend, which refuses it as no device.
    (void)name;
    return std::make_shared<Win32SerialPort>();
#else
    if (Is_Network_Port_Name(name))
        return std::make_shared<NetworkSerialPort>();
    return std::make_shared<PosixSerialPort>();
#endif
}

void Set_Serial_Port_Factory(SerialPortFactory factory)
{
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    gFactory = std::move(factory);
}

}  // namespace vexa
