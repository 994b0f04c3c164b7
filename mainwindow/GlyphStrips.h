#pragma once
// All 256 glyphs of one text colour on the screen background, drawn once into
// a strip, so that drawing a byte is a copy of one 8 x 12 cell.

#include <QFont>
#include <QHash>
#include <QImage>
#include <cstdint>

class GlyphStrips {
public:
    GlyphStrips();
    // The strip for a text colour on a background (0x00BBGGRR values); cell b
    // of the strip holds the cp1251 character b.
    const QImage &Strip(std::uint32_t color, std::uint32_t background);

private:
    QFont font_;
    std::uint32_t background_ = 0;
    QHash<std::uint32_t, QImage> strips_;
    // The strip asked for last: a burst asks for the same one per byte.
    std::uint32_t lastColor_ = 0;
    const QImage *last_ = nullptr;
};

QRgb Color_Ref_To_Rgb(std::uint32_t color);
