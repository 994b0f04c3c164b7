// File transfer over the network: one window holds "rfc2217://127.0.0.1:PORT"
// served by a real ser2net, the other holds the far end of the pty pair
// ser2net serves, as a second computer on the modem's line would. Both run
// in this process: the network port reads its connection on a thread of its
// own and holds a mebibyte, so a frame one window writes never waits for the
// other's main thread.

#include <gtest/gtest.h>

#include <QLineEdit>

#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Ser2netServer.h"
#include "transfer/SendFile.h"
#include "transfer/TransferSupport.h"

namespace {

// Random bytes with what telnet could mistake for its own: IAC (0xFF) alone
// and doubled, IAC before a command or a subnegotiation, and the CR NUL and
// CR LF an NVT line would rewrite.
QByteArray Telnet_Like_Bytes(qsizetype size, unsigned seed)
{
    QByteArray bytes = Random_Bytes(size, seed);
    const QByteArray traps[] = {
        QByteArray("\xFF", 1),     QByteArray("\xFF\xFF", 2),     QByteArray("\xFF\xFA\x2C\x01", 4),
        QByteArray("\xFF\xF0", 2), QByteArray("\xFF\xFD\x00", 3), QByteArray("\r\0", 2),
        QByteArray("\r\n", 2),     QByteArray(300, '\xFF'),
    };
    qsizetype at = 0;
    for (int i = 0; at + 300 < size; ++i, at += 997)
        bytes.replace(at, traps[i % std::size(traps)].size(), traps[i % std::size(traps)]);
    return bytes;
}

class Ser2netTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Ready()) << server.Why_Not().toStdString();
        Open_File_Page(network, server.Name(), 1000);
        ASSERT_TRUE(network.form->Serial->PortHeld) << network.catcher.messages().join('|').toStdString();
        Open_File_Page(direct, server.Far(), 1000);
        ASSERT_TRUE(direct.form->Serial->PortHeld) << direct.catcher.messages().join('|').toStdString();
    }

    // ser2net's own 64-byte buffers would make a frame hundreds of hops.
    Ser2netServer server{QString(), 65536};
    Application network, direct;
};

}  // namespace

// 45000 bytes are two frames, the second one short.
TEST_F(Ser2netTransfer, AFileFullOfTelnetBytesArrivesIdenticalBothWays)
{
    const QByteArray out = Telnet_Like_Bytes(45000, 51);
    ASSERT_GT(out.count('\xFF'), 1000);
    EXPECT_EQ(Transfer(network, direct, out), out);
    EXPECT_EQ(network.form->Form6->Edit3->text(), "2");

    const QByteArray back = Telnet_Like_Bytes(45000, 52);
    EXPECT_EQ(Transfer(direct, network, back), back);
    EXPECT_EQ(Received_Entries(network), QStringList{"outgoing.bin"});
    EXPECT_EQ(Received_Entries(direct), QStringList{"outgoing.bin"});
    // Both windows report through the one message seam the last catcher holds.
    EXPECT_TRUE(direct.catcher.messages().isEmpty()) << direct.catcher.messages().join('|').toStdString();
    EXPECT_TRUE(network.form->Serial->PortHeld);
    EXPECT_TRUE(direct.form->Serial->PortHeld);
}
