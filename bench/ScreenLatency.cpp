// The settings window on a real X server, timed as a person sees it
// (quelvane-host settings on a private Xvfb display with openbox, input
// through XTest, the screen read back with XGetImage):
//
//  - event to screen: one step of a zoom-slider drag (an XTest motion event
//    while the thumb is held) until the preview's pixels on the screen
//    change, in the NTSC and the HD window. Goal: median at most 16 ms (one
//    frame at 60 Hz). Baseline of the same run: one X round trip with the
//    same screen read (the floor of what can be measured here).
//  - start to window: from starting `settings` on a 1920 x 1080 clip at
//    frame 0 until its preview shows on the screen. Goal: at most 300 ms.
//    Baseline of the same run: `quelvane-host info` on the same clip (start
//    the program, load the plug-in, open the clip), run to its end.
//
// Run from the build folder (needs Xvfb, openbox and ffmpeg):
//     bin/quelvane_screen_latency [STEPS] [STARTS]
#include "XScreen.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace xscreen;
using Clock = std::chrono::steady_clock;

namespace {

std::string Bin(const std::string &name)
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    self[n > 0 ? n : 0] = 0;
    return (std::filesystem::path(self).parent_path() / name).string();
}

double Ms(Clock::time_point since)
{
    return 1000.0 * Seconds(since);
}

struct Stats {
    double median = 0, p95 = 0;
};

Stats Of(std::vector<double> v)
{
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)]};
}

bool NotPlain(const Capture &c)
{
    for (uint32_t p : c.pixels)
        if (p != c.pixels[0])
            return true;
    return false;
}

struct Layout {
    const char *title;
    int format;
    Box preview, zoom;
};

} // namespace

int main(int argc, char **argv)
{
    const int steps = argc > 1 ? std::atoi(argv[1]) : 60;
    const int starts = argc > 2 ? std::atoi(argv[2]) : 7;
    std::string why;
    auto screen = XScreen::Start(1920, 1200, &why);
    if (!screen) {
        std::fprintf(stderr, "quelvane_screen_latency: %s\n", why.c_str());
        return 1;
    }
    const auto work = std::filesystem::temp_directory_path() / ("qvlatency-" + std::to_string(getpid()));
    std::filesystem::create_directories(work / "prefs");
    const std::string clip = (work / "hd.mp4").string();
    const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=30 -t 2 -c:v libx264 "
                             "-pix_fmt yuv420p " + clip;
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "quelvane_screen_latency: ffmpeg could not make the clip\n");
        return 1;
    }
    const std::vector<std::string> env{"XDG_CONFIG_HOME=" + (work / "prefs").string()};
    auto prefs = [&](const std::string &args) {
        return std::system(("XDG_CONFIG_HOME=" + (work / "prefs").string() + " " + Bin("quelvane-prefs") + " " + args)
                               .c_str());
    };

    // Start to window, against the info command on the same clip.
    prefs("--format 1");
    const Layout ntsc{"Quelvane Settings (NTSC)", 1, {17, 17, 478, 318}, {516, 36, 204, 22}};
    const Layout hd{"Quelvane Settings (HD)", 3, {17, 17, 510, 286}, {548, 36, 204, 22}};
    std::vector<double> open, info;
    for (int i = 0; i < starts; ++i) {
        auto t0 = Clock::now();
        Program p = screen->run({Bin("quelvane-host"), "-q", "info", clip}, env);
        if (p.wait(30) != 0)
            return std::fprintf(stderr, "info failed: %s\n", p.err().c_str()), 1;
        info.push_back(Ms(t0));
        t0 = Clock::now();
        p = screen->run({Bin("quelvane-host"), "-q", "settings", clip, "--frame", "0"}, env);
        const XWindow w = screen->waitForWindow(ntsc.title, 30);
        if (!w)
            return std::fprintf(stderr, "no window: %s\n", p.err().c_str()), 1;
        const Box c = screen->contentOf(w);
        screen->waitFor(ntsc.preview.at(c.left, c.top), NotPlain, 30);
        open.push_back(Ms(t0));
        screen->key("Escape");
        p.wait(30);
    }

    // Event to screen, one drag step at a time.
    std::vector<double> floor;
    for (const Layout &l : {ntsc, hd}) {
        prefs("--format " + std::to_string(l.format));
        Program p = screen->run({Bin("quelvane-host"), "-q", "settings", clip, "--frame", "0"}, env);
        const XWindow w = screen->waitForWindow(l.title, 30);
        if (!w)
            return std::fprintf(stderr, "no window: %s\n", p.err().c_str()), 1;
        const Box c = screen->contentOf(w);
        const Box preview = l.preview.at(c.left, c.top);
        screen->waitFor(preview, NotPlain, 30);
        // The row through the middle of the preview changes with every step
        // of the horizontal zoom.
        const Box row{preview.left, preview.centreY(), preview.width, 1};
        int x = c.left + l.zoom.left + 8 + (l.zoom.width - 15) / 5;
        const int y = c.top + l.zoom.centreY();
        screen->move(x, y);
        screen->press();
        std::vector<double> latency;
        for (int i = 0; i < steps; ++i) {
            const Capture before = screen->grab(row);
            auto t0 = Clock::now();
            screen->sync();
            screen->grab(row);
            floor.push_back(Ms(t0));
            x += 2;
            t0 = Clock::now();
            screen->move(x, y);
            // Polled every 0.2 ms: sleeping longer would blur the time,
            // not sleeping would crowd the X server the window draws through.
            bool changed = false;
            while (!changed && Ms(t0) < 2000) {
                changed = screen->grab(row) != before;
                if (!changed)
                    usleep(200);
            }
            if (changed)
                latency.push_back(Ms(t0));
        }
        screen->release();
        screen->key("Escape");
        p.wait(30);
        const Stats s = Of(latency);
        std::printf("%-5s drag step to screen: median %6.2f ms, p95 %6.2f ms (%zu of %d steps seen)\n",
                    l.format == 1 ? "NTSC" : "HD", s.median, s.p95, latency.size(), steps);
    }
    const Stats f = Of(floor), o = Of(open), n = Of(info);
    std::printf("round trip + screen read (floor): median %6.2f ms, p95 %6.2f ms\n", f.median, f.p95);
    std::printf("settings start to window, 1080p clip: median %6.1f ms, p95 %6.1f ms\n", o.median, o.p95);
    std::printf("info on the same clip (baseline):     median %6.1f ms; window/info = %.2f\n", n.median,
                n.median > 0 ? o.median / n.median : 0.0);
    std::filesystem::remove_all(work);
    return 0;
}
