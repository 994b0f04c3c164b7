#pragma once
// What every fuzz target shares: how a broken promise is reported, and how
// one input becomes a byte stream together with the places where it is cut
// into the chunks a reader receives.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// A reader that breaks its own promise is a finding like a crash: libFuzzer
// keeps the input that did it.
inline void Check(bool holds, const char *promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "==vexa-fuzz== broken promise: %s\n", promise);
    std::abort();
}

inline QByteArray Bytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

// The last byte of an input says how many bytes before it (0..8) are the cut
// pattern; the rest is the stream. Chunk i is as long as pattern byte i
// (cyclically) says: 1..128 bytes, or with the high bit set a multiple of
// 512 plus one, so that whole data frames arrive in one piece too. No
// pattern: the stream is one chunk.
class ChunkedInput {
public:
    ChunkedInput(const std::uint8_t *data, std::size_t size)
    {
        if (size == 0)
            return;
        const std::size_t n = data[size - 1] % 9;
        const std::size_t patternLength = n < size ? n : size - 1;
        stream_ = data;
        streamSize_ = size - 1 - patternLength;
        pattern_.assign(data + streamSize_, data + size - 1);
    }

    const std::uint8_t *Stream() const { return stream_; }
    std::size_t Stream_Size() const { return streamSize_; }

    template <class Take>
    void For_Each_Chunk(Take take) const
    {
        std::size_t at = 0;
        for (std::size_t i = 0; at < streamSize_; ++i) {
            std::size_t length = streamSize_ - at;
            if (!pattern_.empty()) {
                const std::uint8_t p = pattern_[i % pattern_.size()];
                const std::size_t wanted = p & 0x80 ? std::size_t(p & 0x7F) * 512 + 1 : std::size_t(p) + 1;
                length = wanted < length ? wanted : length;
            }
            take(stream_ + at, length);
            at += length;
        }
    }

private:
    const std::uint8_t *stream_ = nullptr;
    std::size_t streamSize_ = 0;
    std::vector<std::uint8_t> pattern_;
};
