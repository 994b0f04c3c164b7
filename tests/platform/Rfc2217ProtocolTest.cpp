#include <gtest/gtest.h>

#include <random>

#include "platform/PortNames.h"
#include "platform/Rfc2217Protocol.h"
#include "platform/SerialPort.h"

namespace vexa::rfc2217 {

bool operator==(const ServerMessage &a, const ServerMessage &b) { return a.command == b.command && a.value == b.value; }

}  // namespace vexa::rfc2217

using namespace vexa;
using namespace vexa::rfc2217;

namespace {

using Bytes = std::vector<std::uint8_t>;

// What ser2net sends as soon as a client connects.
const Bytes kSer2netGreeting = {0xff, 0xfb, 0x03, 0xff, 0xfd, 0x03, 0xff, 0xfb, 0x01, 0xff, 0xfe,
                                0x01, 0xff, 0xfd, 0x00, 0xff, 0xfb, 0x00, 0xff, 0xfd, 0x2c};

TelnetStream::Output Feed(TelnetStream &stream, const Bytes &bytes)
{
    TelnetStream::Output out;
    stream.Feed(bytes.data(), bytes.size(), out);
    return out;
}

TelnetStream::Output Feed_Byte_By_Byte(TelnetStream &stream, const Bytes &bytes)
{
    TelnetStream::Output out;
    for (const std::uint8_t b : bytes)
        stream.Feed(&b, 1, out);
    return out;
}

}  // namespace

TEST(Rfc2217Protocol, AgreesWithSer2netsGreetingAndNeverAnswersTwice)
{
    TelnetStream stream;
    EXPECT_EQ(stream.Opening(), Bytes({0xff, 0xfb, 0x00, 0xff, 0xfd, 0x00, 0xff, 0xfb, 0x2c}));
    EXPECT_FALSE(stream.Com_Port_Agreed());
    const auto out = Feed(stream, kSer2netGreeting);
    // Go-ahead suppression both ways, the server's echo refused; BINARY and
    // the option were our own questions, so their agreement needs no answer.
    EXPECT_EQ(out.answers, Bytes({0xff, 0xfd, 0x03, 0xff, 0xfb, 0x03, 0xff, 0xfe, 0x01}));
    EXPECT_TRUE(out.data.empty());
    EXPECT_TRUE(stream.Com_Port_Agreed());
    EXPECT_TRUE(stream.Binary_Both_Ways());
    // Said again, only the refusal is repeated: agreement is never answered
    // twice, so two sides cannot loop.
    EXPECT_EQ(Feed(stream, kSer2netGreeting).answers, Bytes({0xff, 0xfe, 0x01}));
}

TEST(Rfc2217Protocol, RefusalsAndWithdrawalsAreAcknowledgedOnce)
{
    TelnetStream stream;
    stream.Opening();
    auto out = Feed(stream, {0xff, 0xfe, 0x2c, 0xff, 0xfd, 0x18, 0xff, 0xfb, 0x2c});
    EXPECT_FALSE(stream.Com_Port_Agreed());  // DONT COM-PORT-OPTION: refused
    // DO TERMINAL-TYPE and WILL COM-PORT-OPTION (the server's side) are not ours to do.
    EXPECT_EQ(out.answers, Bytes({0xff, 0xfc, 0x18, 0xff, 0xfe, 0x2c}));

    out = Feed(stream, {0xff, 0xfb, 0x00, 0xff, 0xfc, 0x00, 0xff, 0xfc, 0x00});
    EXPECT_EQ(out.answers, Bytes({0xff, 0xfe, 0x00}));  // WONT after WILL: one DONT, the repeat ignored
    EXPECT_FALSE(stream.Binary_Both_Ways());
}

