#include <mutex>

#include "platform/NetworkSerialPort.h"
#include "platform/PortNames.h"
#include "platform/PosixSerialPort.h"
#include "platform/SerialPort.h"

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
    if (Is_Network_Port_Name(name))
        return std::make_shared<NetworkSerialPort>();
    return std::make_shared<PosixSerialPort>();
}

void Set_Serial_Port_Factory(SerialPortFactory factory)
{
    std::lock_guard<std::mutex> lock(gFactoryMutex);
    gFactory = std::move(factory);
}

}  // namespace vexa
