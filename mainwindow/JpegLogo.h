#pragma once
// The maker's logo: a JPEG picture decoded with libjpeg's decompression API.

#include <QByteArray>
#include <QImage>

// A null image when the bytes are not a JPEG libjpeg can read.
QImage Decode_Jpeg(const QByteArray &jpeg);

// The logo picture built into the program.
QImage Logo_Picture();
