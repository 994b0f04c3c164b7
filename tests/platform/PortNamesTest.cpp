#include <gtest/gtest.h>

#include <QStringList>

#include <QDir>
#include <QFile>

#include "platform/FileDialogs.h"
#include "platform/PortNames.h"
#include "platform/SysfsPorts.h"
#include "serial/PortLists.h"
#include "support/DeviceTree.h"

using namespace vexa;

TEST(PortNames, WindowsPrefixOnlyForCom10ToCom64Exactly)
{
    EXPECT_EQ(Windows_Device_Name("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(Windows_Device_Name("COM10"), "\\\\.\\COM10");
    EXPECT_EQ(Windows_Device_Name("COM64"), "\\\\.\\COM64");
    EXPECT_EQ(Windows_Device_Name("COM7"), "COM7");
    EXPECT_EQ(Windows_Device_Name("COM65"), "COM65");
    EXPECT_EQ(Windows_Device_Name("COM09"), "COM09");
    EXPECT_EQ(Windows_Device_Name("com12"), "com12");
    EXPECT_EQ(Windows_Device_Name("COM1x"), "COM1x");
    EXPECT_EQ(Windows_Device_Name(""), "");
}

TEST(PortNames, BareLinuxNamesLiveUnderDevPathsStayAsTheyAre)
{
    EXPECT_EQ(Posix_Device_Path("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(Posix_Device_Path("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(Posix_Device_Path("pts/3"), "pts/3");
    EXPECT_EQ(Posix_Device_Path(""), "");
    EXPECT_EQ(Device_Name_For_Open("ttyACM1"), "/dev/ttyACM1");
}

// Listing reads sysfs and the device folder only: what is there, in natural
// order, with the USB descriptors; no console, no UART-less serial-core port,
// no entry without its node, no dangling virtual link.
TEST(KnownPorts, ListedFromTheDeviceTreeWithWhatTellsThemApart)
{
    DeviceTree tree;
    tree.Plug("ttyUSB10", {"B7"});
    tree.Plug("ttyUSB2", {"A1", "02"}, "usb-SIMCOM_SIM7600_A1-if02-port0");
    tree.Plug("ttyACM0", {"C3"});
    QFile::remove(tree.Node("ttyACM0"));
    tree.Add_Uart("ttyS0", "4");
    tree.Add_Uart("ttyS1", "0");
    QDir().mkpath(QString::fromStdString(tree.Roots().sys + "/class/tty/tty0"));
    QFile::link(tree.Node("ttyS0"), tree.Node("ttyV3"));
    QFile::link(tree.Node("gone"), tree.Node("ttyV4"));

    const auto ports = List_Known_Ports(tree.Roots());
    QStringList names;
    for (const KnownPort &p : ports)
        names << QString::fromStdString(p.name);
    EXPECT_EQ(names, QStringList({tree.Node("ttyS0"), tree.Node("ttyUSB2"),
                                  tree.Node("serial/by-id/usb-SIMCOM_SIM7600_A1-if02-port0"), tree.Node("ttyUSB10"),
                                  tree.Node("ttyV3")}));
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_FALSE(ports[0].usb);
    EXPECT_EQ(ports[1].usb, (UsbDescription{"1e0e", "9001", "SIMCOM", "SIM7600", "A1", "02"}));
    EXPECT_TRUE(ports[2].byId && ports[2].kernelName == "ttyUSB2" && ports[2].usb == ports[1].usb);
    EXPECT_EQ(Port_Tip(ports[2]),
              QString::fromUtf8("SIMCOM SIM7600, серийный номер A1, интерфейс 02, USB 1e0e:9001, ведёт к ttyUSB2"));
}

// A port that comes back is known by its by-id name or its USB serial number
// with the interface, never by the ttyUSB number another device may get.
TEST(KnownPorts, AReturningPortIsKnownByItsByIdNameOrItsSerialNumber)
{
    const char *link = "usb-SIMCOM_SIM7600-if02-port0";
    struct Case {
        const char *what, *serial, *byId;
        bool openById;
        const char *backAs, *backSerial, *backInterface, *backById, *expected;  // "-": nothing identifies it
    } cases[] = {
        {"serial, new number", "S1", "", false, "ttyUSB3", "S1", "02", "", "ttyUSB3"},
        {"another device, old number", "S1", "", false, "ttyUSB0", "S9", "02", "", ""},
        {"another port of the modem", "S1", "", false, "ttyUSB0", "S1", "03", "", ""},
        {"opened by id", "S1", link, true, "ttyUSB3", "S1", "02", link, "serial/by-id/usb-SIMCOM_SIM7600-if02-port0"},
        {"by id, not back yet", "S1", link, true, "ttyUSB3", "S1", "02", "", ""},
        {"no serial, by id", "", link, false, "ttyUSB3", "", "02", link, "ttyUSB3"},
        {"no serial, no by id", "", "", false, "ttyUSB0", "", "02", "", "-"},
    };
    for (const Case &c : cases) {
        DeviceTree tree;
        tree.Plug("ttyUSB0", {c.serial, "02"}, c.byId);
        const QString opened = c.openById ? tree.Node(std::string("serial/by-id/") + c.byId) : tree.Node("ttyUSB0");
        const auto identity = Identity_Of(List_Known_Ports(tree.Roots()), opened.toStdString());
        EXPECT_EQ(!identity, std::string(c.expected) == "-") << c.what;
        if (!identity)
            continue;
        tree.Unplug("ttyUSB0");
        tree.Plug(c.backAs, {c.backSerial, c.backInterface}, c.backById);
        const auto name = Returned_Port(List_Known_Ports(tree.Roots()), *identity);
        EXPECT_EQ(name.value_or(""), *c.expected ? tree.Node(c.expected).toStdString() : "") << c.what;
    }
}

TEST(FileDialogs, FiltersOfDescriptionAndMaskPairs)
{
    EXPECT_EQ(vexa::Name_Filters(QString::fromUtf8("Файл списка АТ команд|*.atl")),
              QStringList({QString::fromUtf8("Файл списка АТ команд (*.atl)")}));
    EXPECT_EQ(vexa::Name_Filters("A|*.a|B|*.b;*.c"), QStringList({"A (*.a)", "B (*.b;*.c)"}));
    EXPECT_TRUE(vexa::Name_Filters("").isEmpty());
}
