#include "xmodem/XmodemSchedules.h"

#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <random>

#include "platform/Cp1251.h"
#include "support/SeamDoubles.h"
#include "support/VirtualClock.h"
#include "xmodem/FirmwareDownload.h"

namespace xmodem_sim {

namespace {

using vexa::modemsim::XmodemReceiver;

QByteArray Cp(const char *utf8) { return vexa::Cp1251_Encode(QString::fromUtf8(utf8)); }

// Vexa's side and the modem's side of one schedule. The modem's answers
// leave in order; one that accepts a block stores it before it answers and
// waits for nothing meanwhile.
class Simulation : public Console {
public:
    Simulation(const Schedule &s, const std::function<void(const QString &)> &trace)
        : s_(s),
          trace_(trace),
          random_(s.seed),
          rx_(s.nak_interval_ms, s.faults, s.asking),
          toModem_(clock_, random_, s.to_modem, {0, 0, 0, s.drop}, [this](const QByteArray &chunk) { Hear(chunk); }),
          toVexa_(clock_, random_, s.to_vexa, s.lose,
                  [this](const QByteArray &chunk) {
                      Trace("modem -> Vexa", chunk);
                      fw_->Scan_Modem_Reply(reinterpret_cast<const std::uint8_t *>(chunk.constData()),
                                            std::uint32_t(chunk.size()));
                  }),
          // A line without time on it is a port at some speed all the same.
          link_([this](const QByteArray &bytes) { return Write(bytes); }, s.to_modem.baud ? s.to_modem.baud : 115200),
          fw_(std::make_unique<FirmwareDownload>(
              &page_, clock_, link_, *this,
              FirmwareDownload::Window_Hooks{[this](bool locked) { run_.locked = locked; }, [] {},
                                             [](const char *, const QString &) { return QString(); }, [] {}}))
    {
    }

    Schedule_Run Run(const QString &file, const QByteArray &content)
    {
        file_ = file;
        Answer(rx_.start(0), 0);
        Arm_Tick();
        for (const auto &[at, bytes] : s_.noise)
            clock_.After(at, [this, bytes = bytes] { toVexa_.Noise(bytes); });
        run_.settled = clock_.Run_Until(4 * 3600 * 1000);
        run_.timers = clock_.Active_Timers();
        // The file's bytes and then nothing but padding.
        const QByteArray held = QByteArray::fromStdString(rx_.image());
        run_.image_whole =
            held.startsWith(content) && held.count('\x1A') - content.count('\x1A') == held.size() - content.size();
        return run_;
    }

    void Print(const QByteArray &bytes, ColorRef) override
    {
        if (trace_)
            trace_(QStringLiteral("%1 ms  %2").arg(clock_.Now_Ms(), 7).arg(vexa::Cp1251_Decode(bytes)));
        const bool complete = bytes == Cp("ПРОШИВКА МОДЕМА ЗАВЕРШЕНА\r");
        if (complete || bytes.endsWith(Cp("Прошивка прервана.\r")) || bytes.endsWith(Cp("Прошивка не завершена.\r"))) {
            run_.complete = run_.complete || complete;
            ++run_.outcomes;
        } else if (bytes == Cp("МОДЕМ ГОТОВ К ПРОШИВКЕ...\r") && !std::exchange(pressing_, true)) {
            clock_.After(s_.press_after_ms, [this] {
                fw_->CheckBox6->setChecked(s_.one_k);
                fw_->Show_Firmware_File(file_, true);
                fw_->SpeedButton15Click();
                run_.pressed = true;
            });
        }
    }
    void New_Line() override {}
    void Notice(const QString &, vexa::MessageKind) override {}

private:
    // One bit changed in a write: every check the receiver makes sees it.
    bool Write(QByteArray bytes)
    {
        run_.written_after_end = run_.written_after_end || run_.outcomes > 0;
        Trace("Vexa -> modem", bytes);
        if (std::bernoulli_distribution(s_.spoil)(random_))
            bytes[Pick(0, int(bytes.size()) - 1)] ^= char(1 << Pick(0, 7));
        toModem_.Send(bytes);
        return true;
    }

    void Hear(const QByteArray &chunk)
    {
        if (clock_.Now_Ms() < busyUntil_)
            return void(unread_ += chunk);
        if (rx_.outcome() != XmodemReceiver::Outcome::Running)
            return;
        const std::size_t held = rx_.blocks();
        const XmodemReceiver::Step step = rx_.feed(chunk.toStdString(), clock_.Now_Ms());
        const int store = rx_.blocks() > held && s_.store_ms > 0 ? Pick(0, s_.store_ms) : 0;
        Answer(step.reply + (step.outcome == XmodemReceiver::Outcome::Abandoned ? s_.after_cancel.toStdString() : ""),
               store);
        if (store == 0)
            return Arm_Tick();
        busyUntil_ = clock_.Now_Ms() + store;
        clock_.After(store, [this] {
            rx_.resume(clock_.Now_Ms());
            Arm_Tick();
            if (!unread_.isEmpty())
                Hear(std::exchange(unread_, {}));
        });
    }

    void Arm_Tick()
    {
        if (rx_.outcome() != XmodemReceiver::Outcome::Running)
            return;
        clock_.After(rx_.deadline() - clock_.Now_Ms(), [this, tick = ++tick_] {
            if (tick != tick_ || clock_.Now_Ms() < busyUntil_)
                return;
            Answer(rx_.tick(clock_.Now_Ms()).reply, 0);
            Arm_Tick();
        });
    }

