// Two main windows in one process, each on its own end of a link: a socat
// pty pair, or the link relay with frames dropped, repeated, cut short,
// split, delayed, damaged, or a line that goes dead.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <mutex>
#include <random>

#include "link_relay.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"
#include "transfer/TransferSupport.h"
#include "transfer/WirePeer.h"

using vexa::linkrelay::Damage;
using vexa::linkrelay::LinkOptions;
using vexa::linkrelay::LinkRelay;
using vexa::linkrelay::Outlet;
using namespace std::chrono_literals;

namespace {

// Cuts one direction of the link into whole frames (by the wire format,
// not by the program's parser) and lets a script decide what becomes of
// each: nth counts the frames of its kind so far.
class FrameScript {
public:
    using Decide = std::function<void(const QByteArray &frame, int nth, Outlet &out)>;
    explicit FrameScript(Decide decide) : decide_(std::move(decide)) {}
    LinkOptions Options()
    {
        LinkOptions options;
        options.hook = [this](const std::uint8_t *bytes, std::size_t count, Outlet &out) {
            splitter_.Add(QByteArray(reinterpret_cast<const char *>(bytes), qsizetype(count)));
            for (QByteArray frame = splitter_.Next(); !frame.isEmpty(); frame = splitter_.Next())
                decide_(frame, ++counts_[wire::Kind(frame)], out);
        };
        return options;
    }

private:
    Decide decide_;
    wire::Splitter splitter_;
    QMap<QByteArray, int> counts_;
};

void Pass(const QByteArray &frame, Outlet &out, std::chrono::milliseconds delay = 0ms)
{
    out.Send(reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(frame.size()), delay);
}

void Pass_Damaged(const QByteArray &frame, Outlet &out, Damage damage, qsizetype at)
{
    out.Send(vexa::linkrelay::Damaged(reinterpret_cast<const std::uint8_t *>(frame.constData()),
                                      std::size_t(frame.size()), damage, std::size_t(at)));
}

FrameScript::Decide Pass_All()
{
    return [](const QByteArray &frame, int, Outlet &out) { Pass(frame, out); };
}

const qsizetype kFiveFrames = 4 * 32768 + 1000;

}  // namespace

// socat's pty pair holds less than one data frame, so the second window
// runs in a process of its own: in one process a frame written by one
// window would wait for the other, which shares its thread, to read it.
TEST(TwoInstances, AFewHundredKibibytesCrossASocatLinkIdenticalBothWays)
{
    const QString socat = QStandardPaths::findExecutable("socat");
    ASSERT_FALSE(socat.isEmpty()) << "socat is not installed";
    QTemporaryDir links;
    QProcess link;
    link.start(socat, {"-d", "-d", "pty,raw,echo=0,link=" + links.filePath("a"),
                       "pty,raw,echo=0,link=" + links.filePath("b")});
    ASSERT_TRUE(
        Wait_Until([&] { return QFileInfo::exists(links.filePath("a")) && QFileInfo::exists(links.filePath("b")); }));

    Application here;
    Open_File_Page(here, links.filePath("a"), 1000);
    QTemporaryDir there;
    QProcess partner;
    partner.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    partner.setReadChannel(QProcess::StandardOutput);
    auto partnerEnded = [&] { return partner.state() == QProcess::NotRunning; };

    const QByteArray data = Random_Bytes(300 * 1024 + 123, 21);
    const QString path = here.start.file("outgoing.bin");
    Write_File(path, data);
    partner.start(VEXA_TRANSFER_PARTNER, {links.filePath("b"), "receive", there.path(), "1000"});
    ASSERT_TRUE(Wait_Until([&] { return partner.canReadLine(); }, 8000));
    Send_File(here, path);
    EXPECT_TRUE(Wait_Until(partnerEnded, 9000));
    EXPECT_EQ(partner.exitCode(), 0);
    EXPECT_EQ(Read_File(there.filePath("ReseiveFile/outgoing.bin")), data);
    EXPECT_TRUE(Wait_Until([&] { return Sender_Idle(here); }));
    EXPECT_EQ(here.form->Form6->Edit3->text(), "10");

    // The other way round over the same link.
    const QByteArray back = Random_Bytes(70000, 22);
    Write_File(there.filePath("back.bin"), back);
    partner.start(VEXA_TRANSFER_PARTNER, {links.filePath("b"), "send", there.filePath("back.bin"), "1000"});
    ASSERT_TRUE(Accept_When_Asked(here, 8000));
    EXPECT_TRUE(Wait_Until(partnerEnded, 8000));
    EXPECT_EQ(partner.exitCode(), 0);
    EXPECT_EQ(Read_File(here.start.file("ReseiveFile/back.bin")), back);
    EXPECT_TRUE(here.catcher.messages().isEmpty()) << here.catcher.messages().join('|').toStdString();
    link.terminate();
    link.waitForFinished(2000);
}

