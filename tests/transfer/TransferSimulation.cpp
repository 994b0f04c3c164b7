#include "transfer/TransferSimulation.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>
#include <random>

#include "platform/FileDialogs.h"
#include "support/SeamDoubles.h"
#include "support/TestSupport.h"
#include "support/VirtualClock.h"
#include "transfer/FileTransfer.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"

namespace transfer_sim {

namespace {

using Random = std::mt19937_64;

int Uniform(Random &r, int low, int high) { return std::uniform_int_distribution<int>(low, high)(r); }
bool Chance(Random &r, double p) { return std::uniform_real_distribution<double>(0, 1)(r) < p; }
int Frame_Time_Ms(const LineTiming &line) { return line.baud ? int(kMaxFrameLength * 10000LL / line.baud) : 0; }

// Runs are many and short: their files stay in memory where the system
// offers it.
QString Scratch(const QString &name)
{
    static QTemporaryDir root((QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
                              QStringLiteral("/vexa-sim-XXXXXX"));
    return root.filePath(name);
}

// One Vexa: its page and dialogs offscreen, its console and its link.
struct Side {
    Side(const char *name, VirtualClock &clock)
        : start(Scratch(name)), transfer(&page, clock, link, console, {[this] { return Enter(); }, [] {}})
    {
        QDir(start).removeRecursively();
        QDir(start).mkpath("ReseiveFile");
        QDir(start).mkpath("Logs");
        transfer.Attach_Dialogs(&receive, &send);
    }
    QString Enter() const
    {
        QDir::setCurrent(start);
        return start;
    }
    // What the user was told, an empty file's notice aside.
    QStringList Told() const
    {
        QStringList told = console.messages + console.errors;
        told.removeAll(QStringLiteral("Файл пуст, размер = 0 байт"));
        return told;
    }

    QString start;
    QWidget page;
    RecordingConsole console;
    TestLink link;
    TForm5 receive;
    TForm6 send;
    FileTransfer transfer;
};

class On_Show : public QObject {
public:
    On_Show(QWidget *widget, std::function<void()> fn) : fn_(std::move(fn)) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            fn_();
        return false;
    }

private:
    std::function<void()> fn_;
};

// An announcement that still reads well with another name or size: the
// receiver can no more know it than a changed data byte.
bool Unseen_Announcement(const QByteArray &frame, const QByteArray &out)
{
    const QByteArray read = out.mid(out.indexOf("FNFN0"), kAnnouncementLength);
    if (!frame.startsWith("FNFN0") || !read.startsWith("FNFN0") || read.size() < frame.size() ||
        !read.endsWith("FNFN1"))
        return false;
    Announced a, b;
    Read_Announcement(reinterpret_cast<const std::uint8_t *>(frame.constData()), a);
    return Read_Announcement(reinterpret_cast<const std::uint8_t *>(read.constData()), b) == AnnouncementCheck::Good &&
           (a.name != b.name || a.size != b.size);
}

// A schedule's random faults: a frame lost whole, or up to three bytes lost,
// added or changed, half of them among the tokens and fields. A byte lost
// and another gained would keep a data frame's length and move its data as
// changed bytes do, so a data frame gets one of them at most. A changed
// data byte is noted by its place in the file.
QByteArray Random_Fate(const Schedule &s, Random &r, const QByteArray &frame, bool toReceiver,
                       std::set<qsizetype> &flips)
{
    if (Chance(r, s.drop))
        return {};
    if (!Chance(r, s.spoil))
        return frame;
    const bool data = frame.startsWith("DTDT0");
    const qsizetype fields = data ? kDataOffset + kTokenLength : frame.size();
    std::set<qsizetype, std::greater<>> places;
    for (int n = Uniform(r, 1, 3); n > 0; --n) {
        const qsizetype field = Uniform(r, 0, int(fields) - 1);
        places.insert(Chance(r, 0.5)        ? Uniform(r, 0, int(frame.size()) - 1)
                      : field < kDataOffset ? field
                                            : frame.size() - (fields - field));
    }
    QByteArray out = frame;
    bool shifted = false;
    for (const qsizetype at : places) {
        const bool inData = data && at >= kDataOffset && at < frame.size() - qsizetype(kTokenLength);
        int kind = Uniform(r, 0, 2);  // lose, add, change
        if (data && kind < 2 && shifted)
            kind = 2;
        if (inData && kind == 2 && !s.data_flips)
            continue;
        shifted = shifted || kind < 2;
        if (kind == 0)
            out.remove(at, 1);
        else if (kind == 1)
            out.insert(at + 1, char(Uniform(r, 0, 255)));
        else
            out[at] = char(out[at] ^ (1 << Uniform(r, 0, 7)));
        if (kind == 2 && inData && toReceiver) {
            const auto number = Field_Number(reinterpret_cast<const std::uint8_t *>(frame.constData()) + kNumberOffset,
                                             kNumberFieldWidth);
            flips.insert(qsizetype(*number - 1) * kPacketSize + at - kDataOffset);
        }
    }
    return Unseen_Announcement(frame, out) ? frame : out;
}

// The longest a run may take: every wait of either side spent in full, each
// with a frame's time on both lines and both delays.
std::int64_t Bound_Ms(const Schedule &s)
{
    const std::int64_t line = Frame_Time_Ms(s.forward) + Frame_Time_Ms(s.backward) + s.forward.delay_ms +
                              s.forward.jitter_ms + s.backward.delay_ms + s.backward.jitter_ms + 20;
    const std::int64_t frames = std::int64_t(Packet_Plan(std::uint64_t(s.size)).total);
    const std::int64_t sends = (frames + 2) * (kMaxUncountedRepeats + 1) + 2 * kMaxCountedRetries + kRefusalsAfterLast;
    const std::int64_t users = std::max<std::int64_t>({s.accept_after_ms, s.sender_cancel_at, s.receiver_cancel_at});
    return users + sends * (s.sender_packet_ms + line) +
           (kMaxUnansweredRequests + 2) * (s.receiver_packet_ms + s.receiver_frame_ms + line);
}

// A frame as a trace shows it: its fields, not its data.
QString Shown(QByteArray frame)
{
    if (frame.size() > 100)
        frame = frame.left(kDataOffset) + "..." + frame.right(kTokenLength);
    return QString::fromLatin1(frame.replace('\0', '.'));
}

}  // namespace

Schedule Random_Schedule(std::uint64_t seed)
{
    Random r(seed);
    Schedule s;
    s.seed = seed;
    const int size = Uniform(r, 0, 99);
    s.size = size < 2    ? 0
             : size < 12 ? Uniform(r, 1, 100)
             : size < 40 ? Uniform(r, 101, kPacketSize - 1)
             : size < 60 ? qsizetype(kPacketSize) * Uniform(r, 1, 4)
                         : Uniform(r, kPacketSize + 1, 4 * kPacketSize + 1000);
    s.repeated_blocks = Chance(r, 0.2);
    for (LineTiming *line : {&s.forward, &s.backward}) {
        const std::uint32_t speeds[] = {0, 57600, 115200, 460800};
        line->baud = speeds[Uniform(r, 0, 3)];
        line->delay_ms = Uniform(r, 0, 1000);
        line->jitter_ms = Uniform(r, 0, 300);
        line->max_chunk = Chance(r, 0.5) ? 0 : Uniform(r, 1, 8192);
    }
    // Each interval covers a whole frame on the line, as the page asks of its
    // user; a packet interval may still be shorter than the way there and
    // back, and the sender then repeats frames that were not lost.
    const int frame = std::max(Frame_Time_Ms(s.forward), Frame_Time_Ms(s.backward)) + s.forward.jitter_ms + 200;
    s.sender_packet_ms = frame + Uniform(r, 0, 2500);
    s.sender_frame_ms = frame + Uniform(r, 0, 2500);
    const bool same = Chance(r, 0.7);
    s.receiver_packet_ms = same ? s.sender_packet_ms : frame + Uniform(r, 0, 6000);
    s.receiver_frame_ms = same ? s.sender_frame_ms : frame + Uniform(r, 0, 6000);
    s.spoil = Chance(r, 0.2) ? 0 : std::uniform_real_distribution<double>(0, 0.25)(r);
    s.drop = Chance(r, 0.3) ? 0 : std::uniform_real_distribution<double>(0, 0.15)(r);
    s.data_flips = Chance(r, 0.15);
    s.accept_after_ms = Uniform(r, 0, 3000);
    s.refuse = Chance(r, 0.05);
    s.sender_cancel_at = Chance(r, 0.05) ? Uniform(r, 0, 20000) : -1;
    s.receiver_cancel_at = Chance(r, 0.05) ? Uniform(r, 0, 20000) : -1;
    return s;
}

Outcome Run_Schedule(const Schedule &s)
{
    Random random(s.seed ^ 0x5eed);
    VirtualClock clock;
    Side sender("sender", clock), receiver("receiver", clock);
    sender.transfer.Packet_Interval = s.sender_packet_ms;
    sender.transfer.Frame_Receive_Interval = s.sender_frame_ms;
    receiver.transfer.Packet_Interval = s.receiver_packet_ms;
    receiver.transfer.Frame_Receive_Interval = s.receiver_frame_ms;
    auto trace = [&](const QString &what) {
        if (s.trace)
            s.trace(QString::number(clock.Now_Ms()) + ' ' + what);
    };

    QByteArray data(s.size, '\0');
    Random content(s.seed);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = s.repeated_blocks && i >= kPacketSize ? data[i % kPacketSize] : char(content());
    const QString source = sender.start + "/image.bin";
    Write_File(source, data);

    std::set<qsizetype> flips;
    QMap<QByteArray, int> counts[2];
    auto feed = [](Side &to) {
        return [&to](const QByteArray &chunk) {
            to.transfer.Parse_File_Frames(reinterpret_cast<const std::uint8_t *>(chunk.constData()),
                                          std::uint32_t(chunk.size()));
        };
    };
    SimulatedLine forward(clock, random, s.forward, {}, feed(receiver)),
        backward(clock, random, s.backward, {}, feed(sender));
    for (Side *side : {&sender, &receiver})
        side->link.Set_Writer([&, toReceiver = side == &sender](const QByteArray &frame) {
            const int nth = ++counts[toReceiver][frame.left(4)];
            const QByteArray travels =
                s.fate ? s.fate(frame, nth, toReceiver) : Random_Fate(s, random, frame, toReceiver, flips);
            trace((toReceiver ? "-> " : "<- ") + Shown(frame) +
                  (travels == frame    ? QString()
                   : travels.isEmpty() ? " LOST"
                                       : " AS " + Shown(travels)));
            (toReceiver ? forward : backward).Send(travels);
            return true;
        });

    // The users: the receiver's answers its dialog after a while, either
    // user may press "Отмена" while a transfer shows.
    bool asked = false, refused = s.refuse, cancelled = false;
    On_Show answer(&receiver.receive, [&] {
        asked = true;
        clock.After(s.accept_after_ms, [&] {
            if (receiver.receive.isVisible() &&
                receiver.transfer.State.Receiver.State() == ReceiveSession::Phase::Asked) {
                trace(s.refuse ? "receiver refuses" : "receiver accepts");
                (s.refuse ? receiver.receive.SpeedButton2 : receiver.receive.SpeedButton1)->click();
            }
        });
    });
    auto press = [&](std::int64_t at, QPushButton *cancel, QWidget *dialog, bool &pressed, const char *who) {
        if (at >= 0)
            clock.After(at, [&, cancel, dialog, who] {
                if (dialog->isVisible()) {
                    pressed = true;
                    trace(who);
                    cancel->click();
                }
            });
    };
    press(s.sender_cancel_at, sender.send.SpeedButton1, &sender.send, cancelled, "sender cancels");
    press(s.receiver_cancel_at, receiver.receive.SpeedButton2, &receiver.receive, refused, "receiver cancels");

    vexa::Set_File_Dialog_Sink([&](const vexa::FileDialogRequest &) { return source; });
    sender.transfer.SpeedButton11->click();
    sender.transfer.SpeedButton12->click();
    vexa::Set_File_Dialog_Sink(nullptr);

    Outcome run;
    run.bound = Bound_Ms(s);
    run.ended = clock.Run_Until(run.bound) && clock.Active_Timers().empty() && !sender.send.Clock_Running() &&
                !receiver.receive.Clock_Running() && !receiver.receive.isVisible();
    run.ended_at = clock.Now_Ms();

    const QString stored = receiver.start + "/ReseiveFile/image.bin";
    const QByteArray got = Read_File(stored);
    run.kept = QFile::exists(stored);
    run.completed = Read_File(sender.start + "/Logs/FileLog.atl").contains(Cp("***КОНЕЦ ПЕРЕДАЧИ ФАЙЛА***"));
    if (run.kept && got != data) {
        run.flagged = got.size() == data.size();
        for (qsizetype i = 0; run.flagged && i < got.size(); ++i)
            run.flagged = got[i] == data[i] || flips.count(i);
        run.wrong_file = !run.flagged;
    }
    // An empty file is told as such on both sides and sends no frame.
    const bool empty = s.size == 0 && sender.console.messages.contains(QStringLiteral("Файл пуст, размер = 0 байт"));
    run.sender_told = sender.Told();
    run.receiver_told = receiver.Told();
    const bool senderFailed = !run.sender_told.isEmpty() || cancelled;
    // A spoilt announcement may read as a name no receiver takes: that one
    // is refused with its box, and the sender's repeat is then served. The
    // box told the truth about another announcement.
    QStringList receiverFailed = run.receiver_told;
    receiverFailed.removeAll(QStringLiteral("Недопустимое имя принимаемого файла, в приеме отказано"));
    if (run.kept)
        run.agree = (run.completed || empty) && !senderFailed && receiverFailed.isEmpty();
    else
        run.agree = !run.completed && senderFailed && (!run.receiver_told.isEmpty() || refused || !asked);
    run.story = QStringLiteral("sender: %1%2%3 | receiver: %4%5%6%7")
                    .arg(run.completed ? "КОНЕЦ; " : "", cancelled ? "cancelled; " : "", run.sender_told.join("; "),
                         run.kept ? "kept; " : "", asked ? "" : "never asked; ", refused ? "refused; " : "",
                         run.receiver_told.join("; "));
    return run;
}

}  // namespace transfer_sim
