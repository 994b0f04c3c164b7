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
    EXPECT_EQ(parsed.options.nextImageWaitMs, 5000);
    EXPECT_EQ(parsed.options.searchTimeMs, 5000);
    EXPECT_EQ(parsed.options.faults.rejectBlock, 0u);
    EXPECT_EQ(parsed.options.faults.silentAfter, 0u);
    EXPECT_EQ(parsed.options.faults.cancelAfter, 0u);
    EXPECT_FALSE(parsed.options.quiet);
    EXPECT_EQ(parsed.options.urcPeriodMs, 0);
    EXPECT_EQ(parsed.options.promptForm, PromptForm::LineBlank);
    EXPECT_EQ(parsed.options.dialect, Dialect::V250);
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

    const Options faults = parseOptions({"--next-image-wait", "0", "--reject-block", "7:3", "--silent-after", "300",
                                         "--cancel-after", "12", "--search-time", "0"})
                               .options;
    EXPECT_EQ(faults.nextImageWaitMs, 0);
    EXPECT_EQ(faults.faults.rejectBlock, 7u);
    EXPECT_EQ(faults.faults.rejectTimes, 3);
    EXPECT_EQ(faults.faults.silentAfter, 300u);
    EXPECT_EQ(faults.faults.cancelAfter, 12u);
    EXPECT_EQ(faults.searchTimeMs, 0);
    const XmodemFaults once = parseOptions({"--reject-block", "1"}).options.faults;
    EXPECT_EQ(once.rejectBlock, 1u);
    EXPECT_EQ(once.rejectTimes, 1);
    EXPECT_TRUE(parseOptions({"--help"}).options.help);
    EXPECT_EQ(parseOptions({}).options.rfc2217Port, -1);
    EXPECT_EQ(parseOptions({"--rfc2217", "2217"}).options.rfc2217Port, 2217);
    const Options asking = parseOptions({"--crc", "--nak-period", "40"}).options;
    EXPECT_TRUE(asking.crc);
    EXPECT_EQ(asking.nakPeriodMs, 40);
    const Options modem = parseOptions({"--urc-period", "50", "--prompt-form", "bare", "--finals", "huawei"}).options;
    EXPECT_EQ(modem.urcPeriodMs, 50);
    EXPECT_EQ(modem.promptForm, PromptForm::Bare);
    EXPECT_EQ(modem.dialect, Dialect::Huawei);
    EXPECT_EQ(parseOptions({"--prompt-form", "crlf"}).options.promptForm, PromptForm::Line);
    EXPECT_EQ(parseOptions({"--finals", "ublox"}).options.dialect, Dialect::Ublox);
}

TEST(ModemSimOptions, BadCommandLinesAreRefused)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"extra"},
        {"--store"},
        {"--store", ""},
        {"--link"},
        {"--nak-interval", "abc"},
        {"--nak-interval", "5"},
        {"--nak-interval", "60001"},
        {"--nak-interval", "-100"},
        {"--link", "/tmp/a", "--no-link"},
        {"--no-link", "--no-link"},
        {"--next-image-wait", "60001"},
        {"--next-image-wait"},
        {"--reject-block", "0"},
        {"--reject-block", "3:"},
        {"--reject-block", ":3"},
        {"--reject-block", "3:0"},
        {"--reject-block", "3:2:1"},
        {"--silent-after", "0"},
        {"--cancel-after", "x"},
        {"--cancel-after"},
        {"--rfc2217"},
        {"--rfc2217", "65536"},
        {"--rfc2217", "-1"},
        {"--nak-period", "0"},
        {"--nak-period"},
        {"--crc", "1"},
        {"--search-time", "600001"},
        {"--search-time", "-1"},
        {"--urc-period", "9"},
        {"--urc-period"},
        {"--prompt-form", "> "},
        {"--finals", "V250"},
    };
    for (const auto &args : bad)
        EXPECT_NE(parseOptions(args).error, "") << args.front();
}

}  // namespace
