#include "sim_harness.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string kOk = "\r\nOK\r\n";

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Bytes of every value, control characters included, from a fixed seed.
std::string binaryGarbage(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (char &byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<char>(seed >> 16);
    }
    return bytes;
}

class ModemSimProcess : public testing::Test {
protected:
    TempDir store;
    SimProcess sim{{"--no-link", "--quiet", "--store", store.path(), "--nak-interval", "300"}};
    PortClient port{sim.slavePath()};
};

TEST_F(ModemSimProcess, AnswersCommandsAndSendsTheStartupNotice)
{
    port.write("AT\r");
    EXPECT_EQ(port.readUntil(kOk), "AT\r" + kOk);
    port.write("ATE0\rAT+CSQ\r");
    EXPECT_EQ(port.readUntil("+CSQ: 21,0\r\n" + kOk), "ATE0\r" + kOk + "\r\n+CSQ: 21,0\r\n" + kOk);
    port.write("at+cfun=1\r");
    EXPECT_EQ(port.readUntil("\r\n+WIND: 3\r\n"), kOk + "\r\n+WIND: 3\r\n");
}

TEST_F(ModemSimProcess, SurvivesAnOverlongLineAndBinaryGarbage)
{
    port.write(std::string(10000, 'X'));
    port.write("\r");
    port.readUntil("\r\nERROR\r\n");
    port.write("AT\r");
    port.readUntil("AT\r" + kOk);

    port.write(binaryGarbage(20000, 7));
    port.write("\rAT\r");
    port.readUntil("AT\r" + kOk);
    EXPECT_TRUE(sim.running());
}

TEST(ModemSimSignals, SigtermExitsCleanlyAndRemovesTheLink)
{
    TempDir dir;
    const std::string link = dir.file("ttyV0");
    SimProcess sim{{"--link", link, "--quiet", "--store", dir.path()}};
    EXPECT_EQ(sim.waitForLine("link "), "vexa-modem-sim: link " + link + " -> " + sim.slavePath());
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), sim.slavePath());
    {
        // The link leads to a working modem, whose port is raw already:
        // a client that keeps the settings gets the bytes unchanged.
        PortClient port(link, false);
        port.write("AT\r");
        EXPECT_EQ(port.readUntil(kOk), "AT\r" + kOk);
    }
    EXPECT_EQ(sim.stop(SIGTERM), 0);
    struct stat info {};
    EXPECT_NE(::lstat(link.c_str(), &info), 0);
}

TEST(ModemSimSignals, SigintExitsCleanly)
{
    TempDir dir;
    SimProcess sim{{"--no-link", "--quiet", "--store", dir.path()}};
    EXPECT_EQ(sim.stop(SIGINT), 0);
}

class ModemSimXmodemWithSx : public testing::TestWithParam<std::size_t> {};

TEST_P(ModemSimXmodemWithSx, StoresThePaddedImageAndReturnsToCommandMode)
{
    TempDir dir;
    const std::string file = dir.file("firmware.bin");
    const std::string content = binaryGarbage(GetParam(), static_cast<unsigned>(GetParam()));
    std::ofstream(file, std::ios::binary) << content;
    const std::string storeDir = dir.file("store");
    ASSERT_EQ(::mkdir(storeDir.c_str(), 0755), 0);

    SimProcess sim{{"--no-link", "--quiet", "--store", storeDir, "--nak-interval", "300", "--next-image-wait", "500"}};
    PortClient port(sim.slavePath());
    port.write("AT+WDWL\r");
    port.readUntil(kOk);
    EXPECT_EQ(sendWithSx(port.fd(), file), 0);

    const std::string stored = sim.waitForLine("stored ");
    const std::string path = stored.substr(stored.find(" in ") + 4);
    EXPECT_EQ(path, storeDir + "/vexa-sim-image-001.bin");
    const std::size_t padded = (content.size() + 127) / 128 * 128;
    EXPECT_EQ(readFile(path), content + std::string(padded - content.size(), '\x1A'));

    // The modem waits a while for a further image, then takes commands again.
    sim.waitForLine("waiting for the next image");
    sim.waitForLine("command mode");
    port.write("AT\r");
    port.readUntil("AT\r" + kOk);
}

INSTANTIATE_TEST_SUITE_P(FileSizes, ModemSimXmodemWithSx, testing::Values(1, 127, 128, 200, 256, 40000));

TEST(ModemSimXmodemCrc, StoresTheImageSxSendsInLongCrcBlocks)
{
    TempDir dir;
    const std::string file = dir.file("firmware.bin");
    const std::string content = binaryGarbage(40000, 3);
    std::ofstream(file, std::ios::binary) << content;
    SimProcess sim{
        {"--no-link", "--quiet", "--store", dir.path(), "--crc", "--nak-period", "50", "--next-image-wait", "0"}};
    PortClient port(sim.slavePath());
    port.write("AT+WDWL\r");
    port.readUntil(kOk);
    EXPECT_EQ(sendWithSx(port.fd(), file, true), 0);
    const std::string stored = sim.waitForLine("stored ");
    const std::string image = readFile(stored.substr(stored.find(" in ") + 4));
    EXPECT_EQ(image.substr(0, content.size()), content);
    EXPECT_EQ(image.find_first_not_of('\x1A', content.size()), std::string::npos);
    EXPECT_LT(std::stoul(stored.substr(stored.find('(') + 1)), 313u) << stored;  // not 128-byte blocks
}

TEST(ModemSimGroup, StoresEachImageOfAGroupUnderItsOwnNumber)
{
    TempDir dir;
    std::vector<std::string> contents;
    for (std::size_t size : {130u, 1u, 256u})
        contents.push_back(binaryGarbage(size, static_cast<unsigned>(size)));
    SimProcess sim{
        {"--no-link", "--quiet", "--store", dir.path(), "--nak-interval", "300", "--next-image-wait", "3000"}};
    PortClient port(sim.slavePath());
    port.write("AT+WDWL\r");
    port.readUntil(kOk);
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const std::string file = dir.file("part" + std::to_string(i));
        std::ofstream(file, std::ios::binary) << contents[i];
        ASSERT_EQ(sendWithSx(port.fd(), file), 0) << i;
        const std::string stored = sim.waitForLine("stored ");
        EXPECT_EQ(stored.substr(stored.find(" in ") + 4),
                  dir.file("vexa-sim-image-00" + std::to_string(i + 1) + ".bin"));
        const std::size_t padded = (contents[i].size() + 127) / 128 * 128;
        EXPECT_EQ(readFile(dir.file("vexa-sim-image-00" + std::to_string(i + 1) + ".bin")),
                  contents[i] + std::string(padded - contents[i].size(), '\x1A'));
    }
    EXPECT_EQ(sim.waitForLine("download ended"), "vexa-modem-sim: download ended: no further image");
}

}  // namespace
