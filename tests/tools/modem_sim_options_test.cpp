#include "options.h"

#include <gtest/gtest.h>

using namespace vexa::modemsim;

namespace {

TEST(ModemSimOptions, DefaultsSuitANewcomer)
{
    const ParsedOptions parsed = parseOptions({});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.storeDir, ".");
    EXPECT_EQ(parsed.options.linkMode, Options::LinkMode::Auto);
    EXPECT_EQ(parsed.options.nakIntervalMs, 3000);
    EXPECT_FALSE(parsed.options.quiet);
}

TEST(ModemSimOptions, AllOptionsAreTaken)
{
    const ParsedOptions parsed =
        parseOptions({"--store", "/tmp/x", "--link", "/tmp/ttyV9", "--nak-interval", "250", "--quiet"});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.storeDir, "/tmp/x");
    EXPECT_EQ(parsed.options.linkMode, Options::LinkMode::Explicit);
    EXPECT_EQ(parsed.options.linkPath, "/tmp/ttyV9");
    EXPECT_EQ(parsed.options.nakIntervalMs, 250);
    EXPECT_TRUE(parsed.options.quiet);
    EXPECT_EQ(parseOptions({"--no-link"}).options.linkMode, Options::LinkMode::None);
    EXPECT_TRUE(parseOptions({"--help"}).options.help);
}

TEST(ModemSimOptions, BadCommandLinesAreRefused)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"}, {"extra"}, {"--store"}, {"--store", ""}, {"--link"},
        {"--nak-interval", "abc"}, {"--nak-interval", "5"}, {"--nak-interval", "60001"},
        {"--nak-interval", "-100"}, {"--link", "/tmp/a", "--no-link"}, {"--no-link", "--no-link"},
    };
    for (const auto& args : bad)
        EXPECT_NE(parseOptions(args).error, "") << args.front();
}

} // namespace
