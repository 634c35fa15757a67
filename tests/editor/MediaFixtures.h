// MediaFixtures.h: clips for the host program's tests, made by ffmpeg (so
// that no test reads back what the host's own writer made). A marked clip
// carries its frame number in every picture (ten horizontal bands, grey 20 or
// 235 for the bits of the number) and, in its sound, a 1 kHz burst from 0.6 s
// to 0.9 s in silence, so that a test can tell exactly which frame and which
// sound it got back.
#ifndef QUELVANE_TESTS_MEDIAFIXTURES_H
#define QUELVANE_TESTS_MEDIAFIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

namespace qvtest {

constexpr int kMarkBands = 10;

struct ClipRecipe {
    std::string size = "160x120";
    std::string rate = "30";
    int frames = 60;
    std::string filter{};  // ffmpeg filters after the marks
    std::vector<std::string> codecs{"-c:v", "libx264", "-preset", "ultrafast", "-g", "24", "-c:a", "aac"};
    std::vector<std::string> extra{};  // more output options
    const char *grey = nullptr;        // one colour all over instead of the marks
};

// Makes a marked clip at `path` (its extension names the container). Throws
// std::runtime_error when ffmpeg fails.
void MakeClip(const std::string &path, const ClipRecipe &recipe);

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
