// Marked clips for the host program's tests.
#include "MediaFixtures.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

extern char **environ;

namespace qvtest {

void MakeClip(const std::string &path, const ClipRecipe &c) {
    std::string video = "color=c=" + std::string(c.grey ? c.grey : "black") + ":size=" + c.size + ":rate=" + c.rate +
                        ",format=yuv420p";
    if (!c.grey) video += R"(,geq=lum='if(bitand(N\,pow(2\,floor(Y*10/H)))\,235\,20)':cb=128:cr=128)";
    if (!c.filter.empty()) video += "," + c.filter;
    std::vector<std::string> args{"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", video, "-f", "lavfi",
                                  "-i", "aevalsrc='if(between(t,0.6,0.9),0.5*sin(2*PI*1000*t),0)':s=48000:d=5",
                                  "-frames:v", std::to_string(c.frames)};
    args.insert(args.end(), c.codecs.begin(), c.codecs.end());
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    args.push_back(path);
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    int status = -1;
    const bool ran = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ) == 0 &&
                     waitpid(pid, &status, 0) == pid;
    posix_spawn_file_actions_destroy(&actions);
    if (!ran || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("ffmpeg could not make " + path);
}

void PaintMarks(uint8_t *pixels, long rowBytes, int width, int height, int n) {
    for (int y = 0; y < height; ++y) {
        const int band = y * kMarkBands / height;
        const uint8_t v = (n >> band) & 1 ? 235 : 20;
        uint8_t *p = pixels + y * rowBytes;
        for (int x = 0; x < width; ++x, p += 4) {
            p[0] = 255;
            p[1] = p[2] = p[3] = v;
        }
    }
}

int ReadMarks(const uint8_t *pixels, long rowBytes, int width, int height) {
    int n = 0;
    for (int band = 0; band < kMarkBands; ++band) {
        const int y = (2 * band + 1) * height / (2 * kMarkBands);
        const uint8_t *p = pixels + y * rowBytes + 4 * (width / 2);
        const int grey = (p[1] + p[2] + p[3]) / 3;
        if (grey > 90 && grey < 165) return -1;
        if (grey >= 165) n |= 1 << band;
    }
    return n;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quelvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace qvtest
