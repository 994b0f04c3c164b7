// lrzsz's rx, an XMODEM receiver we did not write, takes Vexa's download on
// the master side of a real pseudo-terminal.

#include "xmodem/LrzszRx.h"
#include "xmodem/ProgrammingFixture.h"

namespace {

using lrzsz::Rx;

class LrzszReceiver : public ProgrammingPageTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { Open_Page(pty.slavePath()); }
    Pty pty;
};

TEST_P(LrzszReceiver, TakesTheFilePaddedWithSubstitutes)
{
    const int size = GetParam();
    const QByteArray content = Firmware_Bytes(size, unsigned(size));
    const QString source = Write_Firmware("firmware.bin", content);
    const QString received = app.start.file("received.bin");
    FieldHistory sent(fw.Edit9), total(fw.Edit10), repeats(fw.Edit11);

    Rx rx(pty.master(), received);
    ASSERT_TRUE(Wait_Until([&] { return fw.SpeedButton15->isVisible(); }, 10000));
    Flash(source);
    EXPECT_EQ(rx.Wait(20000), 0);
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }));

    EXPECT_EQ(Read_File(received), Padded(content));
    const QString blocks = QString::number((size + 127) / 128);
    EXPECT_EQ(sent.last(), blocks);
    EXPECT_EQ(total.last(), blocks);
    EXPECT_EQ(repeats.last(), "");
    EXPECT_TRUE(Screen_Shows("МОДЕМ ГОТОВ К ПРОШИВКЕ...\rНАЧАЛО ПРОШИВКИ\r"));
    EXPECT_FALSE(Screen_Shows("ПОВТОР"));
    Expect_Released();
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

// 33000 bytes are 258 blocks: the block number wraps from 255 to 0.
INSTANTIATE_TEST_SUITE_P(FileSizes, LrzszReceiver, ::testing::Values(1, 128, 129, 200, 256, 33000));

}  // namespace
