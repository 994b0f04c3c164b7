#include "xmodem/XmodemBlock.h"

#include <algorithm>

XmodemBlockBytes Build_Xmodem_Block(std::uint8_t number, const std::uint8_t *data, std::size_t count)
{
    XmodemBlockBytes block;
    block.fill(kPadding);
    block[0] = kSoh;
    block[1] = number;
    block[2] = static_cast<std::uint8_t>(255 - number);
    std::copy_n(data, std::min(count, kXmodemDataSize), block.begin() + 3);
    unsigned sum = 0;
    for (std::size_t i = 3; i < 3 + kXmodemDataSize; ++i)
        sum += block[i];
    block[kXmodemBlockSize - 1] = static_cast<std::uint8_t>(sum);
    return block;
}
