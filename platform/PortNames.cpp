#include "platform/PortNames.h"

#include <cctype>

#include "platform/SerialPort.h"
#ifndef _WIN32
#include <sys/stat.h>

#include "platform/SysfsPorts.h"
#endif

namespace vexa {

std::string Windows_Device_Name(const std::string &picked)
{
    if (picked.size() == 5 && picked.compare(0, 3, "COM") == 0) {
        const char tens = picked[3], ones = picked[4];
        const bool digits = tens >= '1' && tens <= '9' && ones >= '0' && ones <= '9';
        const int number = (tens - '0') * 10 + (ones - '0');
        if (digits && number <= kHighestPortNumber)
            return "\\\\.\\" + picked;
    }
    return picked;
}

std::string Posix_Device_Path(const std::string &picked)
{
    if (picked.empty() || picked.find('/') != std::string::npos)
        return picked;
    return "/dev/" + picked;
}

std::string Device_Name_For_Open(const std::string &picked)
{
#ifdef _WIN32
    return Windows_Device_Name(picked);
#else
    return Posix_Device_Path(picked);
#endif
}

namespace {

constexpr char kNetworkScheme[] = "rfc2217://";

}  // namespace

bool Is_Network_Port_Name(const std::string &picked)
{
    const std::size_t length = sizeof kNetworkScheme - 1;
    if (picked.size() < length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(picked[i])) != kNetworkScheme[i])
            return false;
    return true;
}

std::optional<NetworkPortAddress> Network_Port_Address(const std::string &picked)
{
    if (!Is_Network_Port_Name(picked))
        return std::nullopt;
    const std::string rest = picked.substr(sizeof kNetworkScheme - 1);
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    std::string host = rest.substr(0, colon);
    const std::string digits = rest.substr(colon + 1);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']')
            return std::nullopt;
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of(":[]/") != std::string::npos) {
        return std::nullopt;
    }
    if (digits.empty() || digits.size() > 5)
        return std::nullopt;
    unsigned port = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + unsigned(c - '0');
    }
    if (port == 0 || port > 65535)
        return std::nullopt;
    return NetworkPortAddress{host, static_cast<std::uint16_t>(port)};
}

bool UsbDescription::operator==(const UsbDescription &o) const
{
    return vendorId == o.vendorId && productId == o.productId && maker == o.maker && model == o.model &&
           serial == o.serial && interfaceNumber == o.interfaceNumber;
}

std::vector<KnownPort> Known_Ports()
{
#ifdef _WIN32
    std::vector<KnownPort> ports;
    const auto port = Create_Serial_Port();
    for (int n = 1; n <= kHighestPortNumber; ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (port->probe(name))
            ports.push_back({name, name, false, std::nullopt});
    }
    return ports;
#else
    return List_Known_Ports(Device_Roots());
#endif
}

bool Same_Device(const std::string &a, const std::string &b)
{
    const std::string x = Device_Name_For_Open(a), y = Device_Name_For_Open(b);
#ifndef _WIN32
    struct stat sx {
    }, sy{};
    if (!Is_Network_Port_Name(x) && !Is_Network_Port_Name(y) && ::stat(x.c_str(), &sx) == 0 &&
        ::stat(y.c_str(), &sy) == 0)
        return sx.st_dev == sy.st_dev && sx.st_ino == sy.st_ino;
#endif
    return x == y;
}

}  // namespace vexa