namespace {

enum class Fault { DropAcknowledgement, DuplicateFrame, TruncateFrame, DropFrame, SplitAndDelay, DamageBytes };

// Long intervals leave a damaged frame no time to be repeated on a time-out:
// it must be asked for again at once.
struct LossyCase {
    Fault fault;
    const char *name;
    int senderMs = 1000, receiverMs = 1000;
};

void PrintTo(const LossyCase &c, std::ostream *out) { *out << c.name; }

class LossyLink : public ::testing::TestWithParam<LossyCase> {};

// Data frames go from A to B, acknowledgements from B to A.
std::pair<FrameScript::Decide, FrameScript::Decide> Scripts(Fault fault)
{
    auto onData = [](auto act) {
        return FrameScript::Decide([act](const QByteArray &frame, int nth, Outlet &out) {
            if (wire::Kind(frame) == "DTDT")
                act(frame, nth, out);
            else
                Pass(frame, out);
        });
    };
    switch (fault) {
    case Fault::DropAcknowledgement:
        return {Pass_All(), [](const QByteArray &frame, int nth, Outlet &out) {
                    if (wire::Kind(frame) != "DODO" || nth != 2)
                        Pass(frame, out);
                }};
    case Fault::DuplicateFrame:
        return {onData([](const QByteArray &frame, int nth, Outlet &out) {
                    Pass(frame, out);
                    if (nth == 2)
                        Pass(frame, out, 50ms);
                }),
                Pass_All()};
    case Fault::TruncateFrame:
        return {onData([](const QByteArray &frame, int nth, Outlet &out) {
                    Pass(nth == 2 ? frame.left(frame.size() - 100) : frame, out);
                }),
                Pass_All()};
    case Fault::DropFrame:
        return {onData([](const QByteArray &frame, int nth, Outlet &out) {
                    if (nth != 3)
                        Pass(frame, out);
                }),
                Pass_All()};
    case Fault::DamageBytes:
        // Data frames 2 to 4 pass with a byte added, one lost, the number
        // spoilt; the first acknowledgement with a byte added.
        return {onData([](const QByteArray &frame, int nth, Outlet &out) {
                    const Damage damages[] = {Damage::Insert, Damage::Delete, Damage::Flip};
                    nth<2 || nth> 4 ? Pass(frame, out)
                                    : Pass_Damaged(frame, out, damages[nth - 2], nth == 4 ? 5 : frame.size() / 2);
                }),
                [](const QByteArray &frame, int nth, Outlet &out) {
                    wire::Kind(frame) == "DODO" && nth == 1 ? Pass_Damaged(frame, out, Damage::Insert, 10)
                                                            : Pass(frame, out);
                }};
    case Fault::SplitAndDelay:
        // Each data frame arrives in pieces cut inside its header, inside
        // its data and inside its end token; the fourth also comes late.
        return {onData([](const QByteArray &frame, int nth, Outlet &out) {
                    const auto late = nth == 4 ? 300ms : 0ms;
                    const qsizetype cuts[] = {0, 3, 17, 5000, frame.size() - 2, frame.size()};
                    for (int i = 0; i + 1 < 6; ++i)
                        Pass(frame.mid(cuts[i], cuts[i + 1] - cuts[i]), out, late + 5ms * i);
                }),
                Pass_All()};
    }
    return {Pass_All(), Pass_All()};
}

}  // namespace

