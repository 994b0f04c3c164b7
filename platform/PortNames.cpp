#include "platform/PortNames.h"

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
