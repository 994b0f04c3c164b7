#pragma once
// One XMODEM block: SOH (128 data bytes) or STX (1024), block number, its
// complement, the data padded with 0x1A, and then either the 8-bit sum of
// the data or its CRC-16, as the receiver asked.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kCan = 0x18;
constexpr std::uint8_t kPadding = 0x1A;
constexpr std::uint8_t kCrcRequest = 'C';

constexpr std::size_t kXmodemDataSize = 128;
constexpr std::size_t kXmodem1kDataSize = 1024;
constexpr std::size_t kXmodemBlockSize = 132;

// The receiver's request decides the check; only a CRC receiver takes
// 1024-byte blocks.
enum class Xmodem_Mode { Checksum, Crc, Crc_1k };

using XmodemBlockBytes = std::array<std::uint8_t, kXmodemBlockSize>;

// CRC-16 of XMODEM: polynomial 0x1021, initial value 0.
std::uint16_t Xmodem_Crc16(const std::uint8_t *bytes, std::size_t count);

// count bytes of data (at most size; more are not taken) become block number
// of size data bytes (128 or 1024), closed by the check of the mode (the CRC
// high byte first).
std::vector<std::uint8_t> Build_Block(std::uint8_t number, std::size_t size, Xmodem_Mode mode, const std::uint8_t *data,
                                      std::size_t count);

// The checksum block of 128 data bytes.
XmodemBlockBytes Build_Xmodem_Block(std::uint8_t number, const std::uint8_t *data, std::size_t count);
