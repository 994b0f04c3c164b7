#include "platform/SysfsPorts.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <tuple>

namespace fs = std::filesystem;

namespace vexa {
namespace {

std::mutex gRootsMutex;
DeviceRoots gRoots;

std::vector<std::string> Names_In(const fs::path &folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

bool Exists(const fs::path &path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

// The first line of a sysfs attribute; empty when there is none.
std::string Attribute(const fs::path &file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// The name a link points at, as udev writes them ("../../ttyUSB0").
std::string Link_Target_Name(const fs::path &link)
{
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

// Up from the tty's device to the USB device that holds it, taking the
// interface number on the way; nothing for a port that is not on USB.
std::optional<UsbDescription> Usb_Of(const fs::path &classEntry, const fs::path &sysRoot)
{
    std::error_code ec;
    fs::path at = fs::canonical(classEntry / "device", ec);
    const fs::path top = fs::canonical(sysRoot, ec);
    if (ec)
        return std::nullopt;
    std::string interface;
    for (; at != top && at.has_relative_path(); at = at.parent_path()) {
        if (interface.empty())
            interface = Attribute(at / "bInterfaceNumber");
        if (Exists(at / "idVendor"))
            return UsbDescription{Attribute(at / "idVendor"),     Attribute(at / "idProduct"),
                                  Attribute(at / "manufacturer"), Attribute(at / "product"),
                                  Attribute(at / "serial"),       interface};
    }
    return std::nullopt;
}

bool Natural_Less(const std::string &a, const std::string &b)
{
    auto split = [](const std::string &s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
            --i;
        return std::make_tuple(s.substr(0, i), s.size() - i, s.substr(i));
    };
    return split(a) < split(b);
}

bool Is_Virtual_Link_Name(const std::string &name)
{
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return name.size() > 4 && name.compare(0, 4, "ttyV") == 0 && std::all_of(name.begin() + 4, name.end(), digit);
}

bool Same_Usb_Port(const UsbDescription &a, const UsbDescription &b)
{
    return a.vendorId == b.vendorId && a.productId == b.productId && a.serial == b.serial &&
           a.interfaceNumber == b.interfaceNumber;
}

const KnownPort *Kernel_Entry(const std::vector<KnownPort> &ports, const std::string &kernelName)
{
    for (const KnownPort &p : ports)
        if (!p.byId && p.kernelName == kernelName)
            return &p;
    return nullptr;
}

}  // namespace

DeviceRoots Device_Roots()
{
    std::lock_guard<std::mutex> lock(gRootsMutex);
    return gRoots;
}

void Set_Device_Roots(const DeviceRoots &roots)
{
    std::lock_guard<std::mutex> lock(gRootsMutex);
    gRoots = roots;
}

std::vector<KnownPort> List_Known_Ports(const DeviceRoots &roots)
{
    const fs::path sys(roots.sys), dev(roots.dev), byIdFolder = dev / "serial" / "by-id";
    std::vector<KnownPort> kernelPorts;
    for (const std::string &name : Names_In(sys / "class" / "tty")) {
        const fs::path entry = sys / "class" / "tty" / name;
        // Consoles and pseudo-terminals have no device behind them; a bound
        // rfcomm port has none in sysfs either.
        const bool hardware = Exists(entry / "device") || name.compare(0, 6, "rfcomm") == 0;
        if (hardware && Attribute(entry / "type") != "0" && Exists(dev / name))
            kernelPorts.push_back({(dev / name).string(), name, false, Usb_Of(entry, sys)});
    }
    std::sort(kernelPorts.begin(), kernelPorts.end(),
              [](const KnownPort &a, const KnownPort &b) { return Natural_Less(a.kernelName, b.kernelName); });
    std::vector<std::string> links = Names_In(byIdFolder);
    std::sort(links.begin(), links.end());

    std::vector<KnownPort> ports;
    for (const KnownPort &port : kernelPorts) {
        ports.push_back(port);
        for (const std::string &link : links)
            if (Link_Target_Name(byIdFolder / link) == port.kernelName)
                ports.push_back({(byIdFolder / link).string(), port.kernelName, true, port.usb});
    }
    std::vector<std::string> virtualLinks = Names_In(dev);
    std::sort(virtualLinks.begin(), virtualLinks.end(), Natural_Less);
    for (const std::string &name : virtualLinks)
        if (Is_Virtual_Link_Name(name) && Exists(dev / name))
            ports.push_back({(dev / name).string(), name, false, std::nullopt});
    return ports;
}

std::optional<PortIdentity> Identity_Of(const std::vector<KnownPort> &ports, const std::string &opened)
{
    const std::string device = Device_Name_For_Open(opened);
    auto found = std::find_if(ports.begin(), ports.end(), [&](const KnownPort &p) { return p.name == device; });
    if (found == ports.end())
        found =
            std::find_if(ports.begin(), ports.end(), [&](const KnownPort &p) { return Same_Device(p.name, opened); });
    if (found == ports.end())
        return std::nullopt;
    PortIdentity identity{found->byId ? found->name : std::string(), found->usb, found->byId};
    for (const KnownPort &p : ports)
        if (identity.byId.empty() && p.byId && p.kernelName == found->kernelName)
            identity.byId = p.name;
    if (identity.byId.empty() && (!identity.usb || identity.usb->serial.empty()))
        return std::nullopt;
    return identity;
}

std::optional<std::string> Returned_Port(const std::vector<KnownPort> &ports, const PortIdentity &identity)
{
    const bool bySerial = !identity.openedById && identity.usb && !identity.usb->serial.empty();
    for (const KnownPort &p : ports) {
        if (bySerial && !p.byId && p.usb && Same_Usb_Port(*p.usb, *identity.usb))
            return p.name;
        if (!bySerial && p.byId && p.name == identity.byId) {
            if (identity.openedById)
                return p.name;
            if (const KnownPort *kernel = Kernel_Entry(ports, p.kernelName))
                return kernel->name;
        }
    }
    return std::nullopt;
}

}  // namespace vexa
