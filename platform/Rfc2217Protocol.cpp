#include "platform/Rfc2217Protocol.h"

#include <cstring>

namespace vexa::rfc2217 {

Topic Topic_Of(std::uint8_t command, std::uint32_t value)
{
    switch (command) {
    case kSetBaudrate: return Topic::Baudrate;
    case kSetDatasize: return Topic::Datasize;
    case kSetParity: return Topic::Parity;
    case kSetStopsize: return Topic::Stopsize;
    case kPurgeData: return Topic::Purge;
    case kSetControl:
        if (value <= kFlowHardware)
            return Topic::FlowControl;
        if (value <= kBreakOff)
            return Topic::Break;
        if (value <= kDtrOff)
            return Topic::Dtr;
        if (value <= kRtsOff)
            return Topic::Rts;
        return Topic::None;  // inbound flow control: never asked
    default: return Topic::None;
    }
}

std::optional<std::uint32_t> Expected_Answer(std::uint8_t command, std::uint32_t value)
{
    const bool question = command == kSetControl
                              ? value == kFlowQuery || value == kBreakQuery || value == kDtrQuery || value == kRtsQuery
                              : value == 0;
    if (question)
        return std::nullopt;
    return value;
}

namespace {

std::vector<std::uint8_t> Framed(std::uint8_t command, const std::uint8_t *value, std::size_t count)
{
    std::vector<std::uint8_t> out = {kIac, kSb, kOptionComPort, command};
    Append_Escaped(value, count, out);
    out.insert(out.end(), {kIac, kSe});
    return out;
}

}  // namespace

std::vector<std::uint8_t> Request(std::uint8_t command, std::uint8_t value) { return Framed(command, &value, 1); }

std::vector<std::uint8_t> Baudrate_Request(std::uint32_t baudRate)
{
    const std::uint8_t value[4] = {std::uint8_t(baudRate >> 24), std::uint8_t(baudRate >> 16),
                                   std::uint8_t(baudRate >> 8), std::uint8_t(baudRate)};
    return Framed(kSetBaudrate, value, sizeof value);
}

void Append_Escaped(const std::uint8_t *data, std::size_t count, std::vector<std::uint8_t> &out)
{
    out.reserve(out.size() + count + count / 128);
    const std::uint8_t *const end = data + count;
    while (data < end) {
        const auto *iac = static_cast<const std::uint8_t *>(std::memchr(data, kIac, std::size_t(end - data)));
        const std::uint8_t *next = iac ? iac + 1 : end;
        out.insert(out.end(), data, next);
        if (iac)
            out.push_back(kIac);
        data = next;
    }
}

std::size_t Whole_Escaped_Length(const std::vector<std::uint8_t> &escaped, std::size_t sent)
{
    if (sent >= escaped.size())
        return escaped.size();
    // Every run of 0xFF in escaped data has even length: an odd count just
    // before the cut means the cut split a pair.
    std::size_t run = 0;
    while (run < sent && escaped[sent - 1 - run] == kIac)
        ++run;
    return sent + (run % 2);
}

std::optional<std::uint8_t> Parity_To_Wire(std::uint8_t parity)
{
    if (parity > 4)
        return std::nullopt;
    return std::uint8_t(parity + 1);
}

std::optional<std::uint8_t> Parity_From_Wire(std::uint8_t wire)
{
    if (wire < 1 || wire > 5)
        return std::nullopt;
    return std::uint8_t(wire - 1);
}

// The option numbers one stop bit 1, two 2, one and a half 3.
std::optional<std::uint8_t> Stop_Bits_To_Wire(std::uint8_t stopBits)
{
    static const std::uint8_t wire[] = {1, 3, 2};
    if (stopBits > 2)
        return std::nullopt;
    return wire[stopBits];
}

std::optional<std::uint8_t> Stop_Bits_From_Wire(std::uint8_t wire)
{
    static const std::uint8_t stopBits[] = {0, 2, 1};
    if (wire < 1 || wire > 3)
        return std::nullopt;
    return stopBits[wire - 1];
}

std::vector<std::uint8_t> TelnetStream::Opening()
{
    ours_[kOptionBinary].asked = true;
    theirs_[kOptionBinary].asked = true;
    ours_[kOptionComPort].asked = true;
    return {kIac, kWill, kOptionBinary, kIac, kDo, kOptionBinary, kIac, kWill, kOptionComPort};
}

void TelnetReader::Keep(std::uint8_t b)
{
    if (sub_.size() < kMaxSubnegotiation)
        sub_.push_back(b);
    else
        subTooLong_ = true;
}

void TelnetReader::Feed(const std::uint8_t *bytes, std::size_t count, std::vector<std::uint8_t> &data,
                        std::vector<Event> &events)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state_) {
        case State::Data: {
            // Plain data runs to the next IAC: taken in one piece.
            const auto *iac = static_cast<const std::uint8_t *>(std::memchr(bytes + i, kIac, count - i));
            const std::size_t end = iac ? std::size_t(iac - bytes) : count;
            data.insert(data.end(), bytes + i, bytes + end);
            i = end;
            if (iac)
                state_ = State::Iac;
            break;
        }
        case State::SubIac:
            if (b == kIac) {
                Keep(b);
                state_ = State::Sub;
                break;
            }
            if (b == kSe) {
                if (!subTooLong_)
                    events.push_back({kSb, 0, std::move(sub_)});
                sub_.clear();
                state_ = State::Data;
                break;
            }
            // Any other command ends an unterminated subnegotiation, which is
            // dropped; the command itself counts.
            sub_.clear();
            [[fallthrough]];
        case State::Iac:
            state_ = State::Data;
            if (b == kIac)
                data.push_back(b);
            else if (b >= kWill && b <= kDont)
                verb_ = b, state_ = State::Verb;
            else if (b == kSb)
                sub_.clear(), subTooLong_ = false, state_ = State::Sub;
            break;  // NOP, go-ahead and the rest mean nothing on a serial line
        case State::Verb:
            events.push_back({verb_, b, {}});
            state_ = State::Data;
            break;
        case State::Sub:
            if (b == kIac)
                state_ = State::SubIac;
            else
                Keep(b);
            break;
        }
    }
}

