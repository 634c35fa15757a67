// quelvane-host: runs a video-filter plug-in on real video, the way an
// editor drives it. See Usage() for the commands and exit statuses.
#include "Commands.h"
#include "HostError.h"
#include "OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

using namespace qvhost;

namespace {

const char kUsage[] =
    "Usage: quelvane-host [GLOBAL OPTIONS] COMMAND [OPTIONS] ARGS\n"
    "\n"
    "Runs the Quelvane video filter plug-in on a video file, as an editor would.\n"
    "\n"
    "Commands:\n"
    "  info [IN]               print the plug-in's description (for IN's length)\n"
    "  render [IN] OUT         filter every frame of IN (or a range) into OUT;\n"
    "                          without IN, render the built-in demo clip\n"
    "                          (a moving test pattern with a 440 Hz tone, 5 s)\n"
    "  still [IN] OUT.png      render the plug-in's place-holder still\n"
    "  settings [IN]           open the plug-in's settings window on a frame of IN\n"
    "                          (or the demo clip), as the editor's button does;\n"
    "                          OK saves the settings the next render uses\n"
    "\n"
    "Global options:\n"
    "  --plugin PATH           plug-in bundle or library (default: the built or\n"
    "                          installed Quelvane.plugin, or $QUELVANE_BUNDLE)\n"
    "  -q, --quiet             no progress line\n"
    "  -h, --help              show this help\n"
    "  --version               show the version\n"
    "\n"
    "Render and still options:\n"
    "  --start N               first frame of the clip (default 0)\n"
    "  --frames N              number of frames (default: to the end)\n"
    "  --size WxH              output frame size (default: the clip's); at most\n"
    "                          4095x16384 for render (the plug-in's records hold\n"
    "                          4095 columns, the H.264 encoder 16384 rows) and\n"
    "                          4095x32767 for still\n"
    "  --fade-in N             fade-in length in frames (default 0)\n"
    "  --fade-out N            fade-out length in frames (default 0)\n"
    "  --sliders A,B,C         the host's three slider values (default 0.5,0.5,0.5)\n"
    "  --proxy                 quick low-quality render, no sound mixed\n"
    "  --crf N                 H.264 constant quality, 0 (lossless) to 51 (default 18)\n"
    "  --preset NAME           x264 speed preset: ultrafast, superfast, veryfast,\n"
    "                          faster, fast, medium (default), slow, slower, veryslow\n"
    "  --thumb-offset N        still: the frame shown, counted from --start (default 0)\n"
    "  --demo                  render: use the demo clip even though OUT exists\n"
    "\n"
    "Settings options (and --start, --frames, --size for the clip):\n"
    "  --frame N               the frame the window opens on, counted from --start\n"
    "                          (default 0)\n"
    "  --script FILE           play the user's actions from FILE instead of showing\n"
    "                          the window (required without a display); one action\n"
    "                          a line, e.g. 'set Sldr 1 120' then 'click \"ok  \" 1'\n"
    "                          (see platform/toolbox/HeadlessScripts.md)\n"
    "\n"
    "The output's extension chooses the container: .mp4 or .m4v, .mov (H.264\n"
    "video, AAC sound) or .mkv (H.264, FLAC); containers that write more than\n"
    "one file (playlists, segments, image sequences) are refused. The output is\n"
    "written to a hidden temporary file in the same folder and renamed when\n"
    "complete; an existing output is replaced and keeps its permissions. What\n"
    "an interrupted render left behind is removed by the next render of the same\n"
    "output. An output named *.null is rendered and converted but not written\n"
    "(for timing).\n"
    "\n"
    "Frames: frame N is the N-th picture of IN in display order, and keeps its\n"
    "time in OUT, so a clip of variable frame rate stays as it was; its sound is\n"
    "IN's sound from that frame's time to the next one's. A rotation IN declares\n"
    "is applied (the plug-in sees the picture upright); its pixel aspect ratio,\n"
    "field order and colour description are written to OUT. A frame that cannot\n"
    "be decoded (a damaged file) shows the nearest picture that can, with a\n"
    "warning that says how many.\n"
    "\n"
    "Exit status:\n"
    "  0    success\n"
    "  1    the render failed (decoding, the plug-in answered an error, encoding,\n"
    "       out of memory), or a settings script did not play as written\n"
    "  2    bad command line\n"
    "  3    the input cannot be used (missing, not a regular file, not a video,\n"
    "       no video stream, undecodable, no frames)\n"
    "  4    the output cannot be written (missing or read-only folder, disk full,\n"
    "       it would overwrite the input; for info: standard output)\n"
    "  5    the plug-in cannot be loaded (missing bundle, no entry point main)\n"
    "  128+N  stopped by signal N: 129 SIGHUP, 130 SIGINT, 131 SIGQUIT, 143 SIGTERM;\n"
    "       a render: the first asks it to stop, a second one ends it at once;\n"
    "       settings: SIGHUP, SIGINT and SIGTERM cancel the window\n";

[[noreturn]] void UsageError(const std::string &message) {
    throw HostError(kExitUsage, message + " (see quelvane-host --help)");
}

long long ParseInt(const std::string &option, const std::string &text, long long lo, long long hi) {
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || v < lo || v > hi)
        UsageError(option + " wants a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                   ", not '" + text + "'");
    return v;
}

float ParseFloat(const std::string &option, const std::string &text) {
    char *end = nullptr;
    const float v = std::strtof(text.c_str(), &end);
    if (text.empty() || *end) UsageError(option + " wants numbers, not '" + text + "'");
    return v;
}

struct Parsed {
    std::string command;
    std::vector<std::string> args;
    CommandOptions options;
    bool demo = false;
};

Parsed Parse(int argc, char **argv) {
    Parsed p;
    CommandOptions &o = p.options;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string value;
        bool hasValue = false;
        if (a.rfind("--", 0) == 0) {
            if (const auto eq = a.find('='); eq != std::string::npos) {
                value = a.substr(eq + 1);
                a = a.substr(0, eq);
                hasValue = true;
            }
        }
        auto need = [&]() -> std::string {
            if (hasValue) return value;
            if (i + 1 >= argc) UsageError(a + " needs a value");
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(kExitOK);
        } else if (a == "--version") {
            std::puts("quelvane-host 3.0.0");
            std::exit(kExitOK);
        } else if (a == "-q" || a == "--quiet") {
            o.quiet = true;
        } else if (a == "--plugin") {
            o.plugin = need();
            if (o.plugin.empty()) UsageError("--plugin needs a path");
        } else if (a == "--start") {
            o.start = ParseInt(a, need(), 0, INT32_MAX);
        } else if (a == "--frames") {
            o.frames = ParseInt(a, need(), 1, INT32_MAX);
        } else if (a == "--fade-in") {
            o.filter.fadeIn = static_cast<SInt32>(ParseInt(a, need(), 0, INT32_MAX));
        } else if (a == "--fade-out") {
            o.filter.fadeOut = static_cast<SInt32>(ParseInt(a, need(), 0, INT32_MAX));
        } else if (a == "--sliders") {
            const std::string v = need();
            size_t pos = 0;
            for (int s = 0; s < kHYFilterSliderCount; ++s) {
                const size_t comma = v.find(',', pos);
                if ((comma == std::string::npos) != (s == kHYFilterSliderCount - 1))
                    UsageError("--sliders wants three numbers: A,B,C");
                o.filter.sliders[s] = ParseFloat(a, v.substr(pos, comma - pos));
                pos = comma + 1;
            }
        } else if (a == "--proxy") {
            o.proxy = true;
        } else if (a == "--size") {
            const std::string v = need();
            const size_t x = v.find_first_of("xX");
            if (x == std::string::npos) UsageError("--size wants WIDTHxHEIGHT, not '" + v + "'");
            o.width = static_cast<int>(ParseInt("--size", v.substr(0, x), 1, 1 << 20));
            o.height = static_cast<int>(ParseInt("--size", v.substr(x + 1), 1, 1 << 20));
        } else if (a == "--crf") {
            o.crf = static_cast<int>(ParseInt(a, need(), 0, 51));
        } else if (a == "--preset") {
            o.preset = need();
            static const char *const kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                                   "medium",    "slow",      "slower",   "veryslow", "placebo"};
            if (std::find(std::begin(kPresets), std::end(kPresets), o.preset) == std::end(kPresets))
                UsageError("--preset wants ultrafast, superfast, veryfast, faster, fast, medium, slow, slower or "
                           "veryslow, not '" + o.preset + "'");
        } else if (a == "--thumb-offset") {
            o.thumbOffset = static_cast<int32_t>(ParseInt(a, need(), 0, INT32_MAX));
        } else if (a == "--frame") {
            o.frame = static_cast<int32_t>(ParseInt(a, need(), 0, INT32_MAX));
        } else if (a == "--script") {
            o.script = need();
        } else if (a == "--demo") {
            p.demo = true;
        } else if (a.size() > 1 && a[0] == '-') {
            UsageError("unknown option " + a);
        } else if (p.command.empty()) {
            p.command = a;
        } else {
            p.args.push_back(a);
        }
    }
    return p;
}

