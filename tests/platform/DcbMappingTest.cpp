// Runs on Linux against the stand-in device-control block and on Windows
// against the real one: the layout checks passing on both show the two agree.

#include <gtest/gtest.h>

#include <cstring>

#include "platform/DcbMapping.h"

using namespace vexa;

namespace {

Dcb Zeroed()
{
    Dcb dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    return dcb;
}

// The 32-bit word of flags that follows DCBlength and BaudRate.
std::uint32_t Flag_Word(const Dcb &dcb)
{
    std::uint32_t word = 0;
    std::memcpy(&word, reinterpret_cast<const char *>(&dcb) + 8, sizeof word);
    return word;
}

std::uint8_t Byte_At(const Dcb &dcb, std::size_t offset)
{
    return reinterpret_cast<const std::uint8_t *>(&dcb)[offset];
}

}  // namespace

TEST(DcbMapping, TheFlagBitsAndFieldsSitWhereTheDriverReadsThem)
{
    const struct {
        void (*set)(Dcb &);
        std::uint32_t word;
    } flags[] = {
        {[](Dcb &d) { d.fBinary = 1; }, 0x1},          {[](Dcb &d) { d.fOutxCtsFlow = 1; }, 0x4},
        {[](Dcb &d) { d.fDtrControl = 2; }, 0x20},     {[](Dcb &d) { d.fOutX = d.fInX = 1; }, 0x300},
        {[](Dcb &d) { d.fNull = 1; }, 0x800},          {[](Dcb &d) { d.fRtsControl = 3; }, 0x3000},
        {[](Dcb &d) { d.fAbortOnError = 1; }, 0x4000},
    };
    for (const auto &flag : flags) {
        Dcb dcb = Zeroed();
        flag.set(dcb);
        EXPECT_EQ(Flag_Word(dcb), flag.word);
    }

    Dcb dcb = Zeroed();
    dcb.BaudRate = 0x01020304;
    dcb.ByteSize = 7;
    dcb.Parity = 3;
    dcb.StopBits = 2;
    dcb.XonChar = 0x11;
    dcb.EvtChar = 0x7e;
    EXPECT_EQ(Byte_At(dcb, 4), 0x04);  // little-endian BaudRate right after DCBlength
    EXPECT_EQ(Byte_At(dcb, 18), 7);
    EXPECT_EQ(Byte_At(dcb, 19), 3);
    EXPECT_EQ(Byte_At(dcb, 20), 2);
    EXPECT_EQ(Byte_At(dcb, 21), 0x11);
    EXPECT_EQ(Byte_At(dcb, 25), 0x7e);
}

TEST(DcbMapping, EveryOfferedCombinationReadsBackAsSet)
{
    const std::uint32_t speeds[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                    19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (std::uint32_t baud : speeds)
        for (std::uint8_t bits = 5; bits <= 8; ++bits)
            for (std::uint8_t parity = 0; parity <= 4; ++parity)
                for (std::uint8_t stop = 0; stop <= 2; ++stop)
                    for (std::uint8_t rts = 0; rts <= 3; ++rts)
                        for (std::uint8_t dtr = 0; dtr <= 2; ++dtr) {
                            PortSettings set;
                            set.BaudRate = baud;
                            set.ByteSize = bits;
                            set.Parity = Parity_Mode(parity);
                            set.StopBits = Stop_Bits(stop);
                            set.fOutxCtsFlow = rts == kRtsControlHandshake;
                            set.fRtsControl = Rts_Control(rts);
                            set.fDtrControl = Dtr_Control(dtr);
                            Dcb dcb = Zeroed();
                            ASSERT_TRUE(Apply_Settings(set, dcb));
                            ASSERT_EQ(Read_Settings(dcb), set) << baud << " " << int(bits) << int(parity) << int(stop)
                                                               << " rts " << int(rts) << " dtr " << int(dtr);
                        }
}

TEST(DcbMapping, FieldsOutsideTheSettingsStayAsTheDriverHadThem)
{
    Dcb dcb = Zeroed();
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fOutX = 1;
    dcb.fTXContinueOnXoff = 1;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.EofChar = 0x1a;
    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = kRtsControlHandshake;
    const Dcb before = dcb;

    PortSettings s;
    s.BaudRate = 115200;
    s.fOutxCtsFlow = false;
    s.fRtsControl = kRtsControlEnable;
    s.fDtrControl = kDtrControlDisable;
    ASSERT_TRUE(Apply_Settings(s, dcb));
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fRtsControl, unsigned(kRtsControlEnable));
    EXPECT_EQ(dcb.fDtrControl, unsigned(kDtrControlDisable));
    EXPECT_EQ(dcb.fBinary, before.fBinary);
    EXPECT_EQ(dcb.fParity, before.fParity);
    EXPECT_EQ(dcb.fOutX, before.fOutX);
    EXPECT_EQ(dcb.fTXContinueOnXoff, before.fTXContinueOnXoff);
    EXPECT_EQ(dcb.XonLim, before.XonLim);
    EXPECT_EQ(dcb.XoffLim, before.XoffLim);
    EXPECT_EQ(dcb.XonChar, before.XonChar);
    EXPECT_EQ(dcb.XoffChar, before.XoffChar);
    EXPECT_EQ(dcb.EofChar, before.EofChar);
}

TEST(DcbMapping, ModesTheRecordCannotHoldAreRefusedAndChangeNothing)
{
    Dcb dcb = Zeroed();
    dcb.BaudRate = 9600;
    PortSettings s;
    s.BaudRate = 19200;
    s.fRtsControl = Rts_Control(4);  // two bits hold 0..3
    EXPECT_FALSE(Apply_Settings(s, dcb));
    s.fRtsControl = kRtsControlEnable;
    s.fDtrControl = Dtr_Control(3);  // no such DTR mode
    EXPECT_FALSE(Apply_Settings(s, dcb));
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.fRtsControl, 0u);
    EXPECT_EQ(dcb.fDtrControl, 0u);
}

TEST(DcbMapping, TransparentMeansEveryByteCrossesAndTheLineSettingsStay)
{
    Dcb dcb = Zeroed();
    dcb.BaudRate = 57600;
    dcb.ByteSize = 7;
    dcb.Parity = kEvenParity;
    dcb.StopBits = kTwoStopBits;
    dcb.fOutxCtsFlow = 1;
    dcb.fRtsControl = kRtsControlHandshake;
    dcb.fDtrControl = kDtrControlEnable;
    dcb.fOutX = dcb.fInX = dcb.fNull = dcb.fErrorChar = dcb.fAbortOnError = 1;
    dcb.fOutxDsrFlow = dcb.fDsrSensitivity = 1;
    const PortSettings before = Read_Settings(dcb);

    Make_Transparent(dcb);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(Flag_Word(dcb) & 0x4f48u, 0u);  // every flag that could hold, drop or change a byte
    EXPECT_EQ(Read_Settings(dcb), before);
}
