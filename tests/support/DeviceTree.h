#pragma once
// A folder laid out as sysfs and the device folder are, so that ports can be
// listed, unplugged and plugged in again without hardware.

#include <QString>
#include <QTemporaryDir>
#include <string>

#include "platform/SysfsPorts.h"

class DeviceTree {
public:
    struct Usb {
        std::string serial, interface = "00", maker = "SIMCOM", model = "SIM7600", vendor = "1e0e", product = "9001";
    };
    vexa::DeviceRoots Roots() const;
    QString Node(const std::string &name) const;  // <dev>/name
    // A USB serial port as the kernel and udev show it: the device chain in
    // sysfs, the class entry, the node (a link to target, or an empty file)
    // and, when named, its by-id link.
    void Plug(const std::string &kernel, const Usb &usb, const std::string &byId = {}, const std::string &target = {});
    // The port, its USB device, its node and the links to it go.
    void Unplug(const std::string &kernel);
    // A serial-core port; type 0 has no UART behind it.
    void Add_Uart(const std::string &kernel, const std::string &type);

private:
    std::string Path(const std::string &relative) const;
    QTemporaryDir dir_;
};
