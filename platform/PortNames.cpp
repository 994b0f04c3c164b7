#include "platform/PortNames.h"

#include <cctype>

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

std::vector<std::string> Probe_Candidates()
{
    std::vector<std::string> names;
#ifdef _WIN32
    for (int n = 1; n <= kHighestPortNumber; ++n)
        names.push_back("COM" + std::to_string(n));
#else
    static const char *const families[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "ttyV", "rfcomm"};
    for (const char *family : families)
        for (int n = 0; n < kHighestPortNumber; ++n)
            names.push_back(std::string("/dev/") + family + std::to_string(n));
#endif
    return names;
}

}  // namespace vexa
