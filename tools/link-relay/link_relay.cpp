#include "link_relay.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vexa::linkrelay {

using Clock = std::chrono::steady_clock;

void Outlet::Send(const std::uint8_t *bytes, std::size_t count, std::chrono::milliseconds delay)
{
    if (count > 0)
        pieces_.push_back({std::vector<std::uint8_t>(bytes, bytes + count), readAt_ + delay});
}

void Outlet::Send(const std::vector<std::uint8_t> &bytes, std::chrono::milliseconds delay)
{
    Send(bytes.data(), bytes.size(), delay);
}

std::vector<std::uint8_t> Damaged(const std::uint8_t *bytes, std::size_t count, Damage damage, std::size_t at,
                                  std::uint8_t value)
{
    std::vector<std::uint8_t> out(bytes, bytes + count);
    if (at > count || (at == count && damage != Damage::Insert))
        return out;
    switch (damage) {
    case Damage::Flip: out[at] ^= value != 0 ? value : 0xFF; break;
    case Damage::Insert: out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), value); break;
    case Damage::Delete: out.erase(out.begin() + static_cast<std::ptrdiff_t>(at)); break;
    }
    return out;
}

Hook Damage_One_In(unsigned n, unsigned seed)
{
    auto random = std::make_shared<std::mt19937>(seed);
    return [n, random](const std::uint8_t *bytes, std::size_t count, Outlet &out) {
        if (n == 0 || (*random)() % n != 0) {
            out.Send(bytes, count);
            return;
        }
        const auto damage = static_cast<Damage>((*random)() % 3);
        const std::size_t at = (*random)() % count;
        out.Send(Damaged(bytes, count, damage, at, static_cast<std::uint8_t>((*random)() % 255 + 1)));
    };
}

namespace {

int Checked(int result, const char *what)
{
    if (result < 0)
        throw std::system_error(errno, std::generic_category(), what);
    return result;
}

// One pseudo-terminal pair: the relay talks on the master; the slave, raw
// so that nothing is echoed or translated, waits for a program.
struct PtyPair {
    int master = -1;
    int slave = -1;  // held open so the master never reads a hang-up
    std::string slavePath;

    PtyPair()
    {
        master = Checked(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK), "posix_openpt");
        Checked(::grantpt(master), "grantpt");
        Checked(::unlockpt(master), "unlockpt");
        slavePath = ::ptsname(master);
        slave = Checked(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), "open slave");
        termios tio{};
        Checked(::tcgetattr(slave, &tio), "tcgetattr");
        ::cfmakeraw(&tio);
        Checked(::tcsetattr(slave, TCSANOW, &tio), "tcsetattr");
    }
    ~PtyPair()
    {
        ::close(slave);
        ::close(master);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;
};

// One direction: what it read and has still to write, and the line's pace.
struct Lane {
    int from = -1, to = -1;
    LinkOptions options;
    std::deque<Outlet::Piece> queue;
    std::size_t offset = 0;      // bytes of the front piece already written
    Clock::time_point lineFree;  // when the line finished its last byte
    bool blocked = false;        // the far side takes no more for now
    std::atomic<std::uint64_t> received{0}, forwarded{0};
    std::mt19937 random{1};  // the jitter, the same on every run

    // How much later than it was read a chunk may leave.
    Clock::duration Lateness()
    {
        const auto jitter = options.jitter.count();
        return options.delay +
               std::chrono::milliseconds(jitter > 0 ? std::uniform_int_distribution<long long>(0, jitter)(random) : 0);
    }

    Clock::duration Byte_Time() const
    {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL) /
                                                           options.bitsPerSecond);
    }
};

}  // namespace

struct LinkRelay::State {
    PtyPair a, b;
    Lane lanes[2];
    int wake = -1;
    std::atomic<bool> stop{false};
    std::atomic<bool> dead{false};
    std::thread thread;

    void Run();
    void Read(Lane &lane);
    // Writes what is due; returns when the lane next has something due.
    Clock::time_point Write(Lane &lane, Clock::time_point now);
};