TEST_P(LossyLink, TheFileArrivesIdentical)
{
    auto [aToB, bToA] = Scripts(GetParam().fault);
    FrameScript forward(aToB), backward(bToA);
    LinkRelay relay(forward.Options(), backward.Options());
    Application sender, receiver;
    Open_File_Page(sender, QString::fromStdString(relay.Slave_A()), GetParam().senderMs);
    Open_File_Page(receiver, QString::fromStdString(relay.Slave_B()), GetParam().receiverMs);
    const QByteArray data = Random_Bytes(kFiveFrames, 30 + int(GetParam().fault));
    EXPECT_EQ(Transfer(sender, receiver, data), data);
    EXPECT_EQ(Received_Entries(receiver), QStringList{"outgoing.bin"});
    EXPECT_TRUE(receiver.catcher.messages().isEmpty()) << receiver.catcher.messages().join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Faults, LossyLink,
                         ::testing::Values(LossyCase{Fault::DropAcknowledgement, "DropAcknowledgement"},
                                           LossyCase{Fault::DuplicateFrame, "DuplicateFrame"},
                                           LossyCase{Fault::TruncateFrame, "TruncateFrame"},
                                           LossyCase{Fault::DropFrame, "DropFrame"},
                                           LossyCase{Fault::SplitAndDelay, "SplitAndDelay"},
                                           LossyCase{Fault::DamageBytes, "DamageBytes", 30000, 30000},
                                           // The receiver asks a sender slower than itself.
                                           LossyCase{Fault::DropAcknowledgement, "SlowSender", 30000, 300}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(TwoInstances, ALinkThatStaysDeadEndsBothSidesWithNoFileLeft)
{
    // The line dies just after the first acknowledgement got through.
    auto dead = std::make_shared<std::atomic<bool>>(false);
    FrameScript forward([dead](const QByteArray &frame, int, Outlet &out) {
        if (!*dead)
            Pass(frame, out);
    });
    FrameScript backward([dead](const QByteArray &frame, int, Outlet &out) {
        if (*dead)
            return;
        Pass(frame, out);
        if (frame == wire::Ack(1))
            *dead = true;
    });
    LinkRelay relay(forward.Options(), backward.Options());
    Application sender, receiver;
    Open_File_Page(sender, QString::fromStdString(relay.Slave_A()), 250);
    Open_File_Page(receiver, QString::fromStdString(relay.Slave_B()), 250);
    const QString path = sender.start.file("doomed.bin");
    Write_File(path, Random_Bytes(kFiveFrames, 40));
    Send_File(sender, path);
    ASSERT_TRUE(Accept_When_Asked(receiver));

    const QString noAnswer = QString::fromUtf8("Нет соединения или нет ответа удаленной стороны");
    // Both windows report through the one message seam the last catcher holds.
    EXPECT_TRUE(Wait_Until([&] { return receiver.catcher.messages().size() == 2; }, 6000));
    EXPECT_EQ(receiver.catcher.messages(), QStringList(2, noAnswer));
    EXPECT_EQ(sender.form->Transfer->State.Sender.State(), SendSession::Phase::Idle);
    EXPECT_EQ(receiver.form->Transfer->State.Receiver.State(), ReceiveSession::Phase::Idle);
    EXPECT_FALSE(receiver.form->Form5->isVisible());
    EXPECT_EQ(Received_Entries(receiver), QStringList());
    EXPECT_FALSE(sender.form->Transfer->FileDataSend->Active());
    EXPECT_FALSE(receiver.form->Transfer->TimerReceiveWait->Active());
}

// One frame in twenty, either way, is damaged once: a byte added or lost
// anywhere, or flipped where the frame carries no file data. (A flipped data
// byte cannot be told from the data itself: the protocol has no checksum.)
TEST(TwoInstances, AMebibyteOverALineThatDamagesOneFrameInTwentyArrivesIdentical)
{
    auto damaged = std::make_shared<std::atomic<int>>(0);
    auto noisy = [damaged](unsigned seed) {
        auto random = std::make_shared<std::mt19937>(seed);
        return FrameScript::Decide([damaged, random](const QByteArray &frame, int, Outlet &out) {
            if ((*random)() % 20 != 0)
                return Pass(frame, out);
            ++*damaged;
            const auto damage = Damage((*random)() % 3);
            const qsizetype header = wire::Kind(frame) == "DTDT" ? 23 : frame.size() - 5;
            qsizetype at = qsizetype((*random)() % quint32(frame.size()));
            if (damage == Damage::Flip && at >= header && at < frame.size() - 5)
                at %= header;
            Pass_Damaged(frame, out, damage, at);
        });
    };
    FrameScript forward(noisy(19)), backward(noisy(119));  // seven damages, of all three kinds
    LinkRelay relay(forward.Options(), backward.Options());
    Application sender, receiver;
    Open_File_Page(sender, QString::fromStdString(relay.Slave_A()), 1000);
    Open_File_Page(receiver, QString::fromStdString(relay.Slave_B()), 1000);
    const QByteArray data = Random_Bytes(1 << 20, 50);
    EXPECT_EQ(Transfer(sender, receiver, data, 20000), data);
    EXPECT_GE(*damaged, 3);
    EXPECT_TRUE(Read_File(sender.start.file("Logs/FileLog.atl")).endsWith(Cp("***КОНЕЦ ПЕРЕДАЧИ ФАЙЛА***\r\r")));
    EXPECT_TRUE(receiver.catcher.messages().isEmpty()) << receiver.catcher.messages().join('|').toStdString();
}

// The receive folder vanishes before the last frame, and the refusal that
// says so is lost: the sender's repeat of the last frame is refused again,
// never acknowledged, and neither side reports a file that does not exist.
TEST(TwoInstances, AFileThatCannotBeStoredIsNeverAcknowledged)
{
    Application sender, receiver;
    const QString folder = receiver.start.file("ReseiveFile");
    auto acknowledgements = std::make_shared<std::atomic<int>>(0);
    FrameScript forward([folder](const QByteArray &frame, int, Outlet &out) {
        if (wire::Kind(frame) == "DTDT" && wire::Number(frame) == 3)
            QDir(folder).removeRecursively();
        Pass(frame, out);
    });
    FrameScript backward([acknowledgements](const QByteArray &frame, int nth, Outlet &out) {
        *acknowledgements += wire::Kind(frame) == "DODO";
        if (frame != wire::Reply(false) || nth > 2)  // the acceptance, then the first refusal
            Pass(frame, out);
    });
    LinkRelay relay(forward.Options(), backward.Options());
    Open_File_Page(sender, QString::fromStdString(relay.Slave_A()), 300);
    Open_File_Page(receiver, QString::fromStdString(relay.Slave_B()), 300);
    Write_File(sender.start.file("doomed.bin"), Random_Bytes(2 * 32768 + 5, 60));
    Send_File(sender, sender.start.file("doomed.bin"));
    ASSERT_TRUE(Accept_When_Asked(receiver));

    EXPECT_TRUE(Wait_Until([&] { return !receiver.catcher.messages().isEmpty(); }));
    Pump(700);  // further repeats would come within this
    EXPECT_EQ(receiver.catcher.messages(),
              QStringList{QString::fromUtf8("В приеме файла отказано удаленной стороной")});
    ASSERT_EQ(receiver.catcher.errors().size(), 1);
    EXPECT_TRUE(receiver.catcher.errors()[0].startsWith(QString::fromUtf8("Ошибка записи файла ")));
    EXPECT_EQ(*acknowledgements, 2);
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(Read_File(sender.start.file("Logs/FileLog.atl")).contains(Cp("***КОНЕЦ ПЕРЕДАЧИ ФАЙЛА***")));
    EXPECT_EQ(sender.form->Transfer->State.Sender.State(), SendSession::Phase::Idle);
}
