// The simulator's network port against the client side Vexa's own network
// port speaks with.

#include "com_port_server.h"
#include "platform/Rfc2217Protocol.h"

#include <gtest/gtest.h>

using namespace vexa::modemsim;
using namespace vexa::rfc2217;

namespace {

struct Exchange {
    ComPortServer::Output server;
    TelnetStream::Output client;
};

Exchange send(ComPortServer &server, TelnetStream &client, const std::vector<std::uint8_t> &bytes)
{
    Exchange e;
    server.feed(bytes.data(), bytes.size(), e.server);
    client.Feed(e.server.toClient.data(), e.server.toClient.size(), e.client);
    return e;
}

std::vector<std::pair<int, std::uint32_t>> messages(const Exchange &e)
{
    std::vector<std::pair<int, std::uint32_t>> list;
    for (const ServerMessage &m : e.client.messages)
        list.emplace_back(m.command, m.value);
    return list;
}

TEST(ModemSimNetwork, AnswersVexasClientAsAComPortServer)
{
    ComPortServer server;
    TelnetStream client;
    Exchange opened = send(server, client, client.Opening());
    EXPECT_TRUE(client.Com_Port_Agreed());
    EXPECT_TRUE(client.Binary_Both_Ways());
    EXPECT_TRUE(opened.client.answers.empty());  // agreed at once, nothing left to negotiate
    EXPECT_EQ(messages(opened), (std::vector<std::pair<int, std::uint32_t>>{{kNotifyModemstate, 0xB0}}));

    const struct {
        std::vector<std::uint8_t> request;
        std::vector<std::pair<int, std::uint32_t>> answers;
    } cases[] = {
        {Baudrate_Request(0), {{kSetBaudrate, 115200}}},
        {Baudrate_Request(9600), {{kSetBaudrate, 9600}}},
        {Baudrate_Request(0), {{kSetBaudrate, 9600}}},
        {Request(kSetDatasize, 7), {{kSetDatasize, 7}}},
        {Request(kSetDatasize, 9), {{kSetDatasize, 7}}},  // refused: the setting stays
        {Request(kSetParity, 0), {{kSetParity, 1}}},
        {Request(kSetStopsize, 3), {{kSetStopsize, 3}}},
        {Request(kSetControl, kFlowQuery), {{kSetControl, kFlowNone}}},
        {Request(kSetControl, kFlowHardware), {{kSetControl, kFlowHardware}}},
        {Request(kSetControl, kDtrOff), {{kSetControl, kDtrOff}}},
        {Request(kSetControl, kDtrQuery), {{kSetControl, kDtrOff}}},
        {Request(kSetControl, kBreakOn), {{kSetControl, kBreakOn}}},
        {Request(kSetModemstateMask, 0x30), {{kSetModemstateMask, 0x30}, {kNotifyModemstate, 0x30}}},
        {Request(kPurgeData, kPurgeToDevice), {{kPurgeData, kPurgeToDevice}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(messages(send(server, client, c.request)), c.answers) << int(c.request[3]);

    const Exchange purged = send(server, client, Request(kPurgeData, kPurgeBoth));
    EXPECT_TRUE(purged.server.purgeFromDevice && purged.server.purgeToDevice);

    // Serial bytes cross both ways whole, 0xFF included.
    std::vector<std::uint8_t> escaped;
    Append_Escaped(reinterpret_cast<const std::uint8_t *>("A\xff"
                                                          "B"),
                   3, escaped);
    EXPECT_EQ(send(server, client, escaped).server.toDevice, (std::vector<std::uint8_t>{'A', 0xFF, 'B'}));
    std::vector<std::uint8_t> fromModem;
    ComPortServer::escape(reinterpret_cast<const std::uint8_t *>("\xffOK"), 3, fromModem);
    TelnetStream::Output read;
    client.Feed(fromModem.data(), fromModem.size(), read);
    EXPECT_EQ(read.data, (std::vector<std::uint8_t>{0xFF, 'O', 'K'}));

    // Another option is refused, once per request; an agreed one is not answered again.
    const std::vector<std::uint8_t> refused = {kIac, kWont, kOptionEcho, kIac, kDont, 99};
    EXPECT_EQ(send(server, client, {kIac, kDo, kOptionEcho, kIac, kWill, 99}).server.toClient, refused);
    EXPECT_TRUE(send(server, client, {kIac, kDo, kOptionBinary}).server.toClient.empty());
}

}  // namespace
