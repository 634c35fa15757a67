// The install as a user and a host author meet it: `cmake --install` into a
// temporary prefix, the bundle copied to another folder, and the example host
// built from the installed SDK with pkg-config and run under the sanitizers
// on the copied bundle: an identity, a 2x centre zoom and the fades, with a
// full host and with one that leaves slots empty and lends frames of another
// size. This process links nothing of ours, so it also loads the copied
// bundle bare.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "HYPluginInterface.h"

namespace fs = std::filesystem;

namespace {

std::string Env(const char *name) {
    const char *v = std::getenv(name);
    return v ? v : "";
}

std::string Quote(const std::string &s) { return "'" + s + "'"; }

struct Output {
    int status = -1;
    std::string text;
};

// Runs a shell command; its standard output and error together.
Output Shell(const std::string &command) {
    Output o;
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return o;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) o.text.append(buffer, n);
    const int status = pclose(pipe);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return o;
}

// The example host's picture: frame n is a 4 x 4 grid of cells.
struct RGB {
    int r, g, b;
};
RGB Cell(int cx, int cy, int n) { return {40 + 60 * cx, 40 + 60 * cy, (2 * n) & 0xFF}; }
RGB Mix(RGB s, RGB d, int a) {
    auto m = [a](int sv, int dv) { return (sv * a + dv * (255 - a) + 127) / 255; };
    return {m(s.r, d.r), m(s.g, d.g), m(s.b, d.b)};
}

struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    RGB At(int x, int y) const {
        const unsigned char *p = &rgb[3 * (static_cast<size_t>(y) * w + x)];
        return {p[0], p[1], p[2]};
    }
};

Picture ReadPPM(const std::string &path) {
    Picture p;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    in >> magic >> p.w >> p.h >> max;
    in.get();
    p.rgb.resize(3 * static_cast<size_t>(p.w) * p.h);
    in.read(reinterpret_cast<char *>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size()));
    if (magic != "P6" || max != 255 || !in) p.w = p.h = 0;
    return p;
}

std::string Describe(RGB c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

constexpr int kBorder = 4, kW = 64, kH = 48;

// Checks frame n of the example host's target: the border untouched, and
// inside it the picture as the plug-in should have drawn it: `expect` gives
// the colour at a point of the frame, checked at every pixel (exact) or at
// the centres of the 4 x 4 grid (sampled, away from the cell edges that
// resampling softens), within `tolerance`.
void CheckFrame(const std::string &path, bool everyPixel, int tolerance, const std::function<RGB(int, int)> &expect) {
    const Picture p = ReadPPM(path);
    ASSERT_EQ(p.w, kW + 2 * kBorder) << path;
    ASSERT_EQ(p.h, kH + 2 * kBorder) << path;
    int bad = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            const bool inside = x >= kBorder && x < kBorder + kW && y >= kBorder && y < kBorder + kH;
            const int fx = x - kBorder, fy = y - kBorder;
            const bool sampled = inside && (fx % (kW / 4) == kW / 8) && (fy % (kH / 4) == kH / 8);
            if (inside && !everyPixel && !sampled) continue;
            const RGB want = inside ? expect(fx, fy) : RGB{0x80, 0x80, 0x80};
            const RGB got = p.At(x, y);
            if (std::abs(got.r - want.r) > tolerance || std::abs(got.g - want.g) > tolerance ||
                std::abs(got.b - want.b) > tolerance) {
                if (++bad <= 3) ADD_FAILURE() << path << " at " << x << "," << y << ": " << Describe(got) << ", want "
                                              << Describe(want);
            }
        }
    EXPECT_EQ(bad, 0) << path;
}

