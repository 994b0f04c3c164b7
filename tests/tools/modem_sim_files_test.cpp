#include "image_store.h"
#include "port_link.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace vexa::modemsim;

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool exists(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string linkTarget(const std::string &path)
{
    char buffer[256];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? "" : std::string(buffer, static_cast<std::size_t>(n));
}

TEST(ModemSimImageStore, NumbersFilesPastExistingOnesAndNeverOverwrites)
{
    TempDir dir;
    std::ofstream(dir.file("vexa-sim-image-001.bin")) << "older";
    ImageStore store(dir.path());
    const std::string image("\x00\x1A\xFF", 3);
    EXPECT_EQ(store.save(image), dir.file("vexa-sim-image-002.bin"));
    EXPECT_EQ(store.save("second"), dir.file("vexa-sim-image-003.bin"));
    EXPECT_EQ(readFile(dir.file("vexa-sim-image-001.bin")), "older");
    EXPECT_EQ(readFile(dir.file("vexa-sim-image-002.bin")), image);
}

TEST(ModemSimPortLink, FamilySkipsTakenNamesReusesStaleOnesAndCleansUp)
{
    TempDir dir;
    const std::string family = dir.file("ttyV");
    const std::string target = dir.file("port");
    std::ofstream(target) << "";
    std::ofstream(family + "0") << "";                                          // taken
    ASSERT_EQ(::symlink(target.c_str(), (family + "1").c_str()), 0);            // live link: taken
    ASSERT_EQ(::symlink(dir.file("gone").c_str(), (family + "2").c_str()), 0);  // stale
    std::string error;
    {
        const PortLink link = PortLink::createInFamily(family, 64, target, error);
        EXPECT_EQ(link.path(), family + "2");
        EXPECT_EQ(linkTarget(family + "2"), target);
    }
    EXPECT_FALSE(exists(family + "2"));
    EXPECT_TRUE(exists(family + "1"));

    const PortLink none = PortLink::createInFamily(family, 2, target, error);
    EXPECT_FALSE(none.valid());
    EXPECT_NE(error, "");
}

TEST(ModemSimPortLink, ExplicitLinkRefusesAnExistingFile)
{
    TempDir dir;
    std::ofstream(dir.file("busy")) << "keep";
    std::string error;
    const PortLink link = PortLink::create(dir.file("busy"), "/dev/null", error);
    EXPECT_FALSE(link.valid());
    EXPECT_NE(error, "");
    EXPECT_EQ(readFile(dir.file("busy")), "keep");
}

TEST(ModemSimPortLink, LeavesALinkThatSomeoneElseReplaced)
{
    TempDir dir;
    const std::string path = dir.file("ttyV0");
    std::string error;
    {
        const PortLink link = PortLink::create(path, "/dev/null", error);
        ASSERT_TRUE(link.valid()) << error;
        ASSERT_EQ(::unlink(path.c_str()), 0);
        ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
    }
    EXPECT_EQ(linkTarget(path), "/dev/zero");
}

}  // namespace
