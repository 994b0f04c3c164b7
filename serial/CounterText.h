#pragma once
// The byte counters of the test page are plain text fields holding a decimal
// number; whoever counts reads the text, adds and writes the sum back.

#include <QString>
#include <cstdint>
#include <optional>

// The counter text plus count: the text is read as a signed 32-bit decimal
// number and the sum is taken in 64 bits. Nothing when the text is not such
// a number (typed over, or grown past 2147483647).
std::optional<QString> Counter_Add(const QString &text, std::uint32_t count);