void Run(Parsed &p) {
    CommandOptions &o = p.options;
    if (p.command.empty()) UsageError("no command given");
    if (p.command == "info") {
        if (p.args.size() > 1) UsageError("info takes at most one input");
        if (!p.args.empty()) o.input = p.args[0];
        RunInfo(o);
        return;
    }
    if (p.command == "settings") {
        if (p.args.size() > 1) UsageError("settings takes at most one input");
        if (!p.args.empty()) o.input = p.args[0];
        RunSettings(o);
        return;
    }
    if (p.command != "render" && p.command != "still") UsageError("unknown command '" + p.command + "'");
    if (p.args.empty()) UsageError(p.command + " needs an output file");
    if (p.args.size() > 2) UsageError(p.command + " takes an input and an output");
    if (p.args.size() == 2) {
        if (p.demo) UsageError("--demo renders the demo clip: give only the output");
        o.input = p.args[0];
        o.output = p.args[1];
    } else {
        o.output = p.args[0];
        // One name alone is the output of the demo clip; an existing file was
        // more likely meant as the input, and is not replaced without --demo.
        struct stat st {};
        if (!p.demo && stat(o.output.c_str(), &st) == 0)
            UsageError(o.output + " exists: give an output too (" + p.command + " IN OUT), or --demo to replace it");
    }
    if (p.command == "render")
        RunRender(o);
    else
        RunStill(o);
}

