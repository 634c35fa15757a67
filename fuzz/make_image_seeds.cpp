// Writes the seed corpus of the image_file fuzz target with our own code:
// small pictures written by Qt's image writers (PNG, JPEG, BMP, TIFF), and for
// what Qt cannot write, the animated GIF and two-page TIFF of the imaging
// tests' data and a PNG declaring a huge size, built byte by byte.
//
//     quelvane_fuzz_image_seeds CORPUS_FOLDER      (writes CORPUS_FOLDER/image_file/)
#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "HandMadeImages.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path &p, const QByteArray &bytes) {
    std::ofstream(p, std::ios::binary).write(bytes.constData(), bytes.size());
}

QByteArray Encode(const QImage &image, const char *format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(70);
    if (!writer.write(image)) std::fprintf(stderr, "cannot write %s\n", format);
    return bytes;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quelvane_fuzz_image_seeds CORPUS_FOLDER\n");
        return 2;
    }
    const fs::path dir = fs::path(argv[1]) / "image_file";
    fs::create_directories(dir);
    QImage picture(12, 9, QImage::Format_ARGB32);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) picture.setPixel(x, y, qRgba(x * 20, y * 28, (x * y) % 256, 40 + x * 18));
    Write(dir / "alpha.png", Encode(picture, "png"));
    Write(dir / "alpha.tif", Encode(picture, "tiff"));
    const QImage opaque = picture.convertToFormat(QImage::Format_RGB32);
    Write(dir / "opaque.jpg", Encode(opaque, "jpeg"));
    Write(dir / "opaque.bmp", Encode(opaque, "bmp"));
    const fs::path data = QUELVANE_IMAGE_TEST_DATA;
    fs::copy_file(data / "anim.gif", dir / "two-frames.gif", fs::copy_options::overwrite_existing);
    fs::copy_file(data / "pages.tif", dir / "two-pages.tif", fs::copy_options::overwrite_existing);
    Write(dir / "huge-claim.png", handmade::PNGClaiming(40000, 40000));
    return 0;
}