TEST(Rfc2217Protocol, DataAndAnswersComeApartAtEverySplit)
{
    const Bytes wire = {'A',  0xff, 0xff, 'B',  0xff, 0xfa, 0x2c, 0x65,
                        0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xf0,  // 65535 bit/s
                        0xff, 0xfa, 0x2c, 0x6b, 0xb0, 0xff, 0xf0,        // modem lines
                        0xff, 0xf1,                                      // NOP
                        0x00, 0xff, 0xff, 0xff, 0xff, 0x0d};
    const Bytes data = {'A', 0xff, 'B', 0x00, 0xff, 0xff, 0x0d};
    const std::vector<ServerMessage> messages = {{kSetBaudrate, 65535}, {kNotifyModemstate, 0xb0}};

    TelnetStream whole;
    auto out = Feed(whole, wire);
    EXPECT_EQ(out.data, data);
    EXPECT_EQ(out.messages, messages);
    EXPECT_TRUE(out.answers.empty());

    TelnetStream bytewise;
    out = Feed_Byte_By_Byte(bytewise, wire);
    EXPECT_EQ(out.data, data);
    EXPECT_EQ(out.messages, messages);

    for (std::size_t cut = 1; cut < wire.size(); ++cut) {
        TelnetStream split;
        TelnetStream::Output parts;
        split.Feed(wire.data(), cut, parts);
        split.Feed(wire.data() + cut, wire.size() - cut, parts);
        EXPECT_EQ(parts.data, data) << cut;
        EXPECT_EQ(parts.messages, messages) << cut;
    }
}

TEST(Rfc2217Protocol, MessagesOfTheWrongShapeOrLengthAreDropped)
{
    TelnetStream stream;
    Bytes wire = {0xff, 0xfa, 0x2c, 0x65, 0x00, 0x01, 0xc2, 0xff, 0xf0,  // a speed of three bytes
                  0xff, 0xfa, 0x2c, 0x66, 0x08, 0x08, 0xff, 0xf0,        // a data size of two
                  0xff, 0xfa, 0x18, 0x00, 0xff, 0xf0,                    // another option's
                  0xff, 0xfa, 0x2c, 0x05, 0x01, 0xff, 0xf0,              // a client's code from the server
                  0xff, 0xfa, 0x2c, 0x69, 0x03, 0xff, 0xfb, 0x03,        // cut short by a command
                  'x',  0xff, 0xfa, 0x2c, 0x64};                         // signature, never ended
    wire.insert(wire.end(), 1000, 's');
    wire.insert(wire.end(), {0xff, 0xf0, 'y', 0xff, 0xfa, 0x2c, 0x66, 0x07, 0xff, 0xf0});
    const auto out = Feed(stream, wire);
    EXPECT_EQ(out.data, Bytes({'x', 'y'}));
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_EQ(out.messages[0], (ServerMessage{kSetDatasize, 7}));
    EXPECT_EQ(out.answers, Bytes({0xff, 0xfd, 0x03}));  // the command that cut the message short still counts
}

TEST(Rfc2217Protocol, AnyBytesInAnySplitAreTakenSafely)
{
    std::mt19937 random(2217);
    for (int round = 0; round < 200; ++round) {
        Bytes wire(1 + random() % 4000);
        for (auto &b : wire)  // mostly telnet's own bytes, to reach every state
            b = random() % 3 ? std::uint8_t(0xf0 + random() % 16) : std::uint8_t(random() % 256);
        TelnetStream stream;
        stream.Opening();
        TelnetStream::Output out;
        for (std::size_t at = 0; at < wire.size();) {
            const std::size_t n = std::min<std::size_t>(1 + random() % 64, wire.size() - at);
            stream.Feed(wire.data() + at, n, out);
            at += n;
        }
        EXPECT_LE(out.data.size(), wire.size());
        EXPECT_LE(out.answers.size(), wire.size() * 3);
    }
}

TEST(Rfc2217Protocol, RequestsDoubleEveryIacOfTheirValues)
{
    EXPECT_EQ(Request(kSetControl, kDtrOff), Bytes({0xff, 0xfa, 0x2c, 0x05, 0x09, 0xff, 0xf0}));
    EXPECT_EQ(Baudrate_Request(115200), Bytes({0xff, 0xfa, 0x2c, 0x01, 0x00, 0x01, 0xc2, 0x00, 0xff, 0xf0}));
    EXPECT_EQ(Baudrate_Request(0x00ff00ff),
              Bytes({0xff, 0xfa, 0x2c, 0x01, 0x00, 0xff, 0xff, 0x00, 0xff, 0xff, 0xff, 0xf0}));
    EXPECT_EQ(Request(kSetModemstateMask, 0xff), Bytes({0xff, 0xfa, 0x2c, 0x0b, 0xff, 0xff, 0xff, 0xf0}));

    Bytes out = {0x01};
    const Bytes data = {0xff, 0x00, 0xff, 0xff};
    Append_Escaped(data.data(), data.size(), out);
    EXPECT_EQ(out, Bytes({0x01, 0xff, 0xff, 0x00, 0xff, 0xff, 0xff, 0xff}));
}

