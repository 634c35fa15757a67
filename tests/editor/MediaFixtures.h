// MediaFixtures.h: clips for the host program's tests. A marked clip carries
// its frame number in every picture (ten horizontal bands, black or white
// for the bits of the number) and a 1 kHz tone at half scale, so that a test
// can tell exactly which frame and which sound it got back.
#ifndef QUELVANE_TESTS_MEDIAFIXTURES_H
#define QUELVANE_TESTS_MEDIAFIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

namespace qvtest {

constexpr int kMarkBands = 10;
constexpr double kMarkToneHz = 1000.0;
constexpr double kMarkToneLevel = 0.5;

struct MarkedClip {
    int width = 320;
    int height = 240;
    int fps = 30;
    int frames = 120;
    int keyInterval = 24;
    bool audio = true;
    int sampleRate = 48000;
    int crf = 18;
    int grey = -1;  // 0..255: every picture this grey instead of the marks
};

// Writes a marked clip (or a grey one) with the host's own writer (H.264, AAC).
void WriteMarkedClip(const std::string &path, const MarkedClip &clip);

// Fills an A, R, G, B buffer with the marks of frame n.
void PaintMarks(uint8_t *pixels, long rowBytes, int width, int height, int n);
// Reads the frame number back from an A, R, G, B buffer (-1 when unclear).
int ReadMarks(const uint8_t *pixels, long rowBytes, int width, int height);

// A fresh empty folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace qvtest

#endif
