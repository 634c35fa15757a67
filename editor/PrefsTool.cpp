// quelvane-prefs: writes or shows the plug-in's saved settings (the file the
// plug-in reads at start-up from $XDG_CONFIG_HOME, default ~/.config) through
// the plug-in's own store procedures, so that a render can be set up from a
// script before the settings window exists on the machine: a crop rectangle,
// the two zoom sliders, the turn and the fill colour.
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
    "  --show             print the saved settings instead of writing them\n"
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
        std::printf("crop:  %g,%g,%g,%g (left, top, right, bottom)\n", config.StartRel.Left, config.StartRel.Top,
                    config.StartRel.Right, config.StartRel.Bottom);
        std::printf("zoom:  %d,%d\nturn:  %d\nfill:  %d,%d,%d\n", config.Sliders[0], config.Sliders[1],
                    config.Sliders[2], config.Colors[0].red >> 8, config.Colors[0].green >> 8,
                    config.Colors[0].blue >> 8);
        return 0;
    }
    // The store writes into its file, made as the plug-in makes it at start-up.
    if (!MakeSurePrefsFileExists() || !SaveConfig(&config)) {
        std::fprintf(stderr, "quelvane-prefs: the settings could not be saved\n");
        return 1;
    }
    return 0;
}
