#pragma once

#include "unique_fd.h"

#include <initializer_list>
#include <vector>

namespace vexa::modemsim {

// Turns signals into a readable fd for poll(): the handler only writes one
// byte. One instance per process.
class SignalPipe {
public:
    explicit SignalPipe(std::initializer_list<int> signals);
    ~SignalPipe();
    SignalPipe(const SignalPipe &) = delete;
    SignalPipe &operator=(const SignalPipe &) = delete;

    int fd() const { return read_.get(); }

private:
    UniqueFd read_;
    UniqueFd write_;
    std::vector<int> signals_;
};

}  // namespace vexa::modemsim
