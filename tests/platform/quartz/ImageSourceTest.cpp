// Image sources: lossless formats decode to the premultiplied pixels written
// by Qt's writers, and bad files give no image. (Every format's first image
// through the plug-in's own procedures is in the imaging tests.)
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "HandMadeImages.h"
#include "QuartzTestUtil.h"
#include "corefoundation/CFURL.h"

namespace {

namespace fs = std::filesystem;
using handmade::PNGClaiming;

class ImageSource : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("quelvane-images-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Write(const std::string &name, const QByteArray &bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(bytes.constData(), bytes.size());
        return p.string();
    }

    static QByteArray Encode(const QImage &image, const char *format, int quality = -1) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (quality >= 0) writer.setQuality(quality);
        EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
        return bytes;
    }

    // The first image of a file, through a file URL as the plug-in asks.
    static CGImageRef LoadURL(const std::string &path) {
        CFURLRef url = CFURLCreateFromFileSystemRepresentation(
            kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.c_str()), static_cast<CFIndex>(path.size()),
            false);
        if (!url) return nullptr;
        CGImageSourceRef source = CGImageSourceCreateWithURL(url, nullptr);
        CFRelease(url);
        if (!source) return nullptr;
        CGImageRef image = CGImageSourceGetCount(source) > 0 ? CGImageSourceCreateImageAtIndex(source, 0, nullptr)
                                                             : nullptr;
        CFRelease(source);
        return image;
    }

    static CGImageRef LoadBytes(const QByteArray &bytes) {
        CGImageSourceRef source = QVCGImageSourceCreateWithBytes(bytes.constData(), bytes.size());
        if (!source) return nullptr;
        CGImageRef image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
        CFRelease(source);
        return image;
    }

    fs::path dir_;
};

// A test picture: colour ramps, and alpha ramps when asked.
QImage Pattern(int w, int h, bool alpha) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgba((x * 255) / (w - 1), (y * 255) / (h - 1), (x + y) % 256,
                                     alpha ? (x * 7 + y * 3) % 256 : 255));
    return img;
}

// Largest channel difference between a decoded image and the picture,
// premultiplied as the layer keeps it.
int Difference(CGImageRef image, const QImage &want) {
    EXPECT_EQ(CGImageGetWidth(image), static_cast<size_t>(want.width()));
    EXPECT_EQ(CGImageGetHeight(image), static_cast<size_t>(want.height()));
    const uint8_t *p = QVCGImageGetPixels(image);
    const size_t rb = CGImageGetBytesPerRow(image);
    int worst = 0;
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x) {
            const QRgb c = want.pixel(x, y);
            const int a = qAlpha(c);
            const int expected[4] = {a, (qRed(c) * a + 127) / 255, (qGreen(c) * a + 127) / 255,
                                     (qBlue(c) * a + 127) / 255};
            const uint8_t *q = p + y * rb + x * 4;
            for (int i = 0; i < 4; ++i) worst = std::max(worst, std::abs(q[i] - expected[i]));
        }
    return worst;
}

TEST_F(ImageSource, LosslessFormatsDecodeToTheWrittenPixels) {
    const QImage withAlpha = Pattern(37, 21, true), opaque = Pattern(37, 21, false);
    struct {
        const char *format;
        const QImage &image;
    } cases[] = {{"png", withAlpha}, {"tiff", withAlpha}, {"bmp", opaque}};
    for (const auto &c : cases) {
        const std::string path = Write(std::string("pattern.") + c.format, Encode(c.image, c.format));
        ImageHolder img(LoadURL(path));
        ASSERT_NE(img.image, nullptr) << c.format;
        EXPECT_LE(Difference(img.image, c.image), 1) << c.format << " (premultiplying rounds)";
    }
}

TEST_F(ImageSource, BadFilesGiveNoImage) {
    const QImage pattern = Pattern(64, 64, false);
    // Truncated files of every format, cut in their pixel data.
    for (const char *format : {"png", "jpeg", "bmp", "tiff"}) {
        const QByteArray whole = Encode(pattern, format, 90);
        ImageHolder ok(LoadBytes(whole));
        ASSERT_NE(ok.image, nullptr) << format;
        ImageHolder cut(LoadBytes(whole.left(whole.size() * 6 / 10)));
        EXPECT_EQ(cut.image, nullptr) << "truncated " << format;
    }
    QFile gifFile(QString(std::getenv("QUELVANE_SOURCE_DIR")) + "/tests/plugin/imaging/data/anim.gif");
    ASSERT_TRUE(gifFile.open(QIODevice::ReadOnly));
    const QByteArray gif = gifFile.readAll();
    ImageHolder cutGif(LoadBytes(gif.left(gif.size() / 2)));
    EXPECT_EQ(cutGif.image, nullptr) << "truncated gif";

    // Not images at all.
    EXPECT_EQ(LoadURL(Write("notes.txt", "These are not the pixels you are looking for.\n")), nullptr);
    EXPECT_EQ(LoadBytes(QByteArray(4096, '\xA5')), nullptr) << "garbage";
    EXPECT_EQ(LoadURL(Write("empty.png", QByteArray())), nullptr) << "empty file";
    EXPECT_EQ(LoadURL((dir_ / "missing.png").string()), nullptr);
    EXPECT_EQ(LoadURL(dir_.string()), nullptr) << "a folder";

    // Declared sizes: zero, beyond the sides, beyond the pixel count.
    for (auto [w, h] : {std::pair<quint32, quint32>{0, 10}, {10, 0}, {40000, 10}, {20000, 20000}, {0x7FFFFFFF, 1}}) {
        ImageHolder img(LoadBytes(PNGClaiming(w, h)));
        EXPECT_EQ(img.image, nullptr) << w << " x " << h;
    }
    // A BMP whose width, depth and height multiply beyond 64 bits.
    QByteArray bmp("BM", 2);
    bmp += QByteArray::fromHex("7a010000" "00000000" "36000000" "28000000" "ffffff7f" "ffffff7f" "0100" "ffff"
                               "00000000");
    bmp += QByteArray(64, '\0');
    EXPECT_EQ(LoadBytes(bmp), nullptr) << "BMP claiming 2^31 x 2^31 at 65535 bits a pixel";

    QImage wide(32768, 1, QImage::Format_ARGB32);
    wide.fill(0);
    EXPECT_EQ(LoadBytes(Encode(wide, "png")), nullptr) << "a whole image with a side above 32767";
    ImageHolder small(LoadBytes(PNGClaiming(1, 1)));
    EXPECT_NE(small.image, nullptr) << "the hand-made PNG itself is good";
}

} // namespace
