#include "xmodem/XmodemBlock.h"

#include <algorithm>

std::uint16_t Xmodem_Crc16(const std::uint8_t *bytes, std::size_t count)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::vector<std::uint8_t> Build_Block(std::uint8_t number, std::size_t size, Xmodem_Mode mode, const std::uint8_t *data,
                                      std::size_t count)
{
    const bool crc = mode != Xmodem_Mode::Checksum;
    std::vector<std::uint8_t> block(3 + size + (crc ? 2 : 1), kPadding);
    block[0] = size == kXmodem1kDataSize ? kStx : kSoh;
    block[1] = number;
    block[2] = static_cast<std::uint8_t>(255 - number);
    std::copy_n(data, std::min(count, size), block.begin() + 3);
    const std::uint8_t *payload = block.data() + 3;
    if (crc) {
        const std::uint16_t sum = Xmodem_Crc16(payload, size);
        block[3 + size] = static_cast<std::uint8_t>(sum >> 8);
        block[4 + size] = static_cast<std::uint8_t>(sum);
    } else {
        unsigned sum = 0;
        for (std::size_t i = 0; i < size; ++i)
            sum += payload[i];
        block[3 + size] = static_cast<std::uint8_t>(sum);
    }
    return block;
}

XmodemBlockBytes Build_Xmodem_Block(std::uint8_t number, const std::uint8_t *data, std::size_t count)
{
    const std::vector<std::uint8_t> bytes = Build_Block(number, kXmodemDataSize, Xmodem_Mode::Checksum, data, count);
    XmodemBlockBytes block;
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return block;
}