// The identity: the frame as lent. The 2x centre zoom: the middle half of it.
std::function<RGB(int, int)> Identity(int n) {
    return [n](int x, int y) { return Cell(x * 4 / kW, y * 4 / kH, n); };
}
std::function<RGB(int, int)> Zoomed(int n) {
    return [n](int x, int y) { return Cell(1 + x * 2 / kW, 1 + y * 2 / kH, n); };
}
std::function<RGB(int, int)> Faded(int n, int opacity) {
    return [n, opacity](int x, int y) { return Mix(Identity(n)(x, y), Zoomed(n)(x, y), opacity); };
}

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string tmp = (Env("TMPDIR").empty() ? "/tmp" : Env("TMPDIR")) + "/quelvane-install-XXXXXX";
        ASSERT_NE(mkdtemp(tmp.data()), nullptr);
        root = tmp;
        prefix = root + "/prefix";
        copy = root + "/elsewhere/Quelvane.plugin";
        const Output install = Shell(Quote(Env("QUELVANE_CMAKE")) + " --install " + Quote(Env("QUELVANE_BINARY_DIR")) +
                                     " --prefix " + Quote(prefix));
        ASSERT_EQ(install.status, 0) << install.text;
        fs::create_directories(root + "/elsewhere");
        fs::copy(prefix + "/lib/quelvane/Quelvane.plugin", copy, fs::copy_options::recursive);
        const Output build =
            Shell(Quote(Env("QUELVANE_C_COMPILER")) + " -std=c11 -Wall -Wextra -Werror " + Env("QUELVANE_EXAMPLE_FLAGS") +
                  " " + Quote(prefix + "/share/doc/quelvane/example-host.c") + " $(PKG_CONFIG_PATH=" +
                  Quote(prefix + "/lib/pkgconfig") + " pkg-config --cflags --libs quelvane) -ldl -Wl,-rpath," +
                  Quote(prefix + "/lib") + " -o " + Quote(root + "/example-host"));
        ASSERT_EQ(build.status, 0) << build.text;
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        if (!root.empty()) fs::remove_all(root, ignored);
    }

    // Runs an installed program or the example host with a preferences
    // folder of the test's, the leak report filtered for third-party caches.
    static Output Run(const std::string &command) {
        std::string env = "XDG_CONFIG_HOME=" + Quote(root) + " QT_QPA_PLATFORM=offscreen";
        if (Env("LSAN_OPTIONS").empty())
            env += " LSAN_OPTIONS=suppressions=" + Quote(Env("QUELVANE_SOURCE_DIR") + "/tests/lsan.supp");
        return Shell("env -u QUELVANE_BUNDLE " + env + " " + command);
    }
    static Output Example(const std::string &options, const std::string &out) {
        return Run(Quote(root + "/example-host") + " " + options + " " + Quote(copy) + " " + Quote(root + "/" + out));
    }
    static void SetZoom(const char *zoom) {
        const Output o = Run(Quote(prefix + "/bin/quelvane-prefs") + " --zoom " + zoom);
        ASSERT_EQ(o.status, 0) << o.text;
    }

    static std::string root, prefix, copy;
};
std::string Installed::root, Installed::prefix, Installed::copy;

// The shared objects of this process whose path contains `part`.
std::vector<std::string> Loaded(const char *part) {
    std::vector<std::string> found;
    struct Search {
        const char *part;
        std::vector<std::string> *found;
    } search{part, &found};
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            auto *s = static_cast<Search *>(data);
            if (info->dlpi_name && std::strstr(info->dlpi_name, s->part)) s->found->push_back(info->dlpi_name);
            return 0;
        },
        &search);
    return found;
}

} // namespace

TEST_F(Installed, HasItsLayoutWithRelativeRunPathsAndFindsItsBundle) {
    for (const char *file :
         {"bin/quelvane-host", "bin/quelvane-prefs", "lib/libquelvane-platform.so.1", "lib/libquelvane-platform.so",
          "include/quelvane/HYPluginInterface.h", "include/quelvane/MacTypes.h",
          "include/quelvane/quickdraw/QuickDraw.h", "lib/pkgconfig/quelvane.pc", "share/doc/quelvane/manual.pdf",
          "share/man/man1/quelvane-host.1", "share/man/man1/quelvane-prefs.1",
          "lib/quelvane/Quelvane.plugin/Contents/Frameworks/libquelvane-platform.so.1"})
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;

    const std::string library = copy + "/Contents/Linux/Quelvane.so";
    const struct {
        std::string file, runpath;
    } runpaths[] = {{library, "$ORIGIN/../Frameworks"},
                    {prefix + "/bin/quelvane-host", "$ORIGIN/../lib"},
                    {prefix + "/bin/quelvane-prefs", "$ORIGIN/../lib"}};
    for (const auto &r : runpaths) {
        const Output dyn = Shell("readelf -d " + Quote(r.file));
        EXPECT_NE(dyn.text.find("(RUNPATH)            Library runpath: [" + r.runpath + "]"), std::string::npos)
            << r.file << "\n" << dyn.text;
    }
    // The bundle's library exports its entry point and nothing else.
    const Output symbols = Shell("nm -D --defined-only " + Quote(library) + " | awk '$2 != \"A\" {print $3}'");
    EXPECT_EQ(symbols.text, "main\n");

    // The installed host finds the installed bundle with no option or variable.
    const Output info = Run(Quote(prefix + "/bin/quelvane-host") + " info");
    ASSERT_EQ(info.status, 0) << info.text;
    EXPECT_NE(info.text.find("plug-in:        " + prefix + "/lib/quelvane/Quelvane.plugin/Contents/Linux/Quelvane.so"),
              std::string::npos)
        << info.text;
    EXPECT_NE(info.text.find("button:         Settings\u2026"), std::string::npos) << info.text;
}