void LinkRelay::State::Read(Lane &lane)
{
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(lane.from, buffer, sizeof buffer);
        if (n <= 0)
            return;
        lane.received += static_cast<std::uint64_t>(n);
        if (dead)
            continue;
        std::vector<Outlet::Piece> pieces;
        Outlet out(pieces, Clock::now());
        if (lane.options.hook)
            lane.options.hook(buffer, static_cast<std::size_t>(n), out);
        else
            out.Send(buffer, static_cast<std::size_t>(n));
        const Clock::duration late = lane.Lateness();
        for (Outlet::Piece &piece : pieces) {
            piece.notBefore += late;
            lane.queue.push_back(std::move(piece));
        }
    }
}

Clock::time_point LinkRelay::State::Write(Lane &lane, Clock::time_point now)
{
    const bool paced = lane.options.bitsPerSecond > 0;
    while (!lane.queue.empty()) {
        Outlet::Piece &piece = lane.queue.front();
        if (piece.notBefore > now)
            return piece.notBefore;
        std::size_t count = piece.bytes.size() - lane.offset;
        const Clock::time_point start = std::max(lane.lineFree, piece.notBefore);
        if (paced) {
            // Only the bytes the line has finished carrying by now go out.
            if (now < start + lane.Byte_Time())
                return start + lane.Byte_Time();
            count = std::min<std::size_t>(count, (now - start) / lane.Byte_Time());
        }
        const ssize_t n = ::write(lane.to, piece.bytes.data() + lane.offset, count);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            lane.queue.clear();  // the far side failed: what it cannot take is lost
            lane.offset = 0;
            break;
        }
        if (n <= 0) {
            lane.blocked = true;
            return Clock::time_point::max();
        }
        lane.forwarded += static_cast<std::uint64_t>(n);
        lane.lineFree = paced ? start + lane.Byte_Time() * n : now;
        lane.offset += static_cast<std::size_t>(n);
        if (lane.offset == piece.bytes.size()) {
            lane.queue.pop_front();
            lane.offset = 0;
        }
    }
    return Clock::time_point::max();
}

void LinkRelay::State::Run()
{
    while (!stop) {
        const Clock::time_point now = Clock::now();
        Clock::time_point next = Clock::time_point::max();
        for (Lane &lane : lanes) {
            if (dead) {
                lane.queue.clear();
                lane.offset = 0;
            }
            lane.blocked = false;
            next = std::min(next, Write(lane, now));
        }
        int timeout = -1;
        if (next != Clock::time_point::max()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(wait, 0, 1000));
        }
        pollfd fds[5] = {
            {a.master, POLLIN, 0}, {b.master, POLLIN, 0}, {wake, POLLIN, 0}, {-1, POLLOUT, 0}, {-1, POLLOUT, 0}};
        if (lanes[0].blocked)
            fds[3].fd = lanes[0].to;
        if (lanes[1].blocked)
            fds[4].fd = lanes[1].to;
        if (::poll(fds, 5, timeout) < 0 && errno != EINTR)
            return;
        if (fds[2].revents & POLLIN) {
            eventfd_t ignored;
            ::eventfd_read(wake, &ignored);
        }
        Read(lanes[0]);
        Read(lanes[1]);
    }
}

LinkRelay::LinkRelay(LinkOptions aToB, LinkOptions bToA) : state_(std::make_unique<State>())
{
    State &s = *state_;
    s.lanes[0].from = s.a.master;
    s.lanes[0].to = s.b.master;
    s.lanes[0].options = std::move(aToB);
    s.lanes[1].from = s.b.master;
    s.lanes[1].to = s.a.master;
    s.lanes[1].options = std::move(bToA);
    s.wake = Checked(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC), "eventfd");
    s.thread = std::thread([&s] { s.Run(); });
}

LinkRelay::~LinkRelay()
{
    state_->stop = true;
    ::eventfd_write(state_->wake, 1);
    state_->thread.join();
    ::close(state_->wake);
}

const std::string &LinkRelay::Slave_A() const { return state_->a.slavePath; }
const std::string &LinkRelay::Slave_B() const { return state_->b.slavePath; }

void LinkRelay::Set_Dead(bool dead)
{
    state_->dead = dead;
    ::eventfd_write(state_->wake, 1);
}

std::uint64_t LinkRelay::Received(Direction direction) const
{
    return state_->lanes[static_cast<int>(direction)].received;
}

std::uint64_t LinkRelay::Forwarded(Direction direction) const
{
    return state_->lanes[static_cast<int>(direction)].forwarded;
}

}  // namespace vexa::linkrelay
