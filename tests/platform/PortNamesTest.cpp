#include <gtest/gtest.h>

#include <algorithm>

#include <QStringList>

#include "platform/FileDialogs.h"
#include "platform/PortNames.h"

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

TEST(PortNames, ProbeCoversEachFamilyWithSixtyFourNumbers)
{
    const auto names = Probe_Candidates();
    for (const char *family : {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyAMA", "/dev/ttyV"}) {
        const std::string first = std::string(family) + "0", last = std::string(family) + "63";
        EXPECT_NE(std::find(names.begin(), names.end(), first), names.end()) << first;
        EXPECT_NE(std::find(names.begin(), names.end(), last), names.end()) << last;
        EXPECT_EQ(std::find(names.begin(), names.end(), std::string(family) + "64"), names.end());
    }
    EXPECT_EQ(names.size() % 64, 0u);
}

TEST(FileDialogs, FiltersOfDescriptionAndMaskPairs)
{
    EXPECT_EQ(vexa::Name_Filters(QString::fromUtf8("Файл списка АТ команд|*.atl")),
              QStringList({QString::fromUtf8("Файл списка АТ команд (*.atl)")}));
    EXPECT_EQ(vexa::Name_Filters("A|*.a|B|*.b;*.c"), QStringList({"A (*.a)", "B (*.b;*.c)"}));
    EXPECT_TRUE(vexa::Name_Filters("").isEmpty());
}
