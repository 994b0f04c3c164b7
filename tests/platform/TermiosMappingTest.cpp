#include <gtest/gtest.h>

#include "platform/TermiosMapping.h"

using namespace vexa;

namespace {

PortSettings Make(std::uint32_t baud, std::uint8_t bits, std::uint8_t parity, std::uint8_t stop, bool handshake = false)
{
    PortSettings s;
    s.BaudRate = baud;
    s.ByteSize = bits;
    s.Parity = Parity_Mode(parity);
    s.StopBits = Stop_Bits(stop);
    s.fOutxCtsFlow = handshake;
    s.fRtsControl = handshake ? kRtsControlHandshake : kRtsControlEnable;
    s.fDtrControl = kDtrControlEnable;
    return s;
}

}  // namespace

TEST(TermiosMapping, EveryOfferedCombinationReadsBackAsSet)
{
    const std::uint32_t speeds[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                    19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (std::uint32_t baud : speeds)
        for (std::uint8_t bits = 5; bits <= 8; ++bits)
            for (std::uint8_t parity = 0; parity <= 4; ++parity)
                for (std::uint8_t stop = 0; stop <= 2; ++stop)
                    for (bool handshake : {false, true}) {
                        const bool valid =
                            !(stop == kOne5StopBits && bits != 5) && !(stop == kTwoStopBits && bits == 5);
                        struct termios2 tio {};
                        const PortSettings set = Make(baud, bits, parity, stop, handshake);
                        ASSERT_EQ(Apply_Settings(set, tio), valid) << baud << " " << int(bits) << int(stop);
                        if (valid) {
                            EXPECT_EQ(Read_Settings(tio, true, true), set)
                                << baud << " " << int(bits) << " " << int(parity) << " " << int(stop);
                        }
                    }
}

TEST(TermiosMapping, SpeedsOutsideTheClassicTableUseBother)
{
    struct termios2 tio {};
    ASSERT_TRUE(Apply_Settings(Make(14400, 8, 0, 0), tio));
    EXPECT_EQ(tio.c_cflag & CBAUD, tcflag_t(BOTHER));
    EXPECT_EQ(tio.c_ospeed, 14400u);
    ASSERT_TRUE(Apply_Settings(Make(57600, 8, 0, 0), tio));
    EXPECT_EQ(tio.c_cflag & CBAUD, tcflag_t(B57600));
}

TEST(TermiosMapping, FramingBitsAndUntouchedFlags)
{
    struct termios2 tio {};
    tio.c_cflag = HUPCL | CREAD;
    ASSERT_TRUE(Apply_Settings(Make(9600, 7, kMarkParity, kTwoStopBits, true), tio));
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS7));
    EXPECT_TRUE(tio.c_cflag & PARENB);
    EXPECT_TRUE(tio.c_cflag & CMSPAR);
    EXPECT_TRUE(tio.c_cflag & PARODD);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_TRUE(tio.c_cflag & HUPCL);  // bits outside the settings stay

    const tcflag_t before = tio.c_cflag;
    EXPECT_FALSE(Apply_Settings(Make(9600, 8, 0, kOne5StopBits), tio));
    EXPECT_FALSE(Apply_Settings(Make(9600, 9, 0, 0), tio));
    EXPECT_FALSE(Apply_Settings(Make(0, 8, 0, 0), tio));
    EXPECT_EQ(tio.c_cflag, before);  // a refused setting leaves the port as it was
}

TEST(TermiosMapping, RtsAndDtrFollowTheLinesUnlessHandshaking)
{
    struct termios2 tio {};
    ASSERT_TRUE(Apply_Settings(Make(9600, 8, 0, 0, false), tio));
    EXPECT_EQ(Read_Settings(tio, false, false).fRtsControl, kRtsControlDisable);
    EXPECT_EQ(Read_Settings(tio, false, false).fDtrControl, kDtrControlDisable);
    EXPECT_EQ(Read_Settings(tio, true, true).fRtsControl, kRtsControlEnable);
    ASSERT_TRUE(Apply_Settings(Make(9600, 8, 0, 0, true), tio));
    EXPECT_EQ(Read_Settings(tio, false, true).fRtsControl, kRtsControlHandshake);
}

TEST(TermiosMapping, RawModeStopsEchoAndTranslation)
{
    struct termios2 tio {};
    tio.c_iflag = ICRNL | IXON | BRKINT;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    Make_Raw(tio);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | BRKINT), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
}
