// The link relay between two pseudo-terminals: bytes both ways, the pace of
// a line, hooks that change what goes on, and a link that goes dead.

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "link_relay.h"

using namespace vexa::linkrelay;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// One program's end of the link: its slave, raw.
class End {
public:
    explicit End(const std::string &path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    ~End() { ::close(fd_); }
    void Write(const std::string &bytes)
    {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += std::size_t(n);
            else {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 50);
            }
        }
    }
    // Reads until count bytes came or the time is up.
    std::string Read(std::size_t count, std::chrono::milliseconds within = 3000ms)
    {
        std::string got;
        const auto end = Clock::now() + within;
        while (got.size() < count && Clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, std::size_t(n));
        }
        return got;
    }

private:
    int fd_;
};

std::string Random_Text(std::size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::string text(n, '\0');
    for (char &c : text)
        c = char(random());
    return text;
}

void Send(Outlet &out, const std::string &bytes, std::chrono::milliseconds delay = 0ms)
{
    out.Send(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size(), delay);
}

}  // namespace

TEST(LinkRelay, CarriesBytesBothWaysUnchanged)
{
    LinkRelay relay;
    End a(relay.Slave_A()), b(relay.Slave_B());
    const std::string there = Random_Text(200000, 1), back = Random_Text(150000, 2);
    std::thread writer([&] { a.Write(there); });
    b.Write(back);
    EXPECT_EQ(b.Read(there.size()), there);
    EXPECT_EQ(a.Read(back.size()), back);
    writer.join();
    EXPECT_EQ(relay.Forwarded(Direction::AToB), there.size());
    EXPECT_EQ(relay.Received(Direction::BToA), back.size());
}

TEST(LinkRelay, PacesEachDirectionAtTenBitsAByte)
{
    LinkRelay relay({115200}, {});
    End a(relay.Slave_A()), b(relay.Slave_B());
    const std::string bytes = Random_Text(5760, 3);  // half a second at 115200 bit/s
    const auto start = Clock::now();
    a.Write(bytes);
    EXPECT_EQ(b.Read(bytes.size()), bytes);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 480ms);
    EXPECT_LT(took, 1500ms);

    // The other direction is not paced.
    const auto back = Clock::now();
    b.Write(bytes);
    EXPECT_EQ(a.Read(bytes.size()), bytes);
    EXPECT_LT(Clock::now() - back, 300ms);
}

TEST(LinkRelay, HooksDropRepeatCutSplitAndDelayPieces)
{
    int chunk = 0;
    LinkOptions options;
    options.hook = [&](const std::uint8_t *bytes, std::size_t count, Outlet &out) {
        const std::string text(reinterpret_cast<const char *>(bytes), count);
        switch (++chunk) {
        case 1:  // dropped
            break;
        case 2:  // twice
            Send(out, text);
            Send(out, text);
            break;
        case 3:  // cut short
            Send(out, text.substr(0, 2));
            break;
        default:  // in two pieces, the second late
            Send(out, text.substr(0, 1));
            Send(out, text.substr(1), 300ms);
        }
    };
    LinkRelay relay(options, {});
    End a(relay.Slave_A()), b(relay.Slave_B());
    auto step = [&](const std::string &text, std::size_t expect) {
        const std::uint64_t before = relay.Received(Direction::AToB);
        a.Write(text);
        while (relay.Received(Direction::AToB) < before + text.size())
            std::this_thread::sleep_for(1ms);
        return b.Read(expect, 200ms);
    };
    EXPECT_EQ(step("one", 1), "");
    EXPECT_EQ(step("two", 6), "twotwo");
    EXPECT_EQ(step("three", 5), "th");
    const auto start = Clock::now();
    EXPECT_EQ(b.Read(0), "");
    EXPECT_EQ(step("four", 1), "f");
    EXPECT_EQ(b.Read(3), "our");
    EXPECT_GE(Clock::now() - start, 290ms);
}

TEST(LinkRelay, ADeadLinkDropsEverythingUntilRevived)
{
    LinkRelay relay;
    End a(relay.Slave_A()), b(relay.Slave_B());
    relay.Set_Dead(true);
    a.Write("lost");
    b.Write("lost too");
    EXPECT_EQ(b.Read(4, 300ms), "");
    EXPECT_EQ(a.Read(8, 100ms), "");
    relay.Set_Dead(false);
    a.Write("back");
    EXPECT_EQ(b.Read(4), "back");
}

TEST(LinkRelay, DamagesBytesAsANoisyLineDoes)
{
    const std::uint8_t abc[] = {'a', 'b', 'c'};
    struct Case {
        Damage damage;
        std::size_t at;
        std::uint8_t value;
        std::string expected;
    } cases[] = {{Damage::Flip, 1, 0x01, "acc"},
                 {Damage::Flip, 0, 0, "\236bc"},  // 0 flips every bit
                 {Damage::Insert, 3, 'x', "abcx"},
                 {Damage::Delete, 2, 0, "ab"}};
    for (const Case &c : cases) {
        const std::vector<std::uint8_t> got = Damaged(abc, 3, c.damage, c.at, c.value);
        EXPECT_EQ(std::string(got.begin(), got.end()), c.expected) << int(c.damage) << c.at;
    }
    // Every chunk damaged on its way: what arrives is never what was sent.
    LinkRelay relay({0, Damage_One_In(1, 7)}, {});
    End a(relay.Slave_A()), b(relay.Slave_B());
    a.Write("hello, line");
    const std::string got = b.Read(10, 300ms);
    EXPECT_NE(got, "hello, line");
}

TEST(LinkRelay, DelaysEachWayWithJitterAndKeepsTheOrder)
{
    LinkOptions far;
    far.delay = 200ms;
    far.jitter = 100ms;
    LinkRelay relay(far, far);
    End a(relay.Slave_A()), b(relay.Slave_B());
    for (End *from : {&a, &b}) {
        End *to = from == &a ? &b : &a;
        const auto start = Clock::now();
        std::string sent;
        for (int i = 0; i < 20; ++i) {  // separate chunks, each late by its own jitter
            sent += std::to_string(i) + ',';
            from->Write(std::to_string(i) + ',');
            std::this_thread::sleep_for(3ms);
        }
        const std::string first = to->Read(1);
        EXPECT_GE(Clock::now() - start, 200ms);
        EXPECT_EQ(first + to->Read(sent.size() - first.size()), sent);
    }
}
