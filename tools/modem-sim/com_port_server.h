#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Rfc2217Protocol.h"

namespace vexa::modemsim {

// The modem's lines as a network client sees them: CTS, DSR and DCD on, RI
// off (in the COM-PORT-OPTION's modem-state bits).
inline constexpr std::uint8_t kModemLinesOn = 0x10 | 0x20 | 0x80;

// The server side of one telnet connection that serves the modem's port
// (RFC 2217, the COM-PORT-OPTION). It agrees to BINARY both ways, to
// suppress-go-ahead and to the client's COM-PORT-OPTION, refuses every other
// option, and answers each change of state once, so two sides never loop.
// Line settings are remembered and answered as set; the modem lines are
// reported as soon as the option is agreed and whenever the client sets its
// modem-state mask. Bytes in, bytes out: no sockets, no clocks.
class ComPortServer {
public:
    struct Output {
        std::vector<std::uint8_t> toDevice;  // serial bytes for the modem, unescaped
        std::vector<std::uint8_t> toClient;  // negotiation, answers, notifications
        bool purgeFromDevice = false;        // drop what the modem sent and the client has not had
        bool purgeToDevice = false;          // drop what the client sent and the modem has not read
    };

    // Takes what the client sent, split anywhere, and appends what it means.
    // Nothing the client sends can make it grow past its bounds.
    void feed(const std::uint8_t *bytes, std::size_t count, Output &out);
    // Serial bytes from the modem for the telnet stream: every 0xFF doubled.
    static void escape(const std::uint8_t *bytes, std::size_t count, std::vector<std::uint8_t> &out);

    bool comPortAgreed() const { return theirs_[rfc2217::kOptionComPort]; }
    std::uint32_t baudRate() const { return baudRate_; }

private:
    void negotiate(std::uint8_t verb, std::uint8_t option, Output &out);
    void takeSubnegotiation(const std::vector<std::uint8_t> &sub, Output &out);
    void command(std::uint8_t code, const std::vector<std::uint8_t> &value, Output &out);
    std::uint8_t control(std::uint8_t value);
    void notifyModemState(Output &out) const;

    std::array<bool, 256> ours_{}, theirs_{};
    rfc2217::TelnetReader reader_;
    std::vector<rfc2217::TelnetReader::Event> events_;  // of one feed, kept for their memory

    std::uint32_t baudRate_ = 115200;
    std::uint8_t dataSize_ = 8, parity_ = 1, stopSize_ = 1;  // 8N1 in the option's numbering
    std::uint8_t flow_ = 1, breakState_ = 6, dtr_ = 8, rts_ = 11, inboundFlow_ = 14;
    std::uint8_t modemStateMask_ = 0xFF;
};

}  // namespace vexa::modemsim
