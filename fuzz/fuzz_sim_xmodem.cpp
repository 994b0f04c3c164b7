// The modem simulator's XMODEM receiver: whatever a sender writes, cut into
// chunks, with time passing between them (ten milliseconds per byte of the
// chunk, so that long chunks also reach the NAK interval). It is fed, and
// ticked at its deadline, as the simulator's loop does until it ends.

#include <algorithm>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "xmodem_receiver.h"

using namespace vexa::modemsim;

namespace {

constexpr Millis kNakInterval = 1000;

bool Only_Control_Answers(const std::string &reply)
{
    return std::all_of(reply.begin(), reply.end(), [](char c) { return c == 0x06 || c == 0x15 || c == 0x18; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ChunkedInput input(data, size);
    XmodemReceiver receiver(kNakInterval);
    Millis now = 0;
    Check(receiver.start(now) == "\x15", "the receiver begins with a NAK");
    bool running = true;
    input.For_Each_Chunk([&](const std::uint8_t *chunk, std::size_t length) {
        if (!running)
            return;
        now += Millis(length) * 10;
        if (now >= receiver.deadline()) {
            const XmodemReceiver::Step step = receiver.tick(now);
            Check(Only_Control_Answers(step.reply), "a tick answers with NAK or CAN");
            running = step.outcome == XmodemReceiver::Outcome::Running;
            if (!running)
                return;
        }
        const std::string_view bytes(reinterpret_cast<const char *>(chunk), length);
        const XmodemReceiver::Step step = receiver.feed(bytes, now);
        Check(step.consumed <= length, "a feed uses at most its input");
        Check(step.outcome != XmodemReceiver::Outcome::Running || step.consumed == length,
              "a running receiver uses all its input");
        Check(Only_Control_Answers(step.reply), "the receiver answers with ACK, NAK or CAN");
        Check(receiver.deadline() > now, "the next deadline lies ahead");
        running = step.outcome == XmodemReceiver::Outcome::Running;
    });
    Check(receiver.image().size() == receiver.blocks() * XmodemReceiver::kDataSize, "the image is whole blocks");
    return 0;
}
