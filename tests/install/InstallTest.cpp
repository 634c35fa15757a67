// The install as a user and a host author meet it: `cmake --install` into a
// temporary prefix, the bundle copied to another folder, and the example host
// built from the installed SDK with pkg-config and run under the sanitizers
// on the copied bundle: an identity, a 2x centre zoom and the fades, with a
// full host and with one that leaves slots empty and lends frames of another
// size. This process links nothing of ours, so it also loads the copied
// bundle bare and sees its one-time start-up.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <array>
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

std::string Env(const char *name) { return std::getenv(name) ? std::getenv(name) : ""; }
std::string Q(const std::string &s) { return "'" + s + "'"; }

struct Output {
    int status = -1;
    std::string text; // standard output and error
};

Output Shell(const std::string &command) {
    Output o;
    FILE *pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) o.text.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return o;
}

// The example host's clip: frame n is a 4 x 4 grid of cells; its target is
// the frame inside a grey border.
using RGB = std::array<int, 3>;
constexpr int kBorder = 4, kW = 64, kH = 48;
constexpr RGB kGrey{0x80, 0x80, 0x80};
RGB Cell(int cx, int cy, int n) { return {40 + 60 * cx, 40 + 60 * cy, (2 * n) & 0xFF}; }
using Expect = std::function<RGB(int, int)>;
// The identity: the frame as lent. The 2x centre zoom: its middle half. A
// fade: the frame blended over the zoom as the example host's Blit does.
Expect Identity(int n) {
    return [n](int x, int y) { return Cell(x * 4 / kW, y * 4 / kH, n); };
}
Expect Zoomed(int n, int opacity = 0) {
    return [n, opacity](int x, int y) {
        RGB s = Cell(x * 4 / kW, y * 4 / kH, n);
        const RGB d = Cell(1 + x * 2 / kW, 1 + y * 2 / kH, n);
        for (int c = 0; c < 3; ++c) s[c] = (s[c] * opacity + d[c] * (255 - opacity) + 127) / 255;
        return s;
    };
}

// Checks a written target: the border untouched, and inside it `expect` at
// every pixel, or only at the centres of the 4 x 4 cells (away from the cell
// edges that resampling softens), within `tolerance`.
void CheckFrame(const std::string &path, bool everyPixel, int tolerance, const Expect &expect) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    std::vector<unsigned char> rgb(3 * static_cast<size_t>(w) * h);
    in.read(reinterpret_cast<char *>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    ASSERT_TRUE(magic == "P6" && max == 255 && in && w == kW + 2 * kBorder && h == kH + 2 * kBorder) << path;
    int bad = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int fx = x - kBorder, fy = y - kBorder;
            const bool inside = fx >= 0 && fx < kW && fy >= 0 && fy < kH;
            if (inside && !everyPixel && (fx % (kW / 4) != kW / 8 || fy % (kH / 4) != kH / 8)) continue;
            const RGB want = inside ? expect(fx, fy) : kGrey;
            const unsigned char *p = &rgb[3 * (static_cast<size_t>(y) * w + x)];
            bool off = false;
            for (int c = 0; c < 3; ++c) off |= std::abs(p[c] - want[c]) > tolerance;
            if (off && ++bad <= 3)
                ADD_FAILURE() << path << " at " << x << "," << y << ": " << int(p[0]) << "," << int(p[1]) << ","
                              << int(p[2]) << ", want " << want[0] << "," << want[1] << "," << want[2];
        }
    EXPECT_EQ(bad, 0) << path;
}

