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
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Frame = std::vector<uint32_t>;

std::string BinaryDir() {
    const char *dir = std::getenv("QUELVANE_BINARY_DIR");
    return dir ? dir : ".";
}

// The entry points of the built filter, loaded as ffmpeg loads them.
struct Filter {
    decltype(&f0r_get_plugin_info) info;
    decltype(&f0r_construct) construct;
    decltype(&f0r_destruct) destruct;
    decltype(&f0r_set_param_value) set;
    decltype(&f0r_get_param_value) get;
    decltype(&f0r_update) update;
};

const Filter &TheFilter() {
    static const Filter filter = [] {
        const std::string path = BinaryDir() + "/lib/frei0r-1/quelvane.so";
        void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
            std::abort();
        }
        auto sym = [h](const char *name) {
            void *s = dlsym(h, name);
            if (!s) std::abort();
            return s;
        };
        auto *init = reinterpret_cast<decltype(&f0r_init)>(sym("f0r_init"));
        if (init() != 1) std::abort();
        return Filter{reinterpret_cast<decltype(&f0r_get_plugin_info)>(sym("f0r_get_plugin_info")),
                      reinterpret_cast<decltype(&f0r_construct)>(sym("f0r_construct")),
                      reinterpret_cast<decltype(&f0r_destruct)>(sym("f0r_destruct")),
                      reinterpret_cast<decltype(&f0r_set_param_value)>(sym("f0r_set_param_value")),
                      reinterpret_cast<decltype(&f0r_get_param_value)>(sym("f0r_get_param_value")),
                      reinterpret_cast<decltype(&f0r_update)>(sym("f0r_update"))};
    }();
    return filter;
}

// Parameter indices, in the filter's order.
enum { kZoomH, kZoomV, kCropLeft, kCropTop, kCropRight, kCropBottom, kTurn, kFill };

void SetDouble(f0r_instance_t i, int index, double v) { TheFilter().set(i, &v, index); }
double GetDouble(f0r_instance_t i, int index) {
    double v = -1;
    TheFilter().get(i, &v, index);
    return v;
}

uint32_t Pixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    uint32_t p;
    const uint8_t bytes[4] = {r, g, b, a};
    std::memcpy(&p, bytes, 4);
    return p;
}

Frame RandomFrame(size_t n, unsigned seed, bool opaque) {
    std::mt19937 rng(seed);
    Frame f(n);
    for (auto &p : f) {
        p = static_cast<uint32_t>(rng());
        if (opaque) p |= 0xFF000000u;
    }
    return f;
}

Frame Render(f0r_instance_t i, const Frame &in) {
    Frame out(in.size(), 0xDEADBEEF);
    TheFilter().update(i, 0.0, in.data(), out.data());
    return out;
}

// Saved settings of the test's preferences folder, written by quelvane-prefs
// before the filter starts the plug-in.
class Frei0rFilter : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static const std::string prefs = [] {
            char dir[] = "/tmp/quelvane-frei0r-XXXXXX";
            if (!mkdtemp(dir)) std::abort();
            return std::string(dir);
        }();
        setenv("XDG_CONFIG_HOME", prefs.c_str(), 1);
        // Nothing of the filter may need a display or a GUI.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        const std::string command = BinaryDir() +
                                    "/bin/quelvane-prefs --crop 0.125,0.25,0.625,0.75 --zoom 200,-100 --turn 7 "
                                    "--fill 10,20,30";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
};