TEST_F(Installed, ACopiedBundleLoadsInABareProcessAndSharesOnePlatformLibrary) {
    ASSERT_TRUE(Loaded("libquelvane-platform").empty()) << "this test links nothing of ours";
    void *copied = dlopen((copy + "/Contents/Linux/Quelvane.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(copied, nullptr) << dlerror();
    std::vector<std::string> platform = Loaded("libquelvane-platform");
    ASSERT_EQ(platform.size(), 1u);
    EXPECT_TRUE(fs::equivalent(platform[0], copy + "/Contents/Frameworks/libquelvane-platform.so.1")) << platform[0];

    // It finds its own resources: the button caption, in Mac Roman.
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    HYProcs procs{};
    procs.NewPtrClear = [](SInt32 size) { return static_cast<Ptr>(std::calloc(1, static_cast<size_t>(size))); };
    procs.DisposePtr = [](Ptr block) { std::free(block); };
    PluginParams params{};
    params.interfaceVersion = 5;
    params.procs = &procs;
    params.selector = kPlugGetInfo;
    auto entry = reinterpret_cast<HYPluginMainProcPtr>(dlsym(copied, "main"));
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry(kPlugGetInfo, &params), kPluginOK);
    EXPECT_STREQ(params.getInfo3.buttonTitle, "Settings\xC9");
    EXPECT_EQ(params.getInfo.pluginType, kPluginFilterType);

    // A second bundle in the same process is bound to the copy already loaded.
    void *installed = dlopen((prefix + "/lib/quelvane/Quelvane.plugin/Contents/Linux/Quelvane.so").c_str(),
                             RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(installed, nullptr) << dlerror();
    EXPECT_EQ(Loaded("libquelvane-platform"), platform);
}

TEST_F(Installed, ExampleHostRendersTheIdentityTheZoomAndTheFades) {
    SetZoom("0,0");
    Output o = Example("-f 0,1,7", "identity");
    ASSERT_EQ(o.status, 0) << o.text;
    EXPECT_NE(o.text.find("button: Settings\u2026\n"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("frame 7: result 0, quality 1, no blend, sound mixed\n"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("blocks held: 1, frames held: 0\n"), std::string::npos) << o.text;
    for (int n : {0, 1, 7}) CheckFrame(root + "/identity-" + std::to_string(n) + ".ppm", true, 0, Identity(n));

    // Twice as large about the centre; the untouched frame faded over it.
    SetZoom("1000,1000");
    struct Fade {
        const char *options;
        int frame, opacity; // -1: no blend
    } fades[] = {{"-i 10", 0, 255}, {"-i 10", 5, 127}, {"-i 10", 10, -1},
                 {"-o 10", 90, -1}, {"-o 10", 91, 25},  {"-o 10", 99, 229}};
    for (const Fade &f : fades) {
        o = Example(std::string(f.options) + " -f " + std::to_string(f.frame), "zoom");
        ASSERT_EQ(o.status, 0) << o.text;
        const std::string blend = f.opacity < 0 ? "no blend" : "opacity " + std::to_string(f.opacity);
        EXPECT_NE(o.text.find("frame " + std::to_string(f.frame) + ": result 0, quality 1, " + blend + ", sound mixed"),
                  std::string::npos)
            << o.text;
        CheckFrame(root + "/zoom-" + std::to_string(f.frame) + ".ppm", f.opacity == 255, 1,
                   f.opacity < 0 ? Zoomed(f.frame) : Faded(f.frame, f.opacity));
    }

    // Frames lent at twice the size asked render whole, faded whole.
    o = Example("-g 128x96 -i 10 -f 5", "larger");
    ASSERT_EQ(o.status, 0) << o.text;
    EXPECT_NE(o.text.find("frame 5: result 0, quality 1, opacity 127, sound mixed\n"), std::string::npos) << o.text;
    CheckFrame(root + "/larger-5.ppm", false, 1, Faded(5, 127));

    // Without Blit, MixAudio and the other optional slots, and frames lent at
    // half the size: the frames render whole, without the fade or sound.
    o = Example("-e Blit,MixAudio,GetMovieInfo,GetClipInfo,ReleaseFilterInfo -g 32x24 -i 10 -f 5,12", "sparse");
    ASSERT_EQ(o.status, 0) << o.text;
    EXPECT_NE(o.text.find("frame 5: result 0, quality 1, no blend, no sound\n"), std::string::npos) << o.text;
    for (int n : {5, 12}) CheckFrame(root + "/sparse-" + std::to_string(n) + ".ppm", false, 1, Zoomed(n));

    // Without GetFrame the request is refused: nothing drawn, nothing kept.
    o = Example("-e GetFrame -f 3", "refused");
    EXPECT_EQ(o.status, 1) << o.text;
    EXPECT_NE(o.text.find("frame 3: result 3, quality -1, no blend, no sound\n"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("blocks held: 1, frames held: 0\n"), std::string::npos) << o.text;
    CheckFrame(root + "/refused-3.ppm", true, 0, [](int, int) { return RGB{0x80, 0x80, 0x80}; });

    // A proxy render asks for low quality up to 259 rows, and mixes no sound.
    for (const auto &[rows, quality] : {std::pair{259, 0}, {260, 1}}) {
        o = Example("-p -s 64x" + std::to_string(rows) + " -f 2", "proxy");
        ASSERT_EQ(o.status, 0) << o.text;
        EXPECT_NE(o.text.find("frame 2: result 0, quality " + std::to_string(quality) + ", no blend, no sound\n"),
                  std::string::npos)
            << rows << " rows\n" << o.text;
    }
}