void TelnetStream::Feed(const std::uint8_t *bytes, std::size_t count, Output &out)
{
    events_.clear();
    reader_.Feed(bytes, count, out.data, events_);
    for (const TelnetReader::Event &event : events_) {
        if (event.verb == kSb)
            Take_Subnegotiation(event.sub, out);
        else
            Negotiate(event.verb, event.option, out);
    }
}

void TelnetStream::Negotiate(std::uint8_t verb, std::uint8_t option, Output &out)
{
    const bool forUs = verb == kDo || verb == kDont;  // DO/DONT are about our side
    const bool enable = verb == kDo || verb == kWill;
    OptionState &state = forUs ? ours_[option] : theirs_[option];
    const bool wanted = forUs
                            ? (option == kOptionBinary || option == kOptionComPort || option == kOptionSuppressGoAhead)
                            : (option == kOptionBinary || option == kOptionSuppressGoAhead);
    const bool wasAsked = state.asked;
    state.asked = false;
    if (wasAsked && !enable)
        state.refused = true;
    if (enable == state.on)
        return;  // no change: never answered, so two sides cannot loop
    if (enable && !wanted) {
        out.answers.insert(out.answers.end(), {kIac, forUs ? kWont : kDont, option});
        return;
    }
    state.on = enable;
    if (wasAsked)
        return;  // this was the answer to our own question
    const std::uint8_t reply = forUs ? (enable ? kWill : kWont) : (enable ? kDo : kDont);
    out.answers.insert(out.answers.end(), {kIac, reply, option});
}

void TelnetStream::Take_Subnegotiation(const std::vector<std::uint8_t> &sub, Output &out)
{
    if (sub.size() < 2 || sub[0] != kOptionComPort || sub[1] < kServerOffset)
        return;
    const std::uint8_t command = sub[1] - kServerOffset;
    const std::size_t length = sub.size() - 2;
    ServerMessage message{command, 0};
    if (command == kSetBaudrate && length == 4)
        message.value = std::uint32_t(sub[2]) << 24 | std::uint32_t(sub[3]) << 16 | std::uint32_t(sub[4]) << 8 | sub[5];
    else if (command != kSetBaudrate && command != kSignature && length == 1)
        message.value = sub[2];
    else
        return;
    out.messages.push_back(message);
}

}  // namespace vexa::rfc2217
