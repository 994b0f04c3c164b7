#include "mainwindow/JpegLogo.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

void On_Error(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->escape, 1); }

void Quiet(j_common_ptr) {}

// Plain C-style decoding into a malloc'd RGB buffer: a longjmp out of libjpeg
// must not skip any C++ destructor.
unsigned char *Decode_Rgb(const unsigned char *data, unsigned long size, int *width, int *height)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    unsigned char *volatile pixels = nullptr;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = On_Error;
    errors.base.output_message = Quiet;
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&info);
        std::free(pixels);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const size_t stride = size_t(info.output_width) * 3;
    pixels = static_cast<unsigned char *>(std::malloc(stride * info.output_height));
    if (pixels == nullptr)
        std::longjmp(errors.escape, 1);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    *width = static_cast<int>(info.output_width);
    *height = static_cast<int>(info.output_height);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return pixels;
}

}  // namespace

QImage Decode_Jpeg(const QByteArray &jpeg)
{
    if (jpeg.isEmpty())
        return {};
    int width = 0, height = 0;
    unsigned char *rgb = Decode_Rgb(reinterpret_cast<const unsigned char *>(jpeg.constData()),
                                    static_cast<unsigned long>(jpeg.size()), &width, &height);
    if (rgb == nullptr)
        return {};
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), rgb + size_t(y) * width * 3, size_t(width) * 3);
    std::free(rgb);
    return image;
}

QImage Logo_Picture()
{
    Q_INIT_RESOURCE(logo);  // the picture lives in a static library
    QFile file(QStringLiteral(":/vexa/logo.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return Decode_Jpeg(file.readAll());
}