// The shared objects of this process whose path holds "libquelvane-platform".
std::vector<std::string> PlatformCopies() {
    std::vector<std::string> found;
    dl_iterate_phdr(
        [](dl_phdr_info *info, size_t, void *data) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "libquelvane-platform"))
                static_cast<std::vector<std::string> *>(data)->push_back(info->dlpi_name);
            return 0;
        },
        &found);
    return found;
}

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string tmp = (Env("TMPDIR").empty() ? "/tmp" : Env("TMPDIR")) + "/quelvane-install-XXXXXX";
        ASSERT_NE(mkdtemp(tmp.data()), nullptr);
        root = tmp;
        prefix = root + "/prefix";
        copy = root + "/elsewhere/Quelvane.plugin";
        const Output install =
            Shell(Q(Env("QUELVANE_CMAKE")) + " --install " + Q(Env("QUELVANE_BINARY_DIR")) + " --prefix " + Q(prefix));
        ASSERT_EQ(install.status, 0) << install.text;
        fs::create_directories(root + "/elsewhere");
        fs::copy(prefix + "/lib/quelvane/Quelvane.plugin", copy, fs::copy_options::recursive);
        const std::string source = prefix + "/share/doc/quelvane/example-host.c";
        const Output build = Shell(Q(Env("QUELVANE_C_COMPILER")) + " -std=c11 -Wall -Wextra -Werror " +
                                   Env("QUELVANE_EXAMPLE_FLAGS") + " " + Q(source) + " $(PKG_CONFIG_PATH=" +
                                   Q(prefix + "/lib/pkgconfig") + " pkg-config --cflags --libs quelvane) -ldl " +
                                   "-Wl,-rpath," + Q(prefix + "/lib") + " -o " + Q(root + "/example-host"));
        ASSERT_EQ(build.status, 0) << build.text;
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        if (!root.empty()) fs::remove_all(root, ignored);
    }

    // An installed program or the example host, with the test's preferences
    // folder, no bundle variable, and the leak report's third-party filter.
    static Output Run(const std::string &command) {
        std::string env = "XDG_CONFIG_HOME=" + Q(root) + " QT_QPA_PLATFORM=offscreen";
        if (Env("LSAN_OPTIONS").empty())
            env += " LSAN_OPTIONS=suppressions=" + Q(Env("QUELVANE_SOURCE_DIR") + "/tests/lsan.supp");
        return Shell("env -u QUELVANE_BUNDLE " + env + " " + command);
    }
    // Runs the example host on the copied bundle; checks its exit status,
    // that it printed `line`, and that the plug-in kept only its settings.
    static void Example(const std::string &options, const std::string &out, int status, const std::string &line) {
        const Output o = Run(Q(root + "/example-host") + " " + options + " " + Q(copy) + " " + Q(root + "/" + out));
        EXPECT_EQ(o.status, status) << options << "\n" << o.text;
        for (const std::string &want : {line, std::string("button: Settings\u2026\n"),
                                        std::string("blocks held: 1, frames held: 0\n")})
            EXPECT_NE(o.text.find(want), std::string::npos) << options << "\n" << o.text;
    }
    static std::string Ppm(const std::string &out, int n) {
        return root + "/" + out + "-" + std::to_string(n) + ".ppm";
    }
    static void SetZoom(const char *zoom) {
        const Output o = Run(Q(prefix + "/bin/quelvane-prefs") + " --zoom " + zoom);
        ASSERT_EQ(o.status, 0) << o.text;
    }

    static std::string root, prefix, copy;
};
std::string Installed::root, Installed::prefix, Installed::copy;

} // namespace

