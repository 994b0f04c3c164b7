// Renders the desktop icon from the logo the main window shows, one square PNG
// per size under <folder>/<N>x<N>/apps/vexa.png (the hicolor theme's layout).

#include <QDir>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "mainwindow/JpegLogo.h"

namespace {

const int kSizes[] = {16, 32, 48, 64, 128, 256};

// The logo is a tall tile: it keeps its proportions in the middle of the
// square, and its outer edges are stretched sideways to fill the rest, so the
// icon is one whole tile in the logo's own colours at every size.
QImage Square_Icon(const QImage &logo, int size)
{
    const QImage scaled = logo.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const int width = scaled.width(), height = scaled.height();
    const int left = (size - width) / 2, top = (size - height) / 2;
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    if (width < size) {
        painter.drawImage(QRect(0, 0, left, size), scaled, QRect(0, 0, 1, height));
        painter.drawImage(QRect(left + width, 0, size - left - width, size), scaled, QRect(width - 1, 0, 1, height));
    } else if (height < size) {
        painter.drawImage(QRect(0, 0, size, top), scaled, QRect(0, 0, width, 1));
        painter.drawImage(QRect(0, top + height, size, size - top - height), scaled, QRect(0, height - 1, width, 1));
    }
    painter.drawImage(left, top, scaled);
    return icon;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vexa-make-icons FOLDER\n");
        return 2;
    }
    const QImage logo = Logo_Picture();
    if (logo.isNull()) {
        std::fprintf(stderr, "vexa-make-icons: the built-in logo does not decode\n");
        return 1;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (int size : kSizes) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = root.filePath(folder + QStringLiteral("/vexa.png"));
        if (!root.mkpath(folder) || !Square_Icon(logo, size).save(path, "PNG")) {
            std::fprintf(stderr, "vexa-make-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