TEST(PixelOrder, EveryColourAndAlphaConvertsByTheFormulasInBlocksAndAlone) {
    // Every (colour, alpha) pair once, in an odd count of pixels so that
    // blocks of four mix opaque and translucent pixels and a tail is left.
    Frame in;
    for (unsigned a = 0; a < 256; ++a)
        for (unsigned c = 0; c < 256; ++c) in.push_back(Pixel(uint8_t(c), uint8_t(255 - c), uint8_t(c / 2), uint8_t(a)));
    for (int k = 0; k < 3; ++k) in.push_back(Pixel(1, 2, 3, 255));
    const size_t n = in.size();
    Frame argb(n), back(n), inPlace = in;
    qvfrei0r::StraightRGBAToPremultipliedARGB(reinterpret_cast<const uint8_t *>(in.data()),
                                              reinterpret_cast<uint8_t *>(argb.data()), n);
    qvfrei0r::StraightRGBAToPremultipliedARGB(reinterpret_cast<const uint8_t *>(inPlace.data()),
                                              reinterpret_cast<uint8_t *>(inPlace.data()), n);
    EXPECT_EQ(inPlace, argb);
    qvfrei0r::PremultipliedARGBToStraightRGBA(reinterpret_cast<const uint8_t *>(argb.data()),
                                              reinterpret_cast<uint8_t *>(back.data()), n);
    for (size_t i = 0; i < n; ++i) {
        const auto *s = reinterpret_cast<const uint8_t *>(&in[i]);
        const auto *p = reinterpret_cast<const uint8_t *>(&argb[i]);
        const auto *b = reinterpret_cast<const uint8_t *>(&back[i]);
        const unsigned a = s[3];
        ASSERT_EQ(p[0], a) << i;
        for (int ch = 0; ch < 3; ++ch) {
            const unsigned pre = unsigned(std::lround(s[ch] * a / 255.0));
            ASSERT_EQ(p[1 + ch], pre) << "premultiplied channel " << ch << " of pixel " << i;
            const unsigned straight = a == 0 ? 0 : unsigned(std::lround(std::min(pre, a) * 255.0 / a));
            ASSERT_EQ(b[ch], straight) << "straight channel " << ch << " of pixel " << i;
        }
        ASSERT_EQ(b[3], a) << i;
    }
    // An invalid premultiplied pixel (colour above alpha) reads as colour = alpha.
    uint32_t odd = 0, outPixel = 0;
    const uint8_t bytes[4] = {100, 200, 50, 100};
    std::memcpy(&odd, bytes, 4);
    qvfrei0r::PremultipliedARGBToStraightRGBA(reinterpret_cast<const uint8_t *>(&odd),
                                              reinterpret_cast<uint8_t *>(&outPixel), 1);
    EXPECT_EQ(outPixel, Pixel(255, 128, 255, 100));
}

