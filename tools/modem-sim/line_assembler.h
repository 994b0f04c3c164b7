#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vexa::modemsim {

// Collects received bytes into command lines ended by CR.
// The buffer is bounded so a sender that never sends CR cannot make it grow:
// past kMaxLine characters the rest of the line is dropped and the line is
// reported as over-long at its CR, which the modem answers with ERROR.
class LineAssembler {
public:
    static constexpr std::size_t kMaxLine = 512;

    struct Line {
        std::string text;
        bool overlong = false;
    };

    // Returns the finished line when `byte` is the CR that ends it.
    std::optional<Line> push(unsigned char byte);

private:
    std::string text_;
    bool overlong_ = false;
};

}  // namespace vexa::modemsim
