#pragma once
// Cuts the byte stream of the file protocol into frames, whatever the
// chunks it arrives in.
//
// A frame is complete when its whole length is held and its own end token
// stands at its end: fixed kinds have fixed lengths, a data frame is 28
// bytes plus its length field (at most 32796). Nothing else closes a frame,
// so data that happens to hold "DTDT1", or another kind's end token, does not.
// Bytes after a complete frame stay for the next one, so two frames in one
// chunk are both seen, also when they were held already (kept from a frame
// dropped before). The buffer holds one largest frame and nothing is ever
// written past it.
//
// Bytes that do not begin a frame are dropped up to the next place where a
// start token (or the beginning of one, at the end of what is held) stands.
// A frame that turns out broken (its end token missing where its length
// says, or a data length that is not a number up to 32768) is dropped the
// same way, from its second byte on, so a frame that followed a truncated
// one is still found.

#include <cstdint>
#include <vector>

#include "transfer/FileFrames.h"

class FrameParser {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // A start token was recognised; the frame is not complete yet.
        virtual void Frame_Begun(FrameKind kind) = 0;
        // A begun frame was found broken and dropped.
        virtual void Frame_Dropped(FrameKind kind) = 0;
        // A whole frame; the bytes stay valid during the call only. The
        // call must not feed this parser.
        virtual void Frame_Complete(FrameKind kind, const std::uint8_t *frame, std::uint32_t length) = 0;
    };

    FrameParser();

    void Feed(const std::uint8_t *bytes, std::uint32_t count, Listener &listener);
    // Forgets what is held and the frame that had begun.
    void Clear();

    bool Holds_Bytes() const { return fill_ > 0; }
    // The kind of the frame that has begun and is not complete, or None.
    FrameKind Open_Kind() const { return kind_; }
    // The open frame is short of its length but what is held ends with its
    // end token: a byte of it was probably lost on the line. Only the line
    // going quiet tells that from data that holds the token.
    bool Ends_Short() const;
    // Drops the open frame as broken, as if its end token were missing.
    void Drop_Open(Listener &listener);

private:
    std::uint32_t Wanted() const;
    bool Check_Data_Length();
    void Resynchronise(std::uint32_t from);
    void Consume(std::uint32_t length);

    std::vector<std::uint8_t> buffer_;
    std::uint32_t fill_ = 0;
    FrameKind kind_ = FrameKind::None;
    std::uint32_t length_ = 0;  // whole length of the open frame, 0 while unknown
};