// Ends with a failure: its message and status, or the interruption that
// caused it when the user asked the program to stop.
int Failed(int status, const char *message) {
    if (const int sig = StopRequested()) {
        std::fprintf(stderr, "quelvane-host: interrupted\n");
        return 128 + sig;
    }
    std::fprintf(stderr, "quelvane-host: %s\n", message);
    return status;
}

}  // namespace

int main(int argc, char **argv) {
    // Every problem is reported in one line of our own (damage as a count):
    // FFmpeg's own messages about it would only bury that line.
    av_log_set_level(AV_LOG_FATAL);
    InstallStopHandlers();
    try {
        Parsed p = Parse(argc, argv);
        Run(p);
        // What was printed must have arrived (info > /dev/full fails).
        if (std::fflush(stdout) != 0 || std::ferror(stdout))
            throw HostError(kExitOutput, std::string("cannot write the standard output: ") + std::strerror(errno));
        if (!p.options.quiet && (p.command == "render" || p.command == "still"))
            std::fprintf(stderr, "quelvane-host: wrote %s\n", p.options.output.c_str());
        return kExitOK;
    } catch (const HostError &e) {
        return Failed(e.status(), e.what());
    } catch (const std::bad_alloc &) {
        return Failed(kExitRenderFailed, "out of memory");
    } catch (const std::exception &e) {
        return Failed(kExitRenderFailed, e.what());
    }
}