TEST_F(Frei0rFilter, SavedSettingsAreTheDefaultsAndEachParameterChangesOnlyItsSetting) {
    const Filter &f = TheFilter();
    f0r_plugin_info_t info{};
    f.info(&info);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    ASSERT_EQ(info.num_params, 8);

    f0r_instance_t fresh = f.construct(37, 21);  // odd sizes
    const double expected[] = {(200 + 500) / 2500.0, (-100 + 500) / 2500.0, 0.125, 0.25, 0.625, 0.75, 0.07};
    for (int i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(GetDouble(fresh, i), expected[i]) << "parameter " << i;
    f0r_param_color_t fill{};
    f.get(fresh, &fill, kFill);
    EXPECT_FLOAT_EQ(fill.r, 10 * 257 / 65535.0f);
    EXPECT_FLOAT_EQ(fill.b, 30 * 257 / 65535.0f);

    // A host that reads every value and sets it back (GStreamer) renders
    // exactly what a host that sets nothing (ffmpeg without parameters) does.
    f0r_instance_t setBack = f.construct(37, 21);
    for (int i = 0; i < 7; ++i) SetDouble(setBack, i, GetDouble(setBack, i));
    f.set(setBack, &fill, kFill);
    const Frame in = RandomFrame(37 * 21, 1, true);
    const Frame saved = Render(fresh, in);
    EXPECT_EQ(Render(setBack, in), saved);
    EXPECT_NE(saved, in);

    // A crop of no width leaves only the fill: the colour set, nothing else
    // changed (the zoom still reads as saved).
    SetDouble(setBack, kCropLeft, 0.5);
    SetDouble(setBack, kCropRight, 0.5);
    f0r_param_color_t red = {1.0f, 0.0f, 0.0f};
    f.set(setBack, &red, kFill);
    EXPECT_EQ(Render(setBack, in), Frame(in.size(), Pixel(255, 0, 0, 255)));
    EXPECT_DOUBLE_EQ(GetDouble(setBack, kZoomH), expected[kZoomH]);
    // The other instance keeps its own settings.
    EXPECT_EQ(Render(fresh, in), saved);

    // Values that are not numbers are refused; the turn reads as a fraction of one turn.
    SetDouble(setBack, kCropTop, std::nan(""));
    EXPECT_DOUBLE_EQ(GetDouble(setBack, kCropTop), 0.25);
    SetDouble(setBack, kTurn, -0.25);
    EXPECT_DOUBLE_EQ(GetDouble(setBack, kTurn), 0.75);
    f.destruct(fresh);
    f.destruct(setBack);
}

TEST_F(Frei0rFilter, TheWholeFrameInPlaceKeepsEveryPixelOverTheFill) {
    // Odd width, every alpha: translucent pixels come out laid over a black
    // fill, which is their premultiplied colour, opaque.
    f0r_instance_t i = TheFilter().construct(33, 7);
    const double whole[] = {0.2, 0.2, 0.0, 0.0, 1.0, 1.0, 0.0};
    for (int k = 0; k < 7; ++k) SetDouble(i, k, whole[k]);
    f0r_param_color_t black = {0, 0, 0};
    TheFilter().set(i, &black, kFill);
    const Frame in = RandomFrame(33 * 7, 2, false);
    const Frame out = Render(i, in);
    for (size_t k = 0; k < in.size(); ++k) {
        const auto *s = reinterpret_cast<const uint8_t *>(&in[k]);
        const uint8_t a = s[3];
        auto pre = [&](int ch) { return uint8_t(std::lround(s[ch] * a / 255.0)); };
        ASSERT_EQ(out[k], Pixel(pre(0), pre(1), pre(2), 255)) << "pixel " << k;
    }
    TheFilter().destruct(i);
}

TEST_F(Frei0rFilter, TwoInstancesOnTwoThreadsRenderWhatEachRendersAlone) {
    const Filter &f = TheFilter();
    struct Job {
        int w, h;
        f0r_instance_t inst;
        Frame in, first, second;  // input, and its renders with two settings
    };
    Job jobs[2] = {{37, 21, nullptr, {}, {}, {}}, {64, 48, nullptr, {}, {}, {}}};
    auto settingsA = [&](Job &j) { SetDouble(j.inst, kZoomH, 0.6); SetDouble(j.inst, kTurn, 0.1); };
    auto settingsB = [&](Job &j) { SetDouble(j.inst, kZoomH, 0.3); SetDouble(j.inst, kTurn, 0.9); };
    for (int k = 0; k < 2; ++k) {
        Job &j = jobs[k];
        j.inst = f.construct(j.w, j.h);
        j.in = RandomFrame(size_t(j.w) * j.h, 10 + k, true);
        settingsA(j);
        j.first = Render(j.inst, j.in);
        settingsB(j);
        j.second = Render(j.inst, j.in);
        ASSERT_NE(j.first, j.second);
    }
    std::vector<std::string> failures[2];
    auto work = [&](int k) {
        Job &j = jobs[k];
        for (int n = 0; n < 40; ++n) {
            const bool a = (n + k) % 2 == 0;
            a ? settingsA(j) : settingsB(j);
            if (Render(j.inst, j.in) != (a ? j.first : j.second))
                failures[k].push_back("instance " + std::to_string(k) + ", frame " + std::to_string(n));
        }
    };
    std::thread t0(work, 0), t1(work, 1);
    t0.join();
    t1.join();
    EXPECT_TRUE(failures[0].empty() && failures[1].empty()) << (failures[0].empty() ? "" : failures[0][0])
                                                            << (failures[1].empty() ? "" : failures[1][0]);
    for (Job &j : jobs) f.destruct(j.inst);
}

// A plug-in that cannot be used leaves every frame as it came, says why once
// on standard error, and never ends the host. Each case runs in a process of
// its own (the plug-in is loaded once per process); the child counts the
// reports itself and exits 0 when all held.
void PassThroughChild(const std::string &bundle) {
    setenv("QUELVANE_BUNDLE", bundle.c_str(), 1);
    char log[] = "/tmp/quelvane-frei0r-err-XXXXXX";
    const int fd = mkstemp(log);
    const int saved = dup(2);
    dup2(fd, 2);
    bool ok = true;
    for (int n = 0; n < 2; ++n) {
        f0r_instance_t i = TheFilter().construct(15, 9);
        const Frame in = RandomFrame(15 * 9, 3, false);
        ok = ok && i && Render(i, in) == in;
        TheFilter().destruct(i);
    }
    dup2(saved, 2);
    std::ifstream file(log);
    std::stringstream text;
    text << file.rdbuf();
    unlink(log);
    const std::string err = text.str();
    size_t reports = 0;
    for (size_t at = err.find("quelvane: "); at != std::string::npos; at = err.find("quelvane: ", at + 1)) ++reports;
    std::fputs(err.c_str(), stderr);
    std::_Exit(ok && reports == 1 ? 0 : 1);
}

TEST_F(Frei0rFilter, APlugInThatStopsOrIsMissingLeavesTheFramesAndTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(PassThroughChild(BinaryDir() + "/tests/frei0r/stopping-plugin.so"), ::testing::ExitedWithCode(0),
                "quelvane: the plug-in stopped \\(Assertion Failure: Assertion failed in: a test\\)");
    EXPECT_EXIT(PassThroughChild("/nonexistent/Quelvane.plugin"), ::testing::ExitedWithCode(0),
                "quelvane: the Quelvane bundle was not found at /nonexistent/Quelvane.plugin");
}

}  // namespace
