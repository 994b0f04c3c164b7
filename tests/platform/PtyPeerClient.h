#pragma once
// The Windows tests' end of vexa-pty-peer (PtyPeer.cpp), which bash vexa.sh
// wintest starts on the Linux side and names in VEXA_PTY_PEER (host:port).
// One object is one connection and one pair of pseudo-terminals linked as a
// COM port; the far end is the modem the test plays.

#include <cstdint>
#include <optional>
#include <string>

namespace vexa_test {

// The near terminal's settings as the Linux kernel holds them.
struct LineTermios {
    std::uint32_t speed = 0;
    int bits = 0;
    char parity = '?';  // N, O, E
    int stopBits = 0;
    bool crtscts = false;
};

class PtyPeer {
public:
    explicit PtyPeer(int comNumber);
    ~PtyPeer();
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    // Connected and the pair is linked; otherwise error() says why.
    bool ok() const { return ok_; }
    const std::string &error() const { return error_; }
    const std::string &portName() const { return portName_; }

    bool Send(const std::string &bytes);
    // Up to count bytes from the far end, waiting at most ms for them.
    std::string Receive(std::size_t count, int ms);
    std::optional<LineTermios> Termios();
    // The line stops taking bytes, and takes them again.
    bool Stop();
    bool Resume();
    // Both terminals vanish, as an unplugged device does.
    bool Hang_Up();

private:
    bool Command(const std::string &line, std::string &reply);
    bool Send_All(const char *data, std::size_t size);
    bool Receive_All(char *data, std::size_t size);
    bool Receive_Line(std::string &line);

    std::uintptr_t socket_;
    bool ok_ = false;
    std::string error_;
    std::string portName_;
};

}  // namespace vexa_test