TEST_F(Installed, HasItsLayoutWithRelativeRunPathsAndFindsItsBundle) {
    // The rest of the layout is used below: headers, pkg-config file and
    // libraries by the example host, the bundle's own platform library bare.
    for (const char *file : {"share/doc/quelvane/manual.pdf", "share/man/man1/quelvane-host.1",
                             "share/man/man1/quelvane-prefs.1"})
        EXPECT_TRUE(fs::exists(prefix + "/" + file)) << file;

    const std::string library = copy + "/Contents/Linux/Quelvane.so";
    for (const auto &[file, runpath] : {std::pair{library, "$ORIGIN/../Frameworks"},
                                        {prefix + "/bin/quelvane-host", "$ORIGIN/../lib"},
                                        {prefix + "/bin/quelvane-prefs", "$ORIGIN/../lib"}}) {
        const Output dyn = Shell("readelf -d " + Q(file) + " | grep -E 'RPATH|RUNPATH'");
        EXPECT_NE(dyn.text.find(std::string("(RUNPATH)            Library runpath: [") + runpath + "]\n"),
                  std::string::npos)
            << file << "\n" << dyn.text;
        EXPECT_EQ(std::count(dyn.text.begin(), dyn.text.end(), '\n'), 1) << file << "\n" << dyn.text;
    }
    // The bundle's library exports its entry point and nothing else.
    EXPECT_EQ(Shell("nm -D --defined-only " + Q(library) + " | awk '$2 != \"A\" {print $3}'").text, "main\n");

    // The installed host finds the installed bundle with no option or
    // variable, and shows the filter's description: its texts from the
    // bundle (Mac Roman), the host's flags kept, every selected frame rendered.
    const Output info = Run(Q(prefix + "/bin/quelvane-host") + " info");
    EXPECT_EQ(info.status, 0) << info.text;
    EXPECT_EQ(info.text, "plug-in:        " + prefix + "/lib/quelvane/Quelvane.plugin/Contents/Linux/Quelvane.so\n" +
                             "type:           105 (filter)\n"
                             "group:          Dranwick Quillor\n"
                             "slider 1:       Zoom horizontal [Less .. More], default 0.5\n"
                             "slider 2:       Zoom vertical [Less .. More], default 0.5\n"
                             "slider 3:       Turn [Left .. Right], default 0.5\n"
                             "button:         Settings\u2026\n"
                             "memory needed:  50000 bytes\n"
                             "flags:          0x1380\n"
                             "frames:         150 rendered of 150 selected, 0 taken before, 150 after\n");
}

// The bare process's allocator: calloc, counted, able to run out.
int gAllocations = 0, gBlocks = 0;
bool gOutOfMemory = false;

