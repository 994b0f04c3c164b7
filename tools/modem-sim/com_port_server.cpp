#include "com_port_server.h"

namespace vexa::modemsim {

using namespace vexa::rfc2217;

namespace {

constexpr char kSignatureText[] = "vexa-modem-sim";

void append(std::vector<std::uint8_t> &out, const std::vector<std::uint8_t> &bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// A server message with a value of any length: IAC SB COM-PORT-OPTION code
// value IAC SE, every IAC in the value doubled.
void answer(std::uint8_t code, const std::uint8_t *value, std::size_t count, std::vector<std::uint8_t> &out)
{
    out.insert(out.end(), {kIac, kSb, kOptionComPort, std::uint8_t(kServerOffset + code)});
    Append_Escaped(value, count, out);
    out.insert(out.end(), {kIac, kSe});
}

}  // namespace

void ComPortServer::escape(const std::uint8_t *bytes, std::size_t count, std::vector<std::uint8_t> &out)
{
    Append_Escaped(bytes, count, out);
}

void ComPortServer::feed(const std::uint8_t *bytes, std::size_t count, Output &out)
{
    events_.clear();
    reader_.Feed(bytes, count, out.toDevice, events_);
    for (const TelnetReader::Event &event : events_) {
        if (event.verb == kSb)
            takeSubnegotiation(event.sub, out);
        else
            negotiate(event.verb, event.option, out);
    }
}

void ComPortServer::negotiate(std::uint8_t verb, std::uint8_t option, Output &out)
{
    const bool clientSide = verb == kWill || verb == kWont;  // WILL/WONT are about the client's side
    const bool enable = verb == kWill || verb == kDo;
    bool &on = clientSide ? theirs_[option] : ours_[option];
    const bool wanted =
        option == kOptionBinary || option == kOptionSuppressGoAhead || (clientSide && option == kOptionComPort);
    if (enable == on)
        return;  // no change: never answered
    if (enable && !wanted) {
        out.toClient.insert(out.toClient.end(), {kIac, clientSide ? kDont : kWont, option});
        return;
    }
    on = enable;
    const std::uint8_t reply = clientSide ? (enable ? kDo : kDont) : (enable ? kWill : kWont);
    out.toClient.insert(out.toClient.end(), {kIac, reply, option});
    if (clientSide && option == kOptionComPort && enable)
        notifyModemState(out);
}

void ComPortServer::takeSubnegotiation(const std::vector<std::uint8_t> &sub, Output &out)
{
    if (sub.size() < 2 || sub[0] != kOptionComPort || sub[1] >= kServerOffset)
        return;
    command(sub[1], std::vector<std::uint8_t>(sub.begin() + 2, sub.end()), out);
}

void ComPortServer::command(std::uint8_t code, const std::vector<std::uint8_t> &value, Output &out)
{
    if (code == kSignature) {
        if (value.empty())
            answer(code, reinterpret_cast<const std::uint8_t *>(kSignatureText), sizeof kSignatureText - 1,
                   out.toClient);
        return;
    }
    if (code == kSetBaudrate) {
        if (value.size() != 4)
            return;
        const std::uint32_t asked =
            std::uint32_t(value[0]) << 24 | std::uint32_t(value[1]) << 16 | std::uint32_t(value[2]) << 8 | value[3];
        if (asked != 0)
            baudRate_ = asked;
        const std::uint8_t now[4] = {std::uint8_t(baudRate_ >> 24), std::uint8_t(baudRate_ >> 16),
                                     std::uint8_t(baudRate_ >> 8), std::uint8_t(baudRate_)};
        answer(code, now, sizeof now, out.toClient);
        return;
    }
    if (value.size() != 1)
        return;
    // A value out of range, or 0, asks for the current setting.
    const std::uint8_t v = value[0];
    auto set = [v](std::uint8_t &field, std::uint8_t low, std::uint8_t high) {
        if (v >= low && v <= high)
            field = v;
        return field;
    };
    switch (code) {
    case kSetDatasize: append(out.toClient, Request(kServerOffset + code, set(dataSize_, 5, 8))); break;
    case kSetParity: append(out.toClient, Request(kServerOffset + code, set(parity_, 1, 5))); break;
    case kSetStopsize: append(out.toClient, Request(kServerOffset + code, set(stopSize_, 1, 3))); break;
    case kSetControl: append(out.toClient, Request(kServerOffset + code, control(v))); break;
    case kSetLinestateMask: append(out.toClient, Request(kServerOffset + code, v)); break;
    case kSetModemstateMask:
        modemStateMask_ = v;
        append(out.toClient, Request(kServerOffset + code, v));
        notifyModemState(out);
        break;
    case kPurgeData:
        if (v < kPurgeFromDevice || v > kPurgeBoth)
            return;
        out.purgeFromDevice = out.purgeFromDevice || v != kPurgeToDevice;
        out.purgeToDevice = out.purgeToDevice || v != kPurgeFromDevice;
        append(out.toClient, Request(kServerOffset + code, v));
        break;
    default: break;  // notifications and flow suspension from the client mean nothing here
    }
}

// SET-CONTROL comes in groups, the first value of each asking for the state.
std::uint8_t ComPortServer::control(std::uint8_t v)
{
    auto group = [v](std::uint8_t &field, std::uint8_t query) {
        if (v != query)
            field = v;
        return field;
    };
    if (v <= kFlowHardware)
        return group(flow_, kFlowQuery);
    if (v <= kBreakOff)
        return group(breakState_, kBreakQuery);
    if (v <= kDtrOff)
        return group(dtr_, kDtrQuery);
    if (v <= kRtsOff)
        return group(rts_, kRtsQuery);
    if (v <= 16)
        return group(inboundFlow_, 13);
    return v;  // flow control by DCD, DTR or DSR: taken as asked
}

void ComPortServer::notifyModemState(Output &out) const
{
    append(out.toClient, Request(kServerOffset + kNotifyModemstate, kModemLinesOn & modemStateMask_));
}

}  // namespace vexa::modemsim
