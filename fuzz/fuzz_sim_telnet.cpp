// The modem simulator's network port as it reads a client: any bytes, cut
// anywhere. What goes to the modem is never more than came in, and what goes
// back to the client is negotiation and answers only, which Vexa's own
// client side reads without finding serial data in it.

#include "com_port_server.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Rfc2217Protocol.h"

using namespace vexa::modemsim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const ChunkedInput input(data, size);
    ComPortServer server;
    ComPortServer::Output out;
    input.For_Each_Chunk([&](const std::uint8_t *chunk, std::size_t length) { server.feed(chunk, length, out); });
    Check(out.toDevice.size() <= input.Stream_Size(), "no more serial bytes come out than went in");
    vexa::rfc2217::TelnetStream client;
    vexa::rfc2217::TelnetStream::Output read;
    client.Feed(out.toClient.data(), out.toClient.size(), read);
    Check(read.data.empty(), "the server's answers carry no serial data");
    return 0;
}
