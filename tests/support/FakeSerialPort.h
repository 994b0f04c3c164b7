#pragma once
// A serial backend in memory for the tests of what a pseudo-terminal cannot do:
// modem lines, failing driver calls, a device that vanishes.

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "platform/SerialPort.h"

namespace vexa {

// One fake device. Tests set its lines and failures and feed it bytes.
struct FakeLine {
    std::mutex mutex;
    std::condition_variable changed;

    PortSettings settings;
    std::uint32_t modemStatus = 0;
    std::deque<std::uint8_t> incoming;
    std::vector<std::uint8_t> written;
    bool held = false;
    bool vanished = false;
    bool breakOn = false;
    int purges = 0;
    int setStates = 0;  // settings writes that reached the device

    bool failGetState = false, failSetState = false, failSetupQueues = false, failEventMask = false, failPurge = false,
         failTimeouts = false, failModemStatus = false, failSetBreak = false, failClearBreak = false,
         failPrepareWait = false, failWrite = false;

    void Receive(const std::vector<std::uint8_t> &bytes);
    void Vanish();
    std::vector<std::uint8_t> Written();
};

class FakeSerialHub {
public:
    std::shared_ptr<FakeLine> Add(const std::string &name);
    SerialPortFactory Factory();

private:
    std::shared_ptr<std::map<std::string, std::shared_ptr<FakeLine>>> lines_ =
        std::make_shared<std::map<std::string, std::shared_ptr<FakeLine>>>();
};

}  // namespace vexa
