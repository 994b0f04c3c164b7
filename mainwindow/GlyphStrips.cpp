#include "mainwindow/GlyphStrips.h"

#include <QFontMetrics>
#include <QPainter>

#include "mainwindow/ScreenGeometry.h"
#include "platform/Cp1251.h"

QRgb Color_Ref_To_Rgb(std::uint32_t c) { return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

GlyphStrips::GlyphStrips()
{
    font_.setFamilies(
        {QStringLiteral("Courier"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    font_.setStyleHint(QFont::TypeWriter);
    font_.setPixelSize(13);  // 10 points on a 96 dpi screen
}

const QImage &GlyphStrips::Strip(std::uint32_t color, std::uint32_t background)
{
    if (last_ && color == lastColor_ && background == background_)
        return *last_;
    if (background != background_) {
        strips_.clear();
        background_ = background;
    }
    lastColor_ = color;
    auto it = strips_.find(color);
    if (it != strips_.end())
        return *(last_ = &*it);
    QImage strip(256 * kCellWidth, kLineHeight, QImage::Format_RGB32);
    strip.fill(Color_Ref_To_Rgb(background));
    QPainter painter(&strip);
    painter.setFont(font_);
    painter.setPen(QColor(Color_Ref_To_Rgb(color)));
    const QFontMetrics metrics(font_);
    // Descenders stay inside the 12-pixel row when the font is taller.
    const int baseline = qMin(metrics.ascent(), kLineHeight - qMax(1, metrics.descent()) + 1);
    for (int b = 0; b < 256; ++b) {
        painter.setClipRect(b * kCellWidth, 0, kCellWidth, kLineHeight);
        painter.drawText(b * kCellWidth, baseline, QString(vexa::Cp1251_To_Unicode(static_cast<unsigned char>(b))));
    }
    painter.end();
    return *(last_ = &*strips_.insert(color, strip));
}
