#include "support/SimulatedLine.h"

#include <algorithm>
#include <memory>

#include "support/VirtualClock.h"

SimulatedLine::SimulatedLine(VirtualClock &clock, std::mt19937_64 &random, LineTiming timing, LineFaults faults,
                             Deliver deliver)
    : clock_(clock), random_(random), timing_(timing), faults_(faults), deliver_(std::move(deliver))
{
}

bool SimulatedLine::Chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < p; }

QByteArray SimulatedLine::Spoil(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + 4);
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        Byte_Fault fault = plan_ ? plan_(position_, byte) : Byte_Fault::None;
        ++position_;
        if (fault == Byte_Fault::None) {
            if (Chance(faults_.lose))
                fault = Byte_Fault::Lose;
            else if (Chance(faults_.flip))
                fault = Byte_Fault::Flip;
            else if (Chance(faults_.add))
                fault = Byte_Fault::Add;
        }
        switch (fault) {
        case Byte_Fault::Lose: break;
        case Byte_Fault::Flip: out += char(byte ^ (1u << std::uniform_int_distribution<int>(0, 7)(random_))); break;
        case Byte_Fault::Add:
            out += c;
            out += char(std::uniform_int_distribution<int>(0, 255)(random_));
            break;
        case Byte_Fault::None: out += c; break;
        }
    }
    return out;
}

void SimulatedLine::Send(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const std::int64_t now = clock_.Now_Ms();
    const std::int64_t onLine = timing_.baud ? std::int64_t(bytes.size()) * 10 * 1000 / std::int64_t(timing_.baud) : 0;
    const std::int64_t start = std::max(now, line_free_at_);
    line_free_at_ = start + onLine;
    const QByteArray spoilt = Spoil(bytes);
    if (Chance(faults_.drop_write) || spoilt.isEmpty())
        return;
    const int jitter = timing_.jitter_ms > 0 ? std::uniform_int_distribution<int>(0, timing_.jitter_ms)(random_) : 0;
    Arrive(spoilt, line_free_at_ + timing_.delay_ms + jitter);
}

void SimulatedLine::Noise(const QByteArray &bytes) { Arrive(bytes, clock_.Now_Ms() + timing_.delay_ms); }

// A reader wakes for what has arrived and takes it in one or more reads;
// the pieces keep their order and never overtake an earlier arrival.
void SimulatedLine::Arrive(const QByteArray &bytes, std::int64_t at)
{
    at = std::max(at, last_arrival_);
    int from = 0;
    while (from < bytes.size()) {
        int piece = bytes.size() - from;
        if (timing_.max_chunk > 0)
            piece = std::uniform_int_distribution<int>(1, std::min(piece, timing_.max_chunk))(random_);
        const QByteArray chunk = bytes.mid(from, piece);
        from += piece;
        last_arrival_ = at;
        clock_.After(at - clock_.Now_Ms(), [this, chunk] {
            if (!cut_)
                deliver_(chunk);
        });
        at += timing_.max_chunk > 0 ? std::uniform_int_distribution<int>(0, 2)(random_) : 0;
    }
}