    void Answer(const std::string &reply, int delay)
    {
        if (reply.empty())
            return;
        Trace(qPrintable(QStringLiteral("modem holding %1 blocks answers").arg(rx_.blocks())),
              QByteArray::fromStdString(reply));
        const int late = s_.turnaround_ms > 0 ? Pick(0, s_.turnaround_ms) : 0;
        answerAt_ = std::max(answerAt_, clock_.Now_Ms() + delay + late);
        clock_.After(answerAt_ - clock_.Now_Ms(),
                     [this, bytes = QByteArray::fromStdString(reply)] { toVexa_.Send(bytes); });
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    void Trace(const char *what, const QByteArray &bytes)
    {
        if (trace_)
            trace_(QStringLiteral("%1 ms  %2 %3 bytes: %4")
                       .arg(clock_.Now_Ms(), 7)
                       .arg(QLatin1String(what))
                       .arg(bytes.size())
                       .arg(QString::fromLatin1(bytes.left(4).toHex(' '))));
    }

    const Schedule &s_;
    const std::function<void(const QString &)> &trace_;
    QString file_;
    VirtualClock clock_;
    std::mt19937_64 random_;
    XmodemReceiver rx_;
    SimulatedLine toModem_, toVexa_;
    TestLink link_;
    QWidget page_;
    std::unique_ptr<FirmwareDownload> fw_;
    Schedule_Run run_;
    bool pressing_ = false;
    std::int64_t answerAt_ = 0, busyUntil_ = 0;
    QByteArray unread_;  // arrived while it stored a block
    std::uint64_t tick_ = 0;
};

}  // namespace

QString Schedule_Run::Fault() const
{
    const std::pair<bool, const char *> faults[] = {
        {False_Complete(), "complete, but the modem does not hold the image"},
        {outcomes != (pressed ? 1 : 0), "not one outcome"},
        {!settled, "still running when the schedule ended"},
        {!timers.empty(), "a timer left running"},
        {written_after_end, "written after the end"},
        {locked, "the page stayed locked"}};
    for (const auto &[broken, text] : faults)
        if (broken)
            return QString::fromLatin1(text);
    return {};
}

Schedule_Run Run_Schedule(const Schedule &schedule, const std::function<void(const QString &)> &trace)
{
    static QTemporaryDir folder;
    std::mt19937_64 random(schedule.seed);
    QByteArray content(schedule.size, '\0');
    for (char &byte : content)
        byte = char(random());
    QFile file(folder.filePath(QStringLiteral("image.bin")));
    file.open(QIODevice::WriteOnly);
    file.write(content);
    file.close();
    return Simulation(schedule, trace).Run(file.fileName(), content);
}

// Lines from a cable on the desk to a modem a second away, receivers of
// every kind that ask sooner or later, spoilt blocks, lost answers, noise,
// receivers slow to store a block, receivers that give up.
Schedule Random_Schedule(std::uint64_t seed)
{
    std::mt19937_64 random(seed ^ 0x5EEDu);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const auto chance = [&](int percent) { return pick(1, 100) <= percent; };
    Schedule s;
    s.seed = seed;
    s.size = chance(5) ? pick(32000, 40000) : pick(1, 5000);
    s.one_k = chance(50);
    const int kind = pick(0, 2);  // NAK, 'C', 'C' then NAK
    s.asking = {kind > 0, chance(50) ? pick(50, 3000) : 0, kind == 2 ? 3 : 0, pick(200, 1500)};
    s.nak_interval_ms = pick(3000, 10000);
    s.store_ms = chance(15) ? pick(0, 10000) : chance(30) ? pick(0, 300) : 0;
    s.turnaround_ms = chance(30) ? pick(0, 500) : 0;
    const std::uint32_t bauds[] = {9600, 57600, 115200, 0};
    for (LineTiming *line : {&s.to_modem, &s.to_vexa}) {
        line->baud = bauds[pick(0, 3)];
        line->delay_ms = chance(30) ? pick(0, 20) : pick(0, 1000);
        line->jitter_ms = chance(50) ? pick(0, std::min(200, line->delay_ms)) : 0;
        line->max_chunk = chance(50) ? pick(1, 64) : 0;
    }
    s.to_vexa.baud = s.to_modem.baud;
    // Writes towards the modem are spoilt or lost whole, not cut: no receiver
    // can tell an EOT that a lost byte uncovered from a real one.
    if (chance(40)) {
        s.spoil = 0.002 * pick(0, 100);
        s.drop = 0.001 * pick(0, 20);
    }
    if (chance(40))
        s.lose = {0.001 * pick(0, 30), 0, 0, 0.001 * pick(0, 30)};
    // Noise of any byte but ACK: an ACK that noise makes while a block is on
    // its way is the modem's answer to any sender.
    for (int n = chance(30) ? pick(1, 6) : 0; n > 0; --n) {
        const char bytes[] = {'\x15', 'C', '\x18', char(pick(0x07, 0xFF))};
        s.noise.emplace_back(pick(0, 20000), QByteArray(1, bytes[pick(0, 3)]));
    }
    s.faults.silentAfter = chance(5) ? std::size_t(pick(1, 40)) : 0;
    s.faults.cancelAfter = chance(5) ? std::size_t(pick(1, 40)) : 0;
    s.after_cancel = "\r\nCANCELLED BY MODEM\r\n";
    s.press_after_ms = pick(0, 3000);
    return s;
}

}  // namespace xmodem_sim
