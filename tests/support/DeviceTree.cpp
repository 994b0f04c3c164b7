#include "support/DeviceTree.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void Put(const fs::path &file, const std::string &text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << '\n';
}

void Link(const fs::path &link, const fs::path &target)
{
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
}

}  // namespace

std::string DeviceTree::Path(const std::string &relative) const { return (dir_.path() + '/').toStdString() + relative; }
vexa::DeviceRoots DeviceTree::Roots() const { return {Path("sys"), Path("dev")}; }
QString DeviceTree::Node(const std::string &name) const { return QString::fromStdString(Path("dev/" + name)); }

void DeviceTree::Plug(const std::string &kernel, const Usb &usb, const std::string &byId, const std::string &target)
{
    const std::string device = "devices/usb1/1-" + (usb.serial.empty() ? kernel : usb.serial);
    const std::string interface = device + "/1-1:1." + usb.interface, port = interface + '/' + kernel;
    Put(Path("sys/" + device + "/idVendor"), usb.vendor);
    Put(Path("sys/" + device + "/idProduct"), usb.product);
    Put(Path("sys/" + device + "/manufacturer"), usb.maker);
    Put(Path("sys/" + device + "/product"), usb.model);
    if (!usb.serial.empty())
        Put(Path("sys/" + device + "/serial"), usb.serial);
    Put(Path("sys/" + interface + "/bInterfaceNumber"), usb.interface);
    Link(Path("sys/" + port + "/tty/" + kernel + "/device"), "../..");
    Link(Path("sys/class/tty/" + kernel), "../../" + port + "/tty/" + kernel);
    if (target.empty())
        Put(Path("dev/" + kernel), "");
    else
        Link(Path("dev/" + kernel), target);
    if (!byId.empty())
        Link(Path("dev/serial/by-id/" + byId), "../../" + kernel);
}

void DeviceTree::Unplug(const std::string &kernel)
{
    const fs::path entry = Path("sys/class/tty/" + kernel);
    fs::remove_all(fs::canonical(entry / "device").parent_path().parent_path());
    fs::remove(entry);
    fs::remove(Path("dev/" + kernel));
    // udev takes the by-id folder away with its last link.
    const fs::path byId = Path("dev/serial/by-id");
    if (!fs::exists(byId))
        return;
    for (const auto &link : fs::directory_iterator(byId))
        if (fs::read_symlink(link.path()).filename() == kernel)
            fs::remove(link.path());
    if (fs::is_empty(byId))
        fs::remove_all(byId.parent_path());
}

void DeviceTree::Add_Uart(const std::string &kernel, const std::string &type)
{
    const std::string device = "devices/platform/serial8250/" + kernel;
    Put(Path("sys/" + device + "/tty/" + kernel + "/type"), type);
    Link(Path("sys/" + device + "/tty/" + kernel + "/device"), "../..");
    Link(Path("sys/class/tty/" + kernel), "../../" + device + "/tty/" + kernel);
    Put(Path("dev/" + kernel), "");
}
