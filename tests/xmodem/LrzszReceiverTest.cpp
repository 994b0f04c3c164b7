// lrzsz's rx, an XMODEM receiver we did not write, takes Vexa's download on
// the master side of a real pseudo-terminal, asking with NAK or, as `rx -c`,
// with 'C'.

#include <QElapsedTimer>
#include <QScopeGuard>
#include <atomic>
#include <fcntl.h>

#include "link_relay.h"
#include "xmodem/LrzszRx.h"
#include "xmodem/ProgrammingFixture.h"

namespace {

using lrzsz::Rx;
using namespace vexa::linkrelay;

struct Run {
    int size;
    Xmodem_Mode mode;
    int blocks;
};

class LrzszReceiver : public ProgrammingPageTest, public ::testing::WithParamInterface<Run> {
protected:
    void SetUp() override { Open_Page(pty.slavePath()); }
    Pty pty;
};

TEST_P(LrzszReceiver, TakesTheFilePaddedWithSubstitutes)
{
    const auto [size, mode, blockCount] = GetParam();
    const QByteArray content = Firmware_Bytes(size, unsigned(size));
    const QString source = Write_Firmware("firmware.bin", content);
    const QString received = app.start.file("received.bin");
    FieldHistory sent(fw.Edit9), total(fw.Edit10), repeats(fw.Edit11);

    Rx rx(pty.master(), received, mode != Xmodem_Mode::Checksum);
    ASSERT_TRUE(Wait_Until([&] { return fw.SpeedButton15->isVisible(); }, 10000));
    fw.CheckBox6->setChecked(mode == Xmodem_Mode::Crc_1k);
    Flash(source);
    EXPECT_EQ(rx.Wait(20000), 0);
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }));

    EXPECT_EQ(Read_File(received), Padded(content));
    const QString blocks = QString::number(blockCount);
    EXPECT_EQ(sent.last(), blocks);
    EXPECT_EQ(total.last(), blocks);
    EXPECT_EQ(fw.Gauge2->maximum(), blockCount);
    EXPECT_EQ(repeats.last(), "");
    EXPECT_TRUE(Screen_Shows("МОДЕМ ГОТОВ К ПРОШИВКЕ...\rНАЧАЛО ПРОШИВКИ\r"));
    EXPECT_FALSE(Screen_Shows("ПОВТОР"));
    Expect_Released();
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

// `rx -c` 300 ms away each way. A 'C' that leaves it 20 ms before block 1
// arrives crosses block 1, so block 1 goes out twice, and the line spoils
// the last block once: rx gets the whole image, or Vexa says it failed.
TEST_F(ProgrammingPageTest, RxFarAwayGetsTheWholeImageOrVexaSaysItFailed)
{
    const QByteArray content = Firmware_Bytes(3 * 128, 17);
    const QString source = Write_Firmware("firmware.bin", content);
    const QString received = app.start.file("received.bin");
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> block1At{-1};
    std::atomic<bool> spoilt{false};
    LinkOptions toModem(0, [&](const std::uint8_t *bytes, std::size_t count, Outlet &out) {
        const int number = count > 2 && bytes[0] == 0x01 ? bytes[1] : 0;
        if (number == 1 && block1At < 0)
            block1At = clock.elapsed();
        if (number == 3 && !spoilt.exchange(true))
            return out.Send(Damaged(bytes, count, Damage::Flip, 60));
        out.Send(bytes, count);
    });
    LinkOptions toVexa;
    toModem.delay = toVexa.delay = std::chrono::milliseconds(300);
    LinkRelay relay(toModem, toVexa);
    Open_Page(QString::fromStdString(relay.Slave_A()));
    fw.Reply_Timeout_Ms = kModemReplyTimeoutMs;  // rx lets a spoilt block's line fall quiet first
    const int far = ::open(relay.Slave_B().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(far, 0);
    const auto closeFar = qScopeGuard([far] { ::close(far); });
    Rx rx(far, received, true);
    ASSERT_TRUE(Wait_Until([&] { return fw.SpeedButton15->isVisible(); }, 10000));
    Flash(source);
    ASSERT_TRUE(Wait_Until([&] { return block1At >= 0 && clock.elapsed() >= block1At + 280; }, 3000));
    lrzsz::Write_All(far, "C", 1);
    ASSERT_TRUE(Wait_Until([&] { return !fw.Sender.Running(); }, 40000));
    if (Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"))
        EXPECT_EQ(Read_File(received), Padded(content));
    else
        EXPECT_TRUE(Screen_Shows("Прошивка прервана.\r"));
    EXPECT_TRUE(spoilt);
}

std::string Run_Name(const ::testing::TestParamInfo<Run> &info)
{
    static const char *const modes[] = {"", "Crc", "Crc1k"};
    return modes[int(info.param.mode)] + std::to_string(info.param.size);
}

// 33000 bytes are 258 blocks: the block number wraps from 255 to 0. With
// 1024-byte blocks the last part may go in 128-byte ones.
constexpr Xmodem_Mode kSum = Xmodem_Mode::Checksum, kCrc = Xmodem_Mode::Crc, k1k = Xmodem_Mode::Crc_1k;
INSTANTIATE_TEST_SUITE_P(FileSizes, LrzszReceiver,
                         ::testing::Values(Run{1, kSum, 1}, Run{128, kSum, 1}, Run{129, kSum, 2}, Run{200, kSum, 2},
                                           Run{256, kSum, 2}, Run{33000, kSum, 258}, Run{1, kCrc, 1}, Run{128, kCrc, 1},
                                           Run{1024, kCrc, 8}, Run{1025, kCrc, 9}, Run{40000, kCrc, 313},
                                           Run{1, k1k, 1}, Run{128, k1k, 1}, Run{1024, k1k, 1}, Run{1025, k1k, 2},
                                           Run{40000, k1k, 40}),
                         Run_Name);

}  // namespace
