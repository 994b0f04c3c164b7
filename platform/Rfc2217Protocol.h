#pragma once
// The telnet side of a serial port served over the network (RFC 2217, the
// COM-PORT-OPTION): option negotiation, the server's subnegotiations, the
// requests the client builds and the doubling of IAC bytes. Bytes in, bytes
// out: no sockets, no clocks, no threads.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vexa::rfc2217 {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
constexpr std::uint8_t kOptionBinary = 0, kOptionEcho = 1, kOptionSuppressGoAhead = 3, kOptionComPort = 44;

// COM-PORT-OPTION commands as the client sends them; the server answers and
// notifies with the same code plus 100.
constexpr std::uint8_t kSignature = 0, kSetBaudrate = 1, kSetDatasize = 2, kSetParity = 3, kSetStopsize = 4,
                       kSetControl = 5, kNotifyLinestate = 6, kNotifyModemstate = 7, kFlowControlSuspend = 8,
                       kFlowControlResume = 9, kSetLinestateMask = 10, kSetModemstateMask = 11, kPurgeData = 12;
constexpr std::uint8_t kServerOffset = 100;

// SET-CONTROL values, in their groups: outbound flow control, BREAK, DTR, RTS.
// The first of each group asks for the current state.
constexpr std::uint8_t kFlowQuery = 0, kFlowNone = 1, kFlowXonXoff = 2, kFlowHardware = 3;
constexpr std::uint8_t kBreakQuery = 4, kBreakOn = 5, kBreakOff = 6;
constexpr std::uint8_t kDtrQuery = 7, kDtrOn = 8, kDtrOff = 9;
constexpr std::uint8_t kRtsQuery = 10, kRtsOn = 11, kRtsOff = 12;

// PURGE-DATA values: what the server buffers from the device, what it
// buffers for the device, or both.
constexpr std::uint8_t kPurgeFromDevice = 1, kPurgeToDevice = 2, kPurgeBoth = 3;

// What a request or an answer is about; a request is answered when an
// answer of the same topic arrives.
enum class Topic { Baudrate, Datasize, Parity, Stopsize, FlowControl, Break, Dtr, Rts, Purge, None };
constexpr std::size_t kTopicCount = static_cast<std::size_t>(Topic::None);

// A COM-PORT-OPTION message of the server, with the client's command code
// (the server's code minus 100). The baud rate is four bytes, every other
// value one; messages of another shape are not reported.
struct ServerMessage {
    std::uint8_t command = 0;
    std::uint32_t value = 0;
};

// The topic of a command with its value (the same for a request and for the
// server's answer to it).
Topic Topic_Of(std::uint8_t command, std::uint32_t value);

// The value the server answers a request with when it carries it out: the
// value asked for (the speed, the control state, what was purged). Nothing
// for a question about the current state, whose answer may be any value.
std::optional<std::uint32_t> Expected_Answer(std::uint8_t command, std::uint32_t value);

// IAC SB COM-PORT-OPTION command value IAC SE, with every IAC in the value doubled.
std::vector<std::uint8_t> Request(std::uint8_t command, std::uint8_t value);
std::vector<std::uint8_t> Baudrate_Request(std::uint32_t baudRate);  // 0 asks for the current speed

// Serial data for the telnet stream: every 0xFF doubled.
void Append_Escaped(const std::uint8_t *data, std::size_t count, std::vector<std::uint8_t> &out);
// Of escaped data of which `sent` bytes went out, how many must go out for
// the stream to stay whole when the rest is dropped: `sent`, or one more when
// it stopped between the two halves of a doubled 0xFF.
std::size_t Whole_Escaped_Length(const std::vector<std::uint8_t> &escaped, std::size_t sent);

// Line settings in the option's numbering (the device-control block numbers
// parity 0..4 and stop bits 0..2; the option counts from 1). Values outside
// the known ones give nothing.
std::optional<std::uint8_t> Parity_To_Wire(std::uint8_t parity);
std::optional<std::uint8_t> Parity_From_Wire(std::uint8_t wire);
std::optional<std::uint8_t> Stop_Bits_To_Wire(std::uint8_t stopBits);
std::optional<std::uint8_t> Stop_Bits_From_Wire(std::uint8_t wire);

// The byte level of a telnet stream, the same for either side: serial data
// with doubled IACs undone, option verbs, and whole subnegotiations (one over
// kMaxSubnegotiation bytes, or cut short by another command, is dropped),
// from bytes split anywhere.
class TelnetReader {
public:
    static constexpr std::size_t kMaxSubnegotiation = 64;
    struct Event {
        std::uint8_t verb = 0;  // WILL, WONT, DO or DONT with its option, or SB with its bytes
        std::uint8_t option = 0;
        std::vector<std::uint8_t> sub;  // the subnegotiation's bytes, the option first
    };
    // Appends the data to `data` and what else came, in order, to `events`.
    void Feed(const std::uint8_t *bytes, std::size_t count, std::vector<std::uint8_t> &data,
              std::vector<Event> &events);

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };
    void Keep(std::uint8_t b);

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::vector<std::uint8_t> sub_;
    bool subTooLong_ = false;
};

// The client's view of one telnet connection. It agrees to BINARY both ways
// and to COM-PORT-OPTION on its own side, lets the server suppress go-ahead,
// and refuses every other option (the server's echo above all), answering
// each change of state once so that two sides never loop.
class TelnetStream {
public:
    struct Output {
        std::vector<std::uint8_t> data;       // serial bytes from the device, unescaped
        std::vector<std::uint8_t> answers;    // negotiation the server must be sent
        std::vector<ServerMessage> messages;  // COM-PORT-OPTION messages, in order
    };

    // The client's opening offer: WILL BINARY, DO BINARY, WILL COM-PORT-OPTION.
    std::vector<std::uint8_t> Opening();
    // Takes what the server sent, any bytes split anywhere, and appends what
    // it means to `out`. Nothing the server sends can make it read or grow
    // past its bounds: this is the entry point for fuzzing.
    void Feed(const std::uint8_t *bytes, std::size_t count, Output &out);
    // The server agreed that COM-PORT-OPTION requests may be sent.
    bool Com_Port_Agreed() const { return ours_[kOptionComPort].on; }
    bool Binary_Both_Ways() const { return ours_[kOptionBinary].on && theirs_[kOptionBinary].on; }
    // The server said no to the option, or to BINARY either way, when asked.
    bool Com_Port_Refused() const { return ours_[kOptionComPort].refused; }
    bool Binary_Refused() const { return ours_[kOptionBinary].refused || theirs_[kOptionBinary].refused; }

private:
    struct OptionState {
        bool on = false;
        bool asked = false;    // we asked for it and wait for the answer
        bool refused = false;  // the answer was no
    };
    void Negotiate(std::uint8_t verb, std::uint8_t option, Output &out);
    void Take_Subnegotiation(const std::vector<std::uint8_t> &sub, Output &out);

    std::array<OptionState, 256> ours_{}, theirs_{};
    TelnetReader reader_;
    std::vector<TelnetReader::Event> events_;  // of one Feed, kept for their memory
};

}  // namespace vexa::rfc2217
