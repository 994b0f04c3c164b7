// A download over the network: the window holds "rfc2217://127.0.0.1:PORT"
// served by a real ser2net, and lrzsz's rx takes the file on the far end of
// the pty pair ser2net serves. Every block crosses telnet, where the file's
// 0xFF bytes must travel doubled and arrive single.

#include <QScopeGuard>
#include <fcntl.h>
#include <unistd.h>

#include "platform/Ser2netServer.h"
#include "xmodem/LrzszRx.h"
#include "xmodem/ProgrammingFixture.h"

namespace {

class Ser2netDownload : public ProgrammingPageTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Ready()) << server.Why_Not().toStdString();
        Open_Page(server.Name());
    }

    // ser2net's own 64-byte buffers would make each block a dozen hops.
    Ser2netServer server{QString(), 65536};
};

// 33000 bytes are 258 blocks: the block number wraps from 255 to 0.
TEST_F(Ser2netDownload, LrzszRxOnTheFarEndTakesAFileWhoseBlockNumberWraps)
{
    const QByteArray content = Firmware_Bytes(33000, 13);
    ASSERT_GT(content.count('\xFF'), 100);
    const QString source = Write_Firmware("firmware.bin", content);
    const QString received = app.start.file("received.bin");
    FieldHistory sent(fw.Edit9), repeats(fw.Edit11);

    const int far = ::open(server.Far().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(far, 0) << server.Far().toStdString();
    const auto closeFar = qScopeGuard([far] { ::close(far); });
    lrzsz::Rx rx(far, received);
    ASSERT_TRUE(Wait_Until([&] { return fw.SpeedButton15->isVisible(); }, 10000));
    Flash(source);
    ASSERT_TRUE(Locked());
    EXPECT_EQ(rx.Wait(20000), 0);
    ASSERT_TRUE(Wait_Until([&] { return Screen_Shows("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r"); }));

    EXPECT_EQ(Read_File(received), Padded(content));
    EXPECT_EQ(sent.last(), "258");
    EXPECT_EQ(repeats.last(), "");
    EXPECT_FALSE(Screen_Shows("ПОВТОР"));
    EXPECT_FALSE(Locked());
    Expect_Released();
    EXPECT_TRUE(f.Serial->PortHeld);
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
}

}  // namespace
