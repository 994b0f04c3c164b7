#include "unsolicited.h"

#include "command_session.h"

#include <iterator>

namespace vexa::modemsim {

namespace {

constexpr const char *kCaller = "+70000000009";
// Texts that a reader which takes lines one by one mistakes for the end of
// an answer.
constexpr const char *kTexts[] = {"OK", "ERROR", "NO CARRIER", "RING", "> 1", "0", "+CME ERROR: 10"};

// 27.007 and 27.005 codes, in the forms a modem's manual shows them.
constexpr const char *kPlain[] = {
    "RING",
    "+CRING: VOICE",
    "+CLIP: \"+70000000009\",145,,,,0",
    "+CREG: 1",
    "+CREG: 5",
    "+CGREG: 1",
    "+CEREG: 1",
    "+CGEV: ME PDN ACT 1",
    "+CGEV: NW DETACH",
    "+CUSD: 0,\"Balance 100.00\nOK\",15",
    "+CDSI: \"SM\",3",
    "NO CARRIER",
};

}  // namespace

std::string unsolicitedCode(ModemState &state, std::mt19937 &random)
{
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    const std::string text = kTexts[pick(std::size(kTexts))];
    switch (pick(4)) {
    case 0:
        if (const auto index = state.messages.add(0, kCaller, text))
            return frame("+CMTI: \"SM\"," + std::to_string(*index));
        break;
    case 1: return frame(deliveredMessage(kCaller, text, state.textMode));
    case 2:
        if (state.textMode)
            return frame("+CBM: 16,50,1,1,1\r\n" + text);
        break;
    default: break;
    }
    return frame(kPlain[pick(std::size(kPlain))]);
}

}  // namespace vexa::modemsim
