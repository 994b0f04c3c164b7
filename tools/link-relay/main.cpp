// vexa-link-relay: a serial link between two programs on one machine, with
// an optional line speed and delay, for trying two Vexa windows (or Vexa and
// a modem program) at the pace of a real line, or of a modem far away.
//
//   vexa-link-relay [--rate BITS] [--a-to-b BITS] [--b-to-a BITS]
//                   [--delay MS] [--jitter MS]
//                   [--damage N] [--seed S] [--link-a PATH] [--link-b PATH]
//
// Prints the two port paths and relays until interrupted. --rate paces both
// directions (10 bits a byte); --delay holds each byte that long in each
// direction, --jitter up to that much more for each chunk, keeping the order
// of the bytes; --damage damages one byte (flipped, inserted
// or lost) in about one chunk in N each way, drawn from the seed S (1 when
// not given), as a noisy line would; --link-a/--link-b also name the ports
// by symbolic links, removed at the end.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "link_relay.h"

using vexa::linkrelay::LinkOptions;
using vexa::linkrelay::LinkRelay;

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: vexa-link-relay [--rate BITS] [--a-to-b BITS] [--b-to-a BITS] "
                 "[--delay MS] [--jitter MS] [--damage N] [--seed S] [--link-a PATH] [--link-b PATH]\n");
    return 2;
}

bool Number(const char *text, std::uint32_t &number)
{
    char *end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value > 100'000'000)
        return false;
    number = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    LinkOptions aToB, bToA;
    std::uint32_t damage = 0, seed = 1, delay = 0, jitter = 0;
    std::string linkA, linkB;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const char *value = argv[++i];
        if (option == "--rate" && Number(value, aToB.bitsPerSecond))
            bToA.bitsPerSecond = aToB.bitsPerSecond;
        else if (option == "--a-to-b" && Number(value, aToB.bitsPerSecond))
            continue;
        else if (option == "--b-to-a" && Number(value, bToA.bitsPerSecond))
            continue;
        else if (option == "--delay" && Number(value, delay))
            continue;
        else if (option == "--jitter" && Number(value, jitter))
            continue;
        else if (option == "--damage" && Number(value, damage))
            continue;
        else if (option == "--seed" && Number(value, seed))
            continue;
        else if (option == "--link-a")
            linkA = value;
        else if (option == "--link-b")
            linkB = value;
        else
            return Usage();
    }

    for (LinkOptions *lane : {&aToB, &bToA}) {
        lane->delay = std::chrono::milliseconds(delay);
        lane->jitter = std::chrono::milliseconds(jitter);
    }
    if (damage > 0) {
        aToB.hook = vexa::linkrelay::Damage_One_In(damage, seed);
        bToA.hook = vexa::linkrelay::Damage_One_In(damage, seed + 1);
    }

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);  // the relay thread inherits the mask

    try {
        LinkRelay relay(aToB, bToA);
        int status = 0;
        std::vector<std::string> made;
        for (const auto &[link, target] : {std::pair{linkA, relay.Slave_A()}, std::pair{linkB, relay.Slave_B()}}) {
            if (link.empty())
                continue;
            if (::symlink(target.c_str(), link.c_str()) == 0) {
                made.push_back(link);
                continue;
            }
            std::fprintf(stderr, "vexa-link-relay: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
            status = 1;
        }
        if (status == 0) {
            std::printf("A %s\nB %s\n", relay.Slave_A().c_str(), relay.Slave_B().c_str());
            std::fflush(stdout);
            int signal = 0;
            sigwait(&stopSignals, &signal);
        }
        for (const std::string &link : made)
            ::unlink(link.c_str());
        return status;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vexa-link-relay: %s\n", e.what());
        return 1;
    }
}
