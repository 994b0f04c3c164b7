#pragma once
// A serial link between two programs, made of two pseudo-terminals and a
// relay thread that copies bytes between them, both ways. Each program opens
// one slave path as if it were a COM port (Slave_A and Slave_B); the relay
// reads what one writes and writes it to the other.
//
// Each direction can be
//   - paced at a line speed: 10 bits a byte (start, 8 data, stop), so 115200
//     bit/s moves 11520 bytes a second, and a byte leaves no earlier than the
//     line would have carried it;
//   - handed to a hook that sees every chunk the relay reads on that side and
//     decides what goes on: the chunk as it is, split into pieces (each may
//     wait a while after the chunk was read), a part of it, twice, nothing,
//     or damaged as a noisy line damages bytes (Damaged, Damage_One_In);
//   - delayed like a long line: what is read arrives a fixed time later, plus
//     up to a jitter drawn anew for each chunk, never before what came first;
//   - made dead: everything read is dropped until it is revived.
// Pieces keep their order; a delayed piece holds back those after it, as a
// slow line would. The relay knows nothing of what the bytes mean: protocol
// knowledge lives in the hooks its users write.
//
// Example: pace a link at 115200 bit/s between Vexa and lrzsz's rx.
//
//     vexa::linkrelay::LinkRelay relay({115200}, {115200});
//     // Vexa opens relay.Slave_A(); rx runs with stdin and stdout on
//     // relay.Slave_B() (e.g. a child whose fds 0 and 1 are that path).
//
// Example: drop the third chunk going from A to B.
//
//     int seen = 0;
//     LinkOptions lossy;
//     lossy.hook = [&](const std::uint8_t *bytes, std::size_t n, Outlet &out) {
//         if (++seen != 3) out.Send(bytes, n);
//     };
//     LinkRelay relay(lossy, {});
//
// Hooks run on the relay's own thread, one call at a time. The relay holds
// both slaves open itself, so a program may open, close and reopen its side.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexa::linkrelay {

enum class Direction { AToB = 0, BToA = 1 };

// What a hook hands on, in order.
class Outlet {
public:
    // Bytes to forward after everything handed on before them, and no
    // earlier than delay after the chunk was read.
    void Send(const std::uint8_t *bytes, std::size_t count,
              std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    void Send(const std::vector<std::uint8_t> &bytes, std::chrono::milliseconds delay = std::chrono::milliseconds(0));

    struct Piece {
        std::vector<std::uint8_t> bytes;
        std::chrono::steady_clock::time_point notBefore;
    };
    Outlet(std::vector<Piece> &pieces, std::chrono::steady_clock::time_point readAt) : pieces_(pieces), readAt_(readAt)
    {
    }

private:
    std::vector<Piece> &pieces_;
    std::chrono::steady_clock::time_point readAt_;
};

using Hook = std::function<void(const std::uint8_t *bytes, std::size_t count, Outlet &out)>;

// What a noisy line does to a byte: changes its bits, adds one that was never
// sent, or loses it.
enum class Damage { Flip, Insert, Delete };

// The bytes with one damage at offset at: Flip xors the byte there with
// value (a value of 0 still changes it: all its bits flip), Insert puts value
// before it (at may be count: after the last), Delete removes it. An offset
// past the end damages nothing.
std::vector<std::uint8_t> Damaged(const std::uint8_t *bytes, std::size_t count, Damage damage, std::size_t at,
                                  std::uint8_t value = 0xFF);

// A hook that damages one byte of about one chunk in n, of a kind, at a
// place and with a value drawn from a generator seeded with seed; the other
// chunks go on as they are. n of 0 damages nothing.
Hook Damage_One_In(unsigned n, unsigned seed);

struct LinkOptions {
    LinkOptions(std::uint32_t bits = 0, Hook h = {}) : bitsPerSecond(bits), hook(std::move(h)) {}
    std::uint32_t bitsPerSecond;                    // 0: as fast as the pseudo-terminals go
    Hook hook;                                      // empty: every chunk goes on as it is
    std::chrono::milliseconds delay{0}, jitter{0};  // one way
};

class LinkRelay {
public:
    // Opens both pseudo-terminal pairs and starts relaying. Throws
    // std::system_error when a pair cannot be made.
    explicit LinkRelay(LinkOptions aToB = {}, LinkOptions bToA = {});
    ~LinkRelay();
    LinkRelay(const LinkRelay &) = delete;
    LinkRelay &operator=(const LinkRelay &) = delete;

    const std::string &Slave_A() const;
    const std::string &Slave_B() const;

    // A dead link drops everything it reads, both ways, and what it still
    // held; it stays dead until revived.
    void Set_Dead(bool dead);
    // Bytes read from the near side and bytes written to the far side.
    std::uint64_t Received(Direction direction) const;
    std::uint64_t Forwarded(Direction direction) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vexa::linkrelay
