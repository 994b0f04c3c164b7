#pragma once
// One XMODEM block of the checksum variant: SOH, block number, its
// complement, 128 data bytes padded with 0x1A, and the 8-bit sum of the data.

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kCan = 0x18;
constexpr std::uint8_t kPadding = 0x1A;

constexpr std::size_t kXmodemDataSize = 128;
constexpr std::size_t kXmodemBlockSize = 132;

using XmodemBlockBytes = std::array<std::uint8_t, kXmodemBlockSize>;

// count bytes of data (at most 128; more are not taken) become block number.
XmodemBlockBytes Build_Xmodem_Block(std::uint8_t number, const std::uint8_t *data, std::size_t count);
