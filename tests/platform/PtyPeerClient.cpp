#include "PtyPeerClient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <sstream>

namespace vexa_test {
namespace {

bool Start_Winsock()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace

PtyPeer::PtyPeer(int comNumber) : socket_(INVALID_SOCKET)
{
    const char *where = std::getenv("VEXA_PTY_PEER");
    const std::string address = where ? where : "";
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos) {
        error_ = "VEXA_PTY_PEER is not set: these tests run under Wine by bash vexa.sh wintest";
        return;
    }
    addrinfo hints{}, *found = nullptr;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    if (!Start_Winsock() ||
        getaddrinfo(address.substr(0, colon).c_str(), address.substr(colon + 1).c_str(), &hints, &found) != 0) {
        error_ = "cannot resolve " + address;
        return;
    }
    const SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    const bool connected = s != INVALID_SOCKET && connect(s, found->ai_addr, int(found->ai_addrlen)) == 0;
    freeaddrinfo(found);
    if (!connected) {
        if (s != INVALID_SOCKET)
            closesocket(s);
        error_ = "cannot connect to the pty peer at " + address;
        return;
    }
    socket_ = s;
    std::string reply;
    ok_ = Command("PAIR " + std::to_string(comNumber), reply);
    if (ok_)
        portName_ = "COM" + std::to_string(comNumber);
    else
        error_ = "the pty peer made no pair: " + reply;
}

PtyPeer::~PtyPeer()
{
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
}

bool PtyPeer::Send_All(const char *data, std::size_t size)
{
    while (size > 0) {
        const int n = send(socket_, data, int(size), 0);
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

bool PtyPeer::Receive_All(char *data, std::size_t size)
{
    while (size > 0) {
        const int n = recv(socket_, data, int(size), 0);
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

bool PtyPeer::Receive_Line(std::string &line)
{
    line.clear();
    char c = 0;
    while (Receive_All(&c, 1)) {
        if (c == '\n')
            return true;
        line += c;
    }
    return false;
}

bool PtyPeer::Command(const std::string &line, std::string &reply)
{
    const std::string sent = line + "\n";
    return socket_ != INVALID_SOCKET && Send_All(sent.data(), sent.size()) && Receive_Line(reply) &&
           reply.compare(0, 2, "OK") == 0;
}

bool PtyPeer::Send(const std::string &bytes)
{
    const std::string head = "SEND " + std::to_string(bytes.size()) + "\n";
    std::string reply;
    return Send_All(head.data(), head.size()) && Send_All(bytes.data(), bytes.size()) && Receive_Line(reply) &&
           reply == "OK";
}

std::string PtyPeer::Receive(std::size_t count, int ms)
{
    std::string reply;
    if (!Command("RECV " + std::to_string(count) + " " + std::to_string(ms), reply))
        return std::string();
    std::string bytes(std::strtoul(reply.c_str() + 3, nullptr, 10), '\0');
    return Receive_All(bytes.data(), bytes.size()) ? bytes : std::string();
}

std::optional<LineTermios> PtyPeer::Termios()
{
    std::string reply;
    if (!Command("TERMIOS", reply))
        return std::nullopt;
    std::istringstream in(reply.substr(3));
    LineTermios t;
    int crtscts = 0;
    if (!(in >> t.speed >> t.bits >> t.parity >> t.stopBits >> crtscts))
        return std::nullopt;
    t.crtscts = crtscts != 0;
    return t;
}

bool PtyPeer::Stop()
{
    std::string reply;
    return Command("STOP", reply);
}

bool PtyPeer::Resume()
{
    std::string reply;
    return Command("CONT", reply);
}

bool PtyPeer::Hang_Up()
{
    std::string reply;
    return Command("HANGUP", reply);
}

}  // namespace vexa_test
