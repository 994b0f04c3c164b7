#include "line_assembler.h"

#include <utility>

namespace vexa::modemsim {

namespace {
constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kBackspace = 0x08;
constexpr unsigned char kDelete = 0x7F;
}  // namespace

std::optional<LineAssembler::Line> LineAssembler::push(unsigned char byte)
{
    if (byte == kCr) {
        Line line{std::move(text_), overlong_};
        text_.clear();
        overlong_ = false;
        return line;
    }
    if (byte == kBackspace || byte == kDelete) {
        // Someone typing by hand in a terminal corrects mistakes this way.
        if (!overlong_ && !text_.empty())
            text_.pop_back();
        return std::nullopt;
    }
    // LF and other control bytes (stray XMODEM CAN/ACK, XON/XOFF) belong to
    // no command; dropping them keeps the next command line clean.
    if (byte < 0x20)
        return std::nullopt;
    if (text_.size() == kMaxLine)
        overlong_ = true;
    else if (!overlong_)
        text_.push_back(static_cast<char>(byte));
    return std::nullopt;
}

}  // namespace vexa::modemsim
