// The frei0r filter as a frei0r host uses it: the built quelvane.so loaded
// with dlopen and driven through its f0r_* entry points on the real bundle,
// without a display, with saved settings in a preferences folder of its own.
// The pixel conversions are checked on their own against the formulas.
#include "PixelOrder.h"

extern "C" {
#include <frei0r.h>
}

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Frame = std::vector<uint32_t>;
enum { kZoomH, kZoomV, kCropLeft, kCropTop, kCropRight, kCropBottom, kTurn, kFill };  // parameter order

std::string BinaryDir() { return std::getenv("QUELVANE_BINARY_DIR") ? std::getenv("QUELVANE_BINARY_DIR") : "."; }

// The entry points of the built filter, loaded as ffmpeg loads them.
struct Filter {
    void *h = dlopen((BinaryDir() + "/lib/frei0r-1/quelvane.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    template <class F> F Sym(const char *name) const { return reinterpret_cast<F>(dlsym(h, name)); }
    decltype(&f0r_init) init = Sym<decltype(&f0r_init)>("f0r_init");
    decltype(&f0r_get_plugin_info) info = Sym<decltype(&f0r_get_plugin_info)>("f0r_get_plugin_info");
    decltype(&f0r_construct) construct = Sym<decltype(&f0r_construct)>("f0r_construct");
    decltype(&f0r_destruct) destruct = Sym<decltype(&f0r_destruct)>("f0r_destruct");
    decltype(&f0r_set_param_value) set = Sym<decltype(&f0r_set_param_value)>("f0r_set_param_value");
    decltype(&f0r_get_param_value) get = Sym<decltype(&f0r_get_param_value)>("f0r_get_param_value");
    decltype(&f0r_update) update = Sym<decltype(&f0r_update)>("f0r_update");
};
const Filter &F() {
    static const Filter filter;
    if (!filter.update || filter.init() != 1) std::abort();
    return filter;
}

void Set(f0r_instance_t i, int index, double v) { F().set(i, &v, index); }
double Get(f0r_instance_t i, int index) {
    double v = -1;
    F().get(i, &v, index);
    return v;
}

uint32_t Pixel(unsigned r, unsigned g, unsigned b, unsigned a) { return r | g << 8 | b << 16 | a << 24; }
uint8_t Byte(uint32_t p, int i) { return uint8_t(p >> (8 * i)); }
uint8_t Premultiplied(uint32_t p, int channel) { return uint8_t(std::lround(Byte(p, channel) * Byte(p, 3) / 255.0)); }

Frame RandomFrame(size_t n, unsigned seed, uint32_t orMask) {
    std::mt19937 rng(seed);
    Frame f(n);
    for (auto &p : f) p = uint32_t(rng()) | orMask;
    return f;
}

Frame Render(f0r_instance_t i, const Frame &in) {
    Frame out(in.size(), 0xDEADBEEF);
    F().update(i, 0.0, in.data(), out.data());
    return out;
}

// The saved settings, written by quelvane-prefs before the filter starts the plug-in.
class Frei0rFilter : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/quelvane-frei0r-XXXXXX";
        ASSERT_TRUE(mkdtemp(dir));
        setenv("XDG_CONFIG_HOME", dir, 1);
        for (const char *v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(v);  // no display, no GUI
        const std::string prefs = BinaryDir() + "/bin/quelvane-prefs --crop 0.125,0.25,0.625,0.75 --zoom 200,-100 "
                                                "--turn 7 --fill 10,20,30";
        ASSERT_EQ(std::system(prefs.c_str()), 0) << prefs;
    }
};

TEST(PixelOrder, EveryColourAndAlphaConvertsByTheFormulasInBlocksAndAlone) {
    // Every (colour, alpha) pair, then seven more: blocks of eight and four
    // mix opaque and translucent pixels, and a tail is left; in place too.
    Frame in;
    for (unsigned a = 0; a < 256; ++a)
        for (unsigned c = 0; c < 256; ++c) in.push_back(Pixel(c, 255 - c, c / 2, a));
    for (unsigned k = 0; k < 7; ++k) in.push_back(Pixel(30 * k, 2, 3, k == 2 ? 77 : 255));
    Frame argb(in.size()), back = in;
    auto bytes = [](Frame &f) { return reinterpret_cast<uint8_t *>(f.data()); };
    qvfrei0r::StraightRGBAToPremultipliedARGB(bytes(in), bytes(argb), in.size());
    qvfrei0r::StraightRGBAToPremultipliedARGB(bytes(back), bytes(back), in.size());
    ASSERT_EQ(back, argb);
    qvfrei0r::PremultipliedARGBToStraightRGBA(bytes(argb), bytes(back), in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const unsigned a = Byte(in[i], 3);
        ASSERT_EQ(Byte(argb[i], 0), a) << i;
        ASSERT_EQ(Byte(back[i], 3), a) << i;
        for (int ch = 0; ch < 3; ++ch) {
            const unsigned pre = Premultiplied(in[i], ch);
            ASSERT_EQ(Byte(argb[i], ch + 1), pre) << "premultiplied channel " << ch << " of pixel " << i;
            ASSERT_EQ(Byte(back[i], ch), a ? unsigned(std::lround(pre * 255.0 / a)) : 0u) << ch << " of " << i;
        }
    }
    // A colour above its alpha (not a premultiplied pixel) reads as the alpha.
    Frame odd = {100 | 200 << 8 | 50 << 16 | 100u << 24};
    qvfrei0r::PremultipliedARGBToStraightRGBA(bytes(odd), bytes(odd), 1);
    EXPECT_EQ(odd[0], Pixel(255, 128, 255, 100));
}

TEST_F(Frei0rFilter, SavedSettingsAreTheDefaultsAndEachParameterChangesOnlyItsSetting) {
    f0r_plugin_info_t info{};
    F().info(&info);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    ASSERT_EQ(info.num_params, 8);

    f0r_instance_t fresh = F().construct(37, 21);  // odd sizes throughout
    const double saved[] = {(200 + 500) / 2500.0, (-100 + 500) / 2500.0, 0.125, 0.25, 0.625, 0.75, 0.07};
    for (int i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(Get(fresh, i), saved[i]) << "parameter " << i;
    f0r_param_color_t fill{};
    F().get(fresh, &fill, kFill);
    EXPECT_FLOAT_EQ(fill.r, 10 * 257 / 65535.0f);
    EXPECT_FLOAT_EQ(fill.b, 30 * 257 / 65535.0f);

    // A host that reads every value and sets it back (GStreamer) renders
    // exactly what a host that sets nothing (ffmpeg without parameters) does.
    f0r_instance_t setBack = F().construct(37, 21);
    for (int i = 0; i < 7; ++i) Set(setBack, i, Get(setBack, i));
    F().set(setBack, &fill, kFill);
    const Frame in = RandomFrame(37 * 21, 1, 0xFF000000u);
    const Frame fromSaved = Render(fresh, in);
    EXPECT_EQ(Render(setBack, in), fromSaved);
    EXPECT_NE(fromSaved, in);

    // A crop of no width leaves only the fill: the colour set, and the zoom
    // still as saved. The other instance keeps its own settings.
    Set(setBack, kCropLeft, 0.5);
    Set(setBack, kCropRight, 0.5);
    f0r_param_color_t red = {1.0f, 0.0f, 0.0f};
    F().set(setBack, &red, kFill);
    EXPECT_EQ(Render(setBack, in), Frame(in.size(), Pixel(255, 0, 0, 255)));
    EXPECT_DOUBLE_EQ(Get(setBack, kZoomH), saved[kZoomH]);
    EXPECT_EQ(Render(fresh, in), fromSaved);

    // The whole frame in place over black: translucent pixels come out as
    // their premultiplied colour, opaque.
    const double whole[] = {0.2, 0.2, 0.0, 0.0, 1.0, 1.0, 0.0};
    for (int i = 0; i < 7; ++i) Set(setBack, i, whole[i]);
    f0r_param_color_t black = {0, 0, 0};
    F().set(setBack, &black, kFill);
    const Frame translucent = RandomFrame(37 * 21, 2, 0);
    const Frame out = Render(setBack, translucent);
    for (size_t k = 0; k < out.size(); ++k)
        ASSERT_EQ(out[k], Pixel(Premultiplied(translucent[k], 0), Premultiplied(translucent[k], 1),
                                Premultiplied(translucent[k], 2), 255)) << "pixel " << k;

    // Not a number is refused; a turn reads as its fraction of one turn.
    Set(setBack, kCropBottom, std::nan(""));
    EXPECT_DOUBLE_EQ(Get(setBack, kCropBottom), 1.0);
    Set(setBack, kTurn, -0.25);
    EXPECT_DOUBLE_EQ(Get(setBack, kTurn), 0.75);
    F().destruct(fresh);
    F().destruct(setBack);
}

TEST_F(Frei0rFilter, TwoInstancesOnTwoThreadsRenderWhatEachRendersAlone) {
    // Each instance alternates two settings on its own thread; every frame
    // must be what that instance rendered with those settings alone.
    struct Job {
        int w, h;
        f0r_instance_t inst = nullptr;
        Frame in, out[2];
    } jobs[2] = {{37, 21, nullptr, {}, {}}, {64, 48, nullptr, {}, {}}};
    auto settings = [](Job &j, int which) {
        Set(j.inst, kZoomH, which ? 0.3 : 0.6);
        Set(j.inst, kTurn, which ? 0.9 : 0.1);
    };
    for (int k = 0; k < 2; ++k) {
        Job &j = jobs[k];
        j.inst = F().construct(j.w, j.h);
        j.in = RandomFrame(size_t(j.w) * j.h, 10 + k, 0xFF000000u);
        for (int s = 0; s < 2; ++s) settings(j, s), j.out[s] = Render(j.inst, j.in);
        ASSERT_NE(j.out[0], j.out[1]);
    }
    int wrong[2] = {0, 0};
    auto work = [&](int k) {
        for (int n = 0; n < 40; ++n) {
            settings(jobs[k], (n + k) % 2);
            wrong[k] += Render(jobs[k].inst, jobs[k].in) != jobs[k].out[(n + k) % 2];
        }
    };
    std::thread t0(work, 0), t1(work, 1);
    t0.join();
    t1.join();
    EXPECT_EQ(wrong[0] + wrong[1], 0);
    for (Job &j : jobs) F().destruct(j.inst);
}

// A plug-in that cannot be used leaves every frame as it came, says why once
// on standard error, and never ends the host. Each case runs in a process of
// its own (the plug-in is loaded once per process); the child checks the
// frames and counts the reports, and exits 0 when all held.
void PassThroughChild(const std::string &bundle) {
    setenv("QUELVANE_BUNDLE", bundle.c_str(), 1);
    char log[] = "/tmp/quelvane-frei0r-err-XXXXXX";
    const int fd = mkstemp(log), err = dup(2);
    dup2(fd, 2);
    bool same = true;
    for (int n = 0; n < 2; ++n) {
        f0r_instance_t i = F().construct(15, 9);
        const Frame in = RandomFrame(15 * 9, 3, 0);
        same = same && Render(i, in) == in;
        F().destruct(i);
    }
    dup2(err, 2);
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    unlink(log);
    const std::string said = text.str();
    std::fputs(said.c_str(), stderr);
    const size_t first = said.find("quelvane: ");
    std::_Exit(same && first != std::string::npos && said.find("quelvane: ", first + 1) == std::string::npos ? 0 : 1);
}

TEST_F(Frei0rFilter, APlugInThatStopsOrIsMissingLeavesTheFramesAndTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(PassThroughChild(BinaryDir() + "/tests/frei0r/stopping-plugin.so"), ::testing::ExitedWithCode(0),
                "quelvane: the plug-in stopped \\(Assertion Failure: Assertion failed in: a test\\)");
    EXPECT_EXIT(PassThroughChild("/nonexistent/Quelvane.plugin"), ::testing::ExitedWithCode(0),
                "quelvane: the Quelvane bundle was not found at /nonexistent/Quelvane.plugin");
}

}  // namespace
