#pragma once

#include "unique_fd.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

namespace vexa::modemsim {

// The modem's port served over the network as ser2net serves a device: a
// TCP port on 127.0.0.1 speaking RFC 2217 (see ComPortServer), one client at
// a time. A thread of its own moves bytes between the client and the modem's
// pseudo-terminal, on a descriptor of its own to the pty's slave side, so the
// simulator's loop sees a client as it sees a program on the pty.
//
// The two ways in exclude each other as two programs on one serial port do:
// while a network client is served the slave is locked (flock), so a program
// that takes the pty exclusively fails to open it; while such a program
// holds the pty, a network client is told so in text and disconnected, as
// is a second client.
class NetworkPort {
public:
    // Listens on 127.0.0.1:port (0 takes a free port) and starts serving.
    // Throws std::system_error.
    NetworkPort(const std::string &slavePath, std::uint16_t port, std::ostream &console);
    ~NetworkPort();
    NetworkPort(const NetworkPort &) = delete;
    NetworkPort &operator=(const NetworkPort &) = delete;

    std::uint16_t port() const { return port_; }

private:
    class Session;
    void run();
    void accept(std::unique_ptr<Session> &session);
    void serve(std::unique_ptr<Session> &session, short clientEvents, short slaveEvents);
    void end(std::unique_ptr<Session> &session, const std::string &why);
    void say(const std::string &line);

    UniqueFd listener_;
    UniqueFd slave_;
    UniqueFd stop_;
    std::uint16_t port_ = 0;
    std::ostream &console_;
    std::thread thread_;
};

}  // namespace vexa::modemsim
