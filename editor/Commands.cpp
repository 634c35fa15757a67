// info, render and still: the requests an editor sends, in an editor's order.
#include "Commands.h"

#include "HostError.h"
#include "MediaWriter.h"
#include "OutputFile.h"
#include "corefoundation/CFString.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <chrono>
#include <cinttypes>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <unistd.h>

namespace qvhost {

namespace {

std::unique_ptr<ClipSource> OpenInput(const CommandOptions &o) {
    return o.input.empty() ? OpenDemoSource() : OpenFileSource(o.input);
}

// The clip range and frame size the options ask for, checked against the clip
// and the records' limits.
struct Job {
    int64_t start = 0;
    int64_t count = 0;
    int width = 0;
    int height = 0;
};

Job PlanJob(const CommandOptions &o, const ClipInfo &clip) {
    Job j;
    j.start = o.start;
    if (j.start < 0 || j.start >= clip.frameCount)
        throw HostError(kExitUsage, "--start " + std::to_string(j.start) + " is outside the clip (frames 0 to " +
                                        std::to_string(clip.frameCount - 1) + ")");
    j.count = o.frames < 0 ? clip.frameCount - j.start : o.frames;
    if (j.count <= 0) throw HostError(kExitUsage, "--frames must be at least 1");
    if (j.start + j.count > clip.frameCount)
        throw HostError(kExitUsage, "--start " + std::to_string(j.start) + " --frames " + std::to_string(j.count) +
                                        " runs past the clip's " + std::to_string(clip.frameCount) + " frames");
    if (j.start + j.count > INT32_MAX) throw HostError(kExitUsage, "the clip is too long for the plug-in interface");
    j.width = o.width > 0 ? o.width : clip.width;
    j.height = o.height > 0 ? o.height : clip.height;
    if (j.width > MaxFrameWidth() || j.height > MaxFrameHeight())
        throw HostError(kExitUsage, "frame size " + std::to_string(j.width) + "x" + std::to_string(j.height) +
                                        " is too large: the plug-in interface holds at most " +
                                        std::to_string(MaxFrameWidth()) + "x" + std::to_string(MaxFrameHeight()) +
                                        " (choose a smaller --size)");
    if (j.width < 2 || j.height < 2) throw HostError(kExitUsage, "the frame size must be at least 2x2");
    return j;
}

// The writer's settings for rendering the job from `source`: each frame keeps
// its time, the picture keeps its proportions at the job's size, and the
// field order and colour description are the clip's.
WriterSettings SettingsFor(const ClipSource &source, const Job &job, const CommandOptions &o) {
    const ClipInfo &clip = source.info();
    WriterSettings ws;
    ws.container = ContainerFor(o.output);
    ws.width = job.width & ~1;  // 4:2:0 needs even sizes: an odd last row or column is left out
    ws.height = job.height & ~1;
    if (ws.width > kMaxEncodedSide || ws.height > kMaxEncodedSide)
        throw HostError(kExitUsage, "frame size " + std::to_string(job.width) + "x" + std::to_string(job.height) +
                                        " is too large for the H.264 encoder, which takes at most " +
                                        std::to_string(kMaxEncodedSide) + " pixels a side (choose a smaller --size)");
    ws.frameRate = clip.frameRate;
    ws.timeBase = clip.timeBase;
    const ClipSource *src = &source;
    const int64_t start = job.start;
    ws.frameTime = [src, start](int64_t k) { return src->frameTime(start + k) - src->frameTime(start); };
    // Pixels as wide as keep the picture's shape at the new size.
    av_reduce(&ws.pixelAspect.num, &ws.pixelAspect.den,
              int64_t(clip.pixelAspect.num) * clip.width * job.height,
              int64_t(clip.pixelAspect.den) * clip.height * job.width, INT32_MAX);
    ws.fieldOrder = clip.fieldOrder;
    ws.colour = clip.colour;
    ws.crf = o.crf;
    ws.preset = o.preset;
    ws.audio = clip.hasAudio;
    ws.sampleRate = clip.sampleRate;
    ws.channels = clip.channels;
    return ws;
}

// Tells the user about frames of the input that could not be decoded.
void WarnAboutDamage(const ClipSource &source, const Job &job) {
    if (const int64_t n = source.damagedFrames())
        std::fprintf(stderr,
                     "quelvane-host: warning: the input is damaged: %" PRId64 " of %" PRId64
                     " frames could not be decoded and show the picture nearest to them\n",
                     n, job.count);
}

void Fail(SInt32 result, const std::string &what, HostSession &session) {
    std::string message = what + ": the plug-in answered " + ResultName(result) + " (" + std::to_string(result) + ")";
    const std::string cause = session.takeError();
    if (!cause.empty()) message += ": " + cause;
    throw HostError(kExitRenderFailed, message);
}

void CheckStop() {
    if (const int sig = StopRequested()) throw HostError(128 + sig, "interrupted");
}

// The progress line on a terminal: frames done of total, speed, time left.
class Progress {
public:
    Progress(int64_t total, bool quiet) : total_(total), on_(!quiet && isatty(STDERR_FILENO)) {
        start_ = last_ = Clock::now();
    }
    void update(int64_t done) {
        if (!on_) return;
        const auto now = Clock::now();
        if (done < total_ && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        const double secs = std::chrono::duration<double>(now - start_).count();
        const double fps = secs > 0 ? done / secs : 0;
        const double left = fps > 0 ? (total_ - done) / fps : 0;
        std::fprintf(stderr, "\rframe %" PRId64 "/%" PRId64 "  %.1f fps  %.0f s left   ", done, total_, fps, left);
        std::fflush(stderr);
        shown_ = true;
    }
    ~Progress() {
        if (shown_) std::fputc('\n', stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    int64_t total_;
    bool on_;
    bool shown_ = false;
    Clock::time_point start_, last_;
};

// The plug-in's get-info request, as an editor sends it before a render.
void AskInfo(HostSession &session, PluginParams &params, int64_t selected) {
    session.prepare(params);
    params.selector = kPlugGetInfo;
    params.getInfo2.selectedFrames = static_cast<SInt32>(selected);
    const SInt32 r = session.call(params);
    if (r != kPluginOK) Fail(r, "get-info", session);
}

// Asks for the description, then starts a render run over the job; params
// keeps what every later call of the run needs. Answers the plug-in's result.
SInt32 BeginRun(HostSession &session, PluginParams &params, const Job &job, bool proxy) {
    AskInfo(session, params, job.count);
    params.selector = kPlugInitialize;
    params.startFrame = static_cast<SInt32>(job.start);
    params.renderFrame = 0;
    params.frameCount = static_cast<SInt32>(job.count);
    params.proxyOnly = proxy;
    params.frameRect = Rect{0, 0, static_cast<SInt16>(job.height), static_cast<SInt16>(job.width)};
    params.clientData = nullptr;
    return session.call(params);
}

// Refuses a frame option that lies outside the job's frames.
void CheckFrameInClip(const char *option, int64_t frame, const Job &job) {
    if (frame < 0 || frame >= job.count)
        throw HostError(kExitUsage, std::string(option) + " " + std::to_string(frame) + " is outside the clip's " +
                                        std::to_string(job.count) + " frames");
}

// Ends the run params holds, if it holds one.
void EndRun(HostSession &session, PluginParams &params) {
    if (!params.clientData) return;
    params.selector = kPlugTerminate;
    session.call(params);
}

}  // namespace

void RunInfo(const CommandOptions &o) {
    PluginLibrary plugin(o.plugin.empty() ? DefaultBundlePath() : o.plugin);
    auto source = OpenInput(o);
    HostSession session(plugin, *source, o.filter, false);
    PluginParams params;
    const int64_t selected = o.frames > 0 ? o.frames : source->info().frameCount;
    AskInfo(session, params, selected);
    const HYPluginGetInfo &g = params.getInfo;
    const HY2PluginGetInfo &g2 = params.getInfo2;
    // The plug-in's texts are Mac Roman; the terminal wants UTF-8.
    auto text = [](const char *s, size_t n) {
        const std::string raw(s, strnlen(s, n));
        CFStringRef str = CFStringCreateWithCString(kCFAllocatorDefault, raw.c_str(), kCFStringEncodingMacRoman);
        if (!str) return raw;
        char utf8[1024];
        const bool ok = CFStringGetCString(str, utf8, sizeof utf8, kCFStringEncodingUTF8);
        CFRelease(str);
        return ok ? std::string(utf8) : raw;
    };
    std::printf("plug-in:        %s\n", plugin.libraryPath().c_str());
    std::printf("type:           %d%s\n", g.pluginType, g.pluginType == kPluginFilterType ? " (filter)" : "");
    std::printf("group:          %s\n", text(g2.group, sizeof g2.group).c_str());
    for (int i = 0; i < kHYFilterSliderCount; ++i) {
        const HYPluginFilterSliderInfo &s = g2.filterSliders[i];
        std::printf("slider %d:       %s [%s .. %s], default %g\n", i + 1, text(s.label, sizeof s.label).c_str(),
                    text(s.minLabel, sizeof s.minLabel).c_str(), text(s.maxLabel, sizeof s.maxLabel).c_str(),
                    static_cast<double>(s.defaultValue));
    }
    std::printf("button:         %s\n", text(params.getInfo3.buttonTitle, sizeof params.getInfo3.buttonTitle).c_str());
    std::printf("memory needed:  %d bytes\n", static_cast<int>(g2.baseMemoryNeeded));
    std::printf("flags:          0x%" PRIX32 "\n", static_cast<uint32_t>(g.pluginFlags));
    std::printf("frames:         %d rendered of %d selected, %d taken before, %d after\n",
                static_cast<int>(g.framesToBeRendered), static_cast<int>(selected),
                static_cast<int>(g.takeFromClipBefore), static_cast<int>(g.takeFromClipAfter));
}

void RunRender(const CommandOptions &o) {
    const std::string container = ContainerFor(o.output);
    if (!o.input.empty()) CheckNotSameFile(o.input, o.output);
    PluginLibrary plugin(o.plugin.empty() ? DefaultBundlePath() : o.plugin);
    auto source = OpenInput(o);
    const ClipInfo &clip = source->info();
    const Job job = PlanJob(o, clip);
    CheckStop();

    // OUT.null: render and convert every frame, write nothing (for timing).
    WriterSettings ws = SettingsFor(*source, job, o);
    std::unique_ptr<OutputFile> out;
    if (container != "null") out = std::make_unique<OutputFile>(o.output);
    if (out) ws.path = out->tempPath();
    MediaWriter writer(ws);

    HostSession session(plugin, *source, o.filter, !o.proxy);
    session.reader().setEnd(job.start + job.count);
    // Targets start opaque black once; the plug-in draws every pixel of a
    // frame, so they are not cleared again between frames (that was about
    // 5 % of the host's CPU time).
    auto newTarget = [](int width, int height) {
        FrameBuffer b = NewWorldBuffer(width, height);
        if (b.pixels) ClearBuffer(b);
        return b;
    };
    EncodeQueue encoder(writer, newTarget, DisposeWorldBuffer, job.width, job.height, 3);

    PluginParams params;
    SInt32 r = BeginRun(session, params, job, o.proxy);
    auto terminate = [&] { EndRun(session, params); };
    if (r != kPluginOK) {
        terminate();
        Fail(r, "starting the render", session);
    }

    Progress progress(job.count, o.quiet);
    try {
        for (int64_t k = 0; k < job.count; ++k) {
            CheckStop();
            EncodeQueue::Target *t = encoder.acquire();
            if (clip.hasAudio) {
                const int64_t a = FirstSample(*source, job.start + k);
                const int64_t b = FirstSample(*source, job.start + k + 1);
                t->audio.resize(clip.channels, static_cast<int>(b - a));
            }
            params.selector = kPlugDoFrame;
            params.renderFrame = static_cast<SInt32>(k);
            params.frame = static_cast<GWorldPtr>(t->buf.world);
            session.setMixTarget(clip.hasAudio ? &t->audio : nullptr);
            r = session.call(params);
            session.setMixTarget(nullptr);
            if (r != kPluginOK) Fail(r, "frame " + std::to_string(job.start + k), session);
            encoder.submit(t);
            progress.update(k + 1);
        }
    } catch (...) {
        terminate();
        throw;
    }
    terminate();
    CheckStop();
    encoder.finish();
    if (out) out->commit();
    WarnAboutDamage(*source, job);
}

void RunStill(const CommandOptions &o) {
    const std::string ext = std::filesystem::path(o.output).extension().string();
    if (ext != ".png" && ext != ".PNG") throw HostError(kExitUsage, o.output + ": still writes PNG images (name it .png)");
    if (!o.input.empty()) CheckNotSameFile(o.input, o.output);
    PluginLibrary plugin(o.plugin.empty() ? DefaultBundlePath() : o.plugin);
    auto source = OpenInput(o);
    const Job job = PlanJob(o, source->info());
    CheckFrameInClip("--thumb-offset", o.thumbOffset, job);
    OutputFile out(o.output);
    HostSession session(plugin, *source, o.filter, false);
    session.reader().setEnd(job.start + o.thumbOffset + 1);
    FrameBuffer target = NewWorldBuffer(job.width, job.height);
    struct Disposer {
        FrameBuffer b;
        ~Disposer() { DisposeWorldBuffer(b); }
    } disposer{target};
    ClearBuffer(target);

    PluginParams params;
    AskInfo(session, params, job.count);
    params.selector = kPlugFilePlaceHolder;
    params.startFrame = static_cast<SInt32>(job.start);
    params.renderFrame = 0;
    params.frameCount = static_cast<SInt32>(job.count);
    params.proxyOnly = o.proxy;
    params.frameRect = Rect{0, 0, static_cast<SInt16>(job.height), static_cast<SInt16>(job.width)};
    params.frame = static_cast<GWorldPtr>(target.world);
    params.getInfo.bestThumbOffset = o.thumbOffset;
    const SInt32 r = session.call(params);
    if (r != kPluginOK) Fail(r, "the place-holder still", session);
    CheckStop();
    WritePng(out.tempPath(), target.pixels, target.rowBytes, target.width, target.height);
    out.commit();
}

void RunSettings(const CommandOptions &o) {
    // Ctrl-C, a terminate or a hang-up while the window is open cancel it:
    // the settings stay as they were and the status tells which signal came.
    const int cancelling[] = {SIGINT, SIGTERM, SIGHUP};
    QVToolboxCancelOnSignals(cancelling, std::size(cancelling));
    // Who plays the user: the script, or a person at the desktop.
    if (!o.script.empty()) {
        char error[512] = {0};
        if (QVToolboxLoadScriptFile(o.script.c_str(), error, sizeof error) != noErr)
            throw HostError(kExitUsage, "--script " + o.script + ": " + error);
    } else if (QVToolboxGetFrontEnd() != kQVFrontEndScreen) {
        throw HostError(kExitUsage, "settings: there is no display to show the window on; give the user's actions "
                                    "with --script FILE");
    }
    PluginLibrary plugin(o.plugin.empty() ? DefaultBundlePath() : o.plugin);
    auto source = OpenInput(o);
    const Job job = PlanJob(o, source->info());
    CheckFrameInClip("--frame", o.frame, job);
    HostSession session(plugin, *source, o.filter, false);
    // Nothing is read ahead of the preview's frame while the window opens;
    // the scrubber reads ahead from wherever it goes.
    session.reader().setEnd(job.start + o.frame + 1);

    // An editor shows the filtered frame first: a render run of one frame,
    // which also tells the plug-in where the clip starts and how long it is.
    PluginParams params;
    SInt32 r = BeginRun(session, params, job, o.proxy);
    auto terminate = [&] { EndRun(session, params); };
    if (r != kPluginOK) {
        terminate();
        Fail(r, "starting the preview render", session);
    }
    {
        FrameBuffer target = NewWorldBuffer(job.width, job.height);
        struct Disposer {
            FrameBuffer b;
            ~Disposer() { DisposeWorldBuffer(b); }
        } disposer{target};
        ClearBuffer(target);
        params.selector = kPlugDoFrame;
        params.renderFrame = o.frame;
        params.frame = static_cast<GWorldPtr>(target.world);
        r = session.call(params);
        params.frame = nullptr;
        if (r != kPluginOK) {
            terminate();
            Fail(r, "the preview of frame " + std::to_string(job.start + o.frame), session);
        }
    }
    terminate();
    CheckStop();
    session.reader().setEnd(job.start + job.count);

    // The button. The request names the frame relative to the clip's start,
    // which the plug-in took from the preview render: it carries no start of
    // its own.
    PluginParams button;
    session.prepare(button);
    button.selector = kPlugCustomButtonClick;
    button.startFrame = 0;
    button.renderFrame = o.frame;
    button.frameCount = static_cast<SInt32>(job.count);
    button.frameRect = params.frameRect;
    r = session.call(button);
    if (const int sig = QVToolboxInterruptSignal()) throw HostError(128 + sig, "interrupted: the settings window was cancelled");
    if (r != kPluginOK) Fail(r, "the settings window (the settings were not saved)", session);
    if (session.framesLent() != 0)
        throw HostError(kExitRenderFailed, "the plug-in kept " + std::to_string(session.framesLent()) +
                                               " frames after its settings window closed");
    if (!o.script.empty()) {
        const UInt32 problems = QVToolboxScriptProblems();
        const size_t left = QVToolboxScriptActionsLeft();
        if (problems > 0 || left > 0)
            throw HostError(kExitRenderFailed, "the script " + o.script + " did not play as written: " +
                                                   std::to_string(problems) + " problems, " + std::to_string(left) +
                                                   " actions left when the window closed");
    }
}

}  // namespace qvhost