TEST_F(Installed, ACopiedBundleLoadsInABareProcessStartsUpOnceAndSharesOnePlatformLibrary) {
    ASSERT_TRUE(PlatformCopies().empty()) << "this test links nothing of ours";
    void *copied = dlopen((copy + "/Contents/Linux/Quelvane.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(copied, nullptr) << dlerror();
    const std::vector<std::string> platform = PlatformCopies();
    ASSERT_EQ(platform.size(), 1u);
    EXPECT_TRUE(fs::equivalent(platform[0], copy + "/Contents/Frameworks/libquelvane-platform.so.1")) << platform[0];
    auto entry = reinterpret_cast<HYPluginMainProcPtr>(dlsym(copied, "main"));
    ASSERT_NE(entry, nullptr);

    const fs::path prefsFile = root + "/bare/qrvtn-Prefs";
    setenv("XDG_CONFIG_HOME", (root + "/bare").c_str(), 1);
    HYProcs procs{};
    procs.NewPtrClear = [](SInt32 size) {
        ++gAllocations;
        if (gOutOfMemory) return Ptr(nullptr);
        ++gBlocks;
        return static_cast<Ptr>(std::calloc(1, static_cast<size_t>(size)));
    };
    PluginParams params{};
    params.selector = kPlugDrawIcon;
    // Rejected requests start nothing.
    EXPECT_EQ(entry(0, nullptr), kPluginBadParams);
    params.interfaceVersion = 3;
    EXPECT_EQ(entry(kPlugDrawIcon, &params), kPluginAppIsTooOld);
    params.interfaceVersion = 5;
    EXPECT_EQ(entry(kPlugDrawIcon, &params), kPluginBadParams) << "no callbacks";
    params.procs = &procs;
    procs.DisposePtr = nullptr;
    EXPECT_EQ(entry(kPlugDrawIcon, &params), kPluginBadParams) << "memory it could not give back";
    procs.DisposePtr = [](Ptr block) {
        gBlocks -= block != nullptr;
        std::free(block);
    };
    gOutOfMemory = true;
    EXPECT_EQ(entry(kPlugDrawIcon, &params), kPluginOutOfMemory);
    gOutOfMemory = false;
    EXPECT_EQ(gAllocations, 1);
    EXPECT_FALSE(fs::exists(prefsFile));

    // The next request, of a kind without a handler, starts up: one record,
    // kept for the process, the saved settings created, the block untouched.
    const PluginParams before = params;
    EXPECT_EQ(entry(0x7FFF1234, &params), kPluginOK);
    EXPECT_EQ(std::memcmp(&before, &params, sizeof params), 0);
    EXPECT_EQ(gBlocks, 1);
    EXPECT_TRUE(fs::exists(prefsFile));
    for (int selector : {0, 7, 10, 255, int(kPlugGetInfo)}) {
        params.selector = static_cast<HYPluginSelector>(selector);
        EXPECT_EQ(entry(selector, &params), kPluginOK) << selector;
    }
    EXPECT_EQ(gAllocations, 2) << "no second record";
    EXPECT_EQ(gBlocks, 1);
    // It finds its own resources: the button caption, in Mac Roman.
    EXPECT_STREQ(params.getInfo3.buttonTitle, "Settings\xC9");

    // A second bundle in the same process is bound to the copy already loaded.
    ASSERT_NE(dlopen((prefix + "/lib/quelvane/Quelvane.plugin/Contents/Linux/Quelvane.so").c_str(), RTLD_NOW),
              nullptr)
        << dlerror();
    EXPECT_EQ(PlatformCopies(), platform);
}

TEST_F(Installed, ExampleHostRendersTheIdentityTheZoomAndTheFades) {
    SetZoom("0,0");
    Example("-f 0,1,7", "identity", 0, "frame 7: result 0, quality 1, no blend, sound mixed\n");
    for (int n : {0, 1, 7}) CheckFrame(Ppm("identity", n), true, 0, Identity(n));

    // Twice as large about the centre; the untouched frame faded over it.
    SetZoom("1000,1000");
    struct Fade {
        const char *options;
        int frame, opacity; // -1: no blend
    } fades[] = {{"-i 10", 0, 255}, {"-i 10", 5, 127}, {"-i 10", 10, -1},
                 {"-o 10", 90, -1}, {"-o 10", 91, 25},  {"-o 10", 99, 229}};
    for (const Fade &f : fades) {
        const std::string n = std::to_string(f.frame);
        Example(std::string(f.options) + " -f " + n, "zoom", 0,
                "frame " + n + ": result 0, quality 1, " +
                    (f.opacity < 0 ? "no blend" : "opacity " + std::to_string(f.opacity)) + ", sound mixed\n");
        CheckFrame(Ppm("zoom", f.frame), f.opacity == 255, 1, Zoomed(f.frame, std::max(f.opacity, 0)));
    }

    // Frames lent at twice the size asked render whole, faded whole.
    Example("-g 128x96 -i 10 -f 5", "larger", 0, "frame 5: result 0, quality 1, opacity 127, sound mixed\n");
    CheckFrame(Ppm("larger", 5), false, 1, Zoomed(5, 127));
    // Without Blit, MixAudio and the other optional slots, and frames lent at
    // half the size: the frames render whole, without the fade or sound.
    Example("-e Blit,MixAudio,GetMovieInfo,GetClipInfo,ReleaseFilterInfo -g 32x24 -i 10 -f 5,12", "sparse", 0,
            "frame 5: result 0, quality 1, no blend, no sound\n");
    for (int n : {5, 12}) CheckFrame(Ppm("sparse", n), false, 1, Zoomed(n));
    // Without GetFrame the request is refused: nothing drawn, nothing kept.
    Example("-e GetFrame -f 3", "refused", 1, "frame 3: result 3, quality -1, no blend, no sound\n");
    CheckFrame(Ppm("refused", 3), true, 0, [](int, int) { return kGrey; });

    // A proxy render asks for low quality up to 259 rows, and mixes no sound.
    Example("-p -s 64x259 -f 2", "proxy", 0, "frame 2: result 0, quality 0, no blend, no sound\n");
    Example("-p -s 64x260 -f 2", "proxy", 0, "frame 2: result 0, quality 1, no blend, no sound\n");
}
