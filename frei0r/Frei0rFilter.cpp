// The frei0r entry points of the Quelvane filter: what ffmpeg, MLT and
// GStreamer call. An instance is one render run of the plug-in at the
// instance's frame size, plus the settings its host set; frames are converted
// from the host's straight RGBA to the plug-in's premultiplied A, R, G, B and
// back around each do-frame request.
//
// When the plug-in cannot be used (bundle missing, a size it cannot take, a
// failed frame) the output is a copy of the input and the reason is written
// once per process to standard error; the host's process is never ended.
#include "BundleHost.h"
#include "FilterParams.h"
#include "PixelOrder.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace {

using namespace qvfrei0r;

struct Instance {
    int width = 0, height = 0;
    RenderRun *run = nullptr;  // nullptr: frames pass through unchanged
    std::mutex frameLock;      // one frame at a time through the run's input buffer
    std::mutex settingsLock;   // a host may set parameters while a frame renders
    Settings settings;
};

// The first problem of the process, on standard error.
void ReportOnce(const std::string &message) {
    static std::atomic<bool> reported{false};
    if (reported.exchange(true)) return;
    std::fprintf(stderr, "quelvane: %s\n", message.c_str());
    std::fflush(stderr);
}

}  // namespace

// The entry points are the library's only exports (with exports.map).
#define F0R_EXPORT __attribute__((visibility("default")))

extern "C" {

F0R_EXPORT int f0r_init(void) { return 1; }

// The plug-in stays loaded and keeps its settings until the process ends
// (other instances of a host may still use it).
F0R_EXPORT void f0r_deinit(void) {}

F0R_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t *info) {
    if (!info) return;
    info->name = "quelvane";
    info->author = "Quelvane";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    // Straight R, G, B, A: one byte rotation from the plug-in's A, R, G, B
    // and the order MLT works in, so no host converts on our behalf.
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = 3;
    info->minor_version = 0;
    info->num_params = kParamCount;
    info->explanation =
        "Crop and zoom: cuts a rectangle out of the frame, enlarges it about its centre, turns it and fills the "
        "rest of the frame with a colour. Parameters left unset take the settings saved in Quelvane's settings "
        "window.";
}

F0R_EXPORT void f0r_get_param_info(f0r_param_info_t *info, int param_index) { DescribeParam(param_index, info); }

F0R_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    auto *instance = new (std::nothrow) Instance;
    if (!instance) return nullptr;
    instance->width = static_cast<int>(std::min(width, 1u << 30));
    instance->height = static_cast<int>(std::min(height, 1u << 30));
    std::string why;
    instance->run = BeginRun(instance->width, instance->height, instance->settings, why);
    if (!instance->run) ReportOnce(why + "; frames pass through unchanged");
    return instance;
}

F0R_EXPORT void f0r_destruct(f0r_instance_t instance) {
    auto *self = static_cast<Instance *>(instance);
    if (!self) return;
    EndRun(self->run);
    delete self;
}

F0R_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    auto *self = static_cast<Instance *>(instance);
    if (!self) return;
    std::lock_guard<std::mutex> held(self->settingsLock);
    SetParam(self->settings, param_index, param);
}

F0R_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int param_index) {
    auto *self = static_cast<Instance *>(instance);
    if (!self) return;
    std::lock_guard<std::mutex> held(self->settingsLock);
    GetParam(self->settings, param_index, param);
}

F0R_EXPORT void f0r_update(f0r_instance_t instance, double time, const uint32_t *inframe, uint32_t *outframe) {
    (void)time;  // the picture is the same for every frame
    auto *self = static_cast<Instance *>(instance);
    if (!self || !inframe || !outframe) return;
    const size_t pixels = size_t(self->width) * size_t(self->height);
    const auto *in = reinterpret_cast<const uint8_t *>(inframe);
    auto *out = reinterpret_cast<uint8_t *>(outframe);
    if (!self->run) {
        if (in != out) std::memcpy(out, in, pixels * 4);
        return;
    }
    // MLT may render slices of a frame on several threads through one instance.
    std::lock_guard<std::mutex> frame(self->frameLock);
    Settings settings;
    {
        std::lock_guard<std::mutex> held(self->settingsLock);
        settings = self->settings;
    }
    uint8_t *source = RunInput(self->run);
    StraightRGBAToPremultipliedARGB(in, source, pixels);
    std::string why;
    if (RenderFrame(self->run, settings, out, why)) {
        PremultipliedARGBToStraightRGBA(out, out, pixels);
        return;
    }
    ReportOnce(why + "; such frames pass through unchanged");
    // The input may have been the output: it is restored from the converted copy.
    if (in != out) std::memcpy(out, in, pixels * 4);
    else PremultipliedARGBToStraightRGBA(source, out, pixels);
}

}  // extern "C"
