// quelvane-prefs: writes or shows the plug-in's saved settings (the file the
// plug-in reads at start-up from $XDG_CONFIG_HOME, default ~/.config) through
// the plug-in's own store procedures, so that a render can be set up from a
// script before the settings window exists on the machine: a crop rectangle,
// the two zoom sliders, the turn, the fill colour and the video format.
#include "engine/DataHandling.h"
#include "store/prefsloader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: quelvane-prefs [OPTIONS]\n"
    "\n"
    "Writes the Quelvane plug-in's saved settings, starting from the defaults,\n"
    "into the preferences folder ($XDG_CONFIG_HOME, default ~/.config).\n"
    "\n"
    "  --crop L,T,R,B     the crop rectangle as fractions of the frame\n"
    "                     (default 0,0,1,1: the whole frame)\n"
    "  --zoom H,V         horizontal and vertical zoom sliders: factor 1 + value/1000\n"
    "                     (default 0,0)\n"
    "  --turn N           turn slider: N/100 of a full turn (default 0)\n"
    "  --fill R,G,B       fill colour, 0 to 255 each (default white)\n"
    "  --format N         video format, the settings window's layout: 1 NTSC,\n"
    "                     2 PAL, 3 HD (default 1)\n"
    "  --show             print every saved setting instead of writing them\n"
    "  -h, --help         show this help\n"
    "\n"
    "Exit status: 0 success, 1 the settings could not be saved or read, 2 bad\n"
    "command line.\n";

[[noreturn]] void Usage(const std::string &message) {
    std::fprintf(stderr, "quelvane-prefs: %s (see quelvane-prefs --help)\n", message.c_str());
    std::exit(2);
}

std::vector<double> Numbers(const std::string &option, const std::string &text, size_t count) {
    std::vector<double> v;
    const char *p = text.c_str();
    while (*p) {
        char *end = nullptr;
        v.push_back(std::strtod(p, &end));
        if (end == p) Usage(option + " wants " + std::to_string(count) + " numbers separated by commas");
        p = end;
        if (*p == ',') ++p;
        else if (*p) Usage(option + " wants " + std::to_string(count) + " numbers separated by commas");
    }
    if (v.size() != count) Usage(option + " wants " + std::to_string(count) + " numbers separated by commas");
    return v;
}

SInt16 Slider(const std::string &option, double v) {
    if (v < -32768 || v > 32767) Usage(option + ": slider values run from -32768 to 32767");
    return static_cast<SInt16>(v);
}

std::string Colour(const RGBColor &c) {
    return std::to_string(c.red >> 8) + "," + std::to_string(c.green >> 8) + "," + std::to_string(c.blue >> 8);
}

// Every field the store keeps, the first four as --crop, --zoom, --turn and
// --fill take them.
void ShowConfig(const PluginDataRec &config) {
    static const char *const kFormats[] = {"NTSC 720 x 480", "PAL 720 x 576", "HD 960 x 540"};
    static const char *const kBlends[] = {"Normal",     "Multiply",   "Screen",     "Overlay",   "Darken",
                                          "Lighten",    "Color Dodge", "Color Burn", "Soft Light", "Hard Light",
                                          "Difference", "Exclusion",  "Hue",        "Saturation", "Color",
                                          "Luminosity"};
    const RelRect &s = config.StartRel, &e = config.EndRel;
    std::printf("crop:  %g,%g,%g,%g (left, top, right, bottom)\n", s.Left, s.Top, s.Right, s.Bottom);
    std::printf("zoom:  %d,%d\nturn:  %d\nfill:  %s\n", config.Sliders[0], config.Sliders[1], config.Sliders[2],
                Colour(config.Colors[0]).c_str());
    const SInt16 m = config.MediaType, b = config.BlendMode;
    std::printf("video format:      %d (%s)\n", m,
                m >= 1 && m <= 3 ? kFormats[m - 1] : "unknown: the NTSC window opens");
    std::printf("keep proportions:  %s\n", config.KeepProps ? "on" : "off");
    std::printf("blend mode:        %d (%s)\n", b, b >= 1 && b <= 16 ? kBlends[b - 1] : "unknown");
    std::printf("end rectangle:     %g,%g,%g,%g (left, top, right, bottom)\n", e.Left, e.Top, e.Right, e.Bottom);
    std::printf("sliders:           %d,%d,%d,%d,%d,%d\n", config.Sliders[0], config.Sliders[1], config.Sliders[2],
                config.Sliders[3], config.Sliders[4], config.Sliders[5]);
    std::printf("colours:          ");
    for (const RGBColor &c : config.Colors) std::printf(" %s", Colour(c).c_str());
    std::printf("\nframe colours:     start %s, end %s\n", Colour(config.FrameStartColor).c_str(),
                Colour(config.FrameEndColor).c_str());
}

}  // namespace

int main(int argc, char **argv) {
    PluginDataRec config;
    std::memset(&config, 0, sizeof config);
    ResetConfig(&config, true);
    bool show = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage(a + " needs a value");
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--crop") {
            const auto v = Numbers(a, value(), 4);
            config.StartRel = RelRect{v[0], v[2], v[1], v[3]};
        } else if (a == "--zoom") {
            const auto v = Numbers(a, value(), 2);
            config.Sliders[0] = Slider(a, v[0]);
            config.Sliders[1] = Slider(a, v[1]);
        } else if (a == "--turn") {
            config.Sliders[2] = Slider(a, Numbers(a, value(), 1)[0]);
        } else if (a == "--fill") {
            const auto v = Numbers(a, value(), 3);
            for (double c : v)
                if (c < 0 || c > 255) Usage("--fill: colour values run from 0 to 255");
            config.Colors[0] = RGBColor{static_cast<UInt16>(v[0] * 257), static_cast<UInt16>(v[1] * 257),
                                        static_cast<UInt16>(v[2] * 257)};
        } else if (a == "--format") {
            const double v = Numbers(a, value(), 1)[0];
            if (v != 1 && v != 2 && v != 3) Usage("--format: 1 NTSC, 2 PAL or 3 HD");
            config.MediaType = static_cast<SInt16>(v);
        } else if (a == "--show") {
            show = true;
        } else {
            Usage("unknown argument " + a);
        }
    }
    if (show) {
        if (!ReadConfig(&config)) {
            std::fprintf(stderr, "quelvane-prefs: no saved settings could be read\n");
            return 1;
        }
        ShowConfig(config);
        return 0;
    }
    // The store writes into its file, made as the plug-in makes it at start-up.
    if (!MakeSurePrefsFileExists() || !SaveConfig(&config)) {
        std::fprintf(stderr, "quelvane-prefs: the settings could not be saved\n");
        return 1;
    }
    return 0;
}
