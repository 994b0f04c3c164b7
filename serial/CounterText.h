#pragma once
// The byte counters of the test page are plain text fields holding a decimal
// number; whoever counts reads the text, adds and writes the sum back.

#include <QString>
#include <atomic>
#include <climits>
#include <cstdint>
#include <optional>

// The counter text plus count, summed in 64 bits. Nothing when the text is
// not a decimal number in 64 bits (typed over), or the sum would not fit.
std::optional<QString> Counter_Add(const QString &text, std::uint32_t count);

// The sent-bytes counter, which the flood thread adds to beside the main
// thread. The field's text stays the counter: every text the field takes
// (typed, cleared, or set by the program) is handed to Set_Text, and the
// field is rewritten from Text() after adds. Adding is lock-free, so a
// writer never waits for the main thread.
class SharedCounter {
public:
    // A number becomes the count; any other text makes every add fail until
    // a number is set again.
    void Set_Text(const QString &text);
    // Adds count; false, adding nothing, when the text was not a number.
    bool Add(std::uint32_t count);
    // Whether the count holds a number, and that number as decimal text.
    bool Valid() const { return value_ != kNoNumber; }
    QString Text() const;
    // True for the first add since Refreshed(): that adder asks the main
    // thread for a rewrite, however many adds follow until then.
    bool Claim_Refresh() { return !refreshAsked_.exchange(true); }
    void Refreshed() { refreshAsked_ = false; }

private:
    // The count and its validity are one atomic value, so that setting a
    // number never passes through "no number" under a concurrent add. The
    // lowest 64-bit value stands for a text that is no number.
    static constexpr std::int64_t kNoNumber = INT64_MIN;
    std::atomic<std::int64_t> value_{0};
    std::atomic<bool> refreshAsked_{false};
};
