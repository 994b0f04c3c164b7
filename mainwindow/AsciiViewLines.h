#pragma once
// The lines of the ASCII code view: one per printed byte, its decimal value,
// two blanks and the character. The list empties whenever it reaches 16384
// lines, counted line by line.

#include <QString>
#include <cstdint>

constexpr std::uint32_t kAsciiViewLimit = 16384;

QString Ascii_View_Line(std::uint8_t byte);

// What one print call of count bytes does to a list of linesBefore lines:
// whether the list is emptied on the way, the index of the first byte whose
// line remains, and how many lines the list holds afterwards.
struct AsciiViewBatch {
    bool cleared;
    std::uint32_t firstKept;
    std::uint32_t linesAfter;
};
AsciiViewBatch Ascii_View_Batch(std::uint32_t linesBefore, std::uint32_t count);