TEST(Rfc2217Protocol, ADroppedWriteNeverLeavesHalfAnIacPair)
{
    const Bytes escaped = {'A', 0xff, 0xff, 0xff, 0xff, 'B'};
    EXPECT_EQ(Whole_Escaped_Length(escaped, 0), 0u);
    EXPECT_EQ(Whole_Escaped_Length(escaped, 1), 1u);
    EXPECT_EQ(Whole_Escaped_Length(escaped, 2), 3u);  // cut inside the first pair
    EXPECT_EQ(Whole_Escaped_Length(escaped, 3), 3u);
    EXPECT_EQ(Whole_Escaped_Length(escaped, 4), 5u);  // inside the second
    EXPECT_EQ(Whole_Escaped_Length(escaped, 5), 5u);
    EXPECT_EQ(Whole_Escaped_Length(escaped, 9), 6u);
    EXPECT_EQ(Whole_Escaped_Length({0xff, 0xff}, 1), 2u);
}

TEST(Rfc2217Protocol, SettingsAndTopicsInTheOptionsNumbering)
{
    for (std::uint8_t parity = 0; parity <= 4; ++parity)
        EXPECT_EQ(Parity_From_Wire(*Parity_To_Wire(parity)), parity);
    EXPECT_EQ(*Parity_To_Wire(kMarkParity), 4);  // the option counts from NONE = 1
    EXPECT_FALSE(Parity_To_Wire(5));
    EXPECT_FALSE(Parity_From_Wire(0));
    EXPECT_FALSE(Parity_From_Wire(6));
    EXPECT_EQ(*Stop_Bits_To_Wire(kOneStopBit), 1);
    EXPECT_EQ(*Stop_Bits_To_Wire(kTwoStopBits), 2);
    EXPECT_EQ(*Stop_Bits_To_Wire(kOne5StopBits), 3);
    EXPECT_EQ(*Stop_Bits_From_Wire(3), kOne5StopBits);
    EXPECT_FALSE(Stop_Bits_From_Wire(4));

    EXPECT_EQ(Topic_Of(kSetControl, kFlowQuery), Topic::FlowControl);
    EXPECT_EQ(Topic_Of(kSetControl, kFlowHardware), Topic::FlowControl);
    EXPECT_EQ(Topic_Of(kSetControl, kBreakQuery), Topic::Break);
    EXPECT_EQ(Topic_Of(kSetControl, kDtrOff), Topic::Dtr);
    EXPECT_EQ(Topic_Of(kSetControl, kRtsQuery), Topic::Rts);
    EXPECT_EQ(Topic_Of(kSetControl, 14), Topic::None);
    EXPECT_EQ(Topic_Of(kPurgeData, kPurgeBoth), Topic::Purge);
    EXPECT_EQ(Topic_Of(kNotifyModemstate, 0x10), Topic::None);
}

TEST(PortNames, NetworkNamesGiveHostAndPort)
{
    EXPECT_TRUE(Is_Network_Port_Name("rfc2217://lab:2000"));
    EXPECT_TRUE(Is_Network_Port_Name("RFC2217://lab:2000"));
    EXPECT_TRUE(Is_Network_Port_Name("rfc2217://"));
    EXPECT_FALSE(Is_Network_Port_Name("rfc2217:/"));
    EXPECT_FALSE(Is_Network_Port_Name("/dev/ttyUSB0"));

    const auto lab = Network_Port_Address("rfc2217://lab-3.example:2000");
    ASSERT_TRUE(lab);
    EXPECT_EQ(lab->host, "lab-3.example");
    EXPECT_EQ(lab->port, 2000);
    const auto v6 = Network_Port_Address("rfc2217://[::1]:65535");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->port, 65535);
    // What typing passes through on its way to a whole name opens nothing.
    for (const char *partial : {"rfc2217://", "rfc2217://1", "rfc2217://127.0.0.1", "rfc2217://127.0.0.1:",
                                "rfc2217://:2000", "rfc2217://lab:0", "rfc2217://lab:65536", "rfc2217://lab:20x",
                                "rfc2217://::1:2000", "rfc2217://[]:2000", "rfc2217://lab/x:2000", "/dev/lab:2000"})
        EXPECT_FALSE(Network_Port_Address(partial)) << partial;
}
