// The filter's parameters: names and explanations for a host's interface,
// and the mapping of each value to its setting.
#include "FilterParams.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qvfrei0r {

namespace {

enum Param { kZoomH, kZoomV, kCropLeft, kCropTop, kCropRight, kCropBottom, kTurn, kFill };

struct ParamText {
    const char *name;
    int type;
    const char *explanation;
};

// Every explanation ends by saying what an unset parameter renders.
#define QV_UNSET " Not set: the saved setting (what the settings window saved)."
constexpr ParamText kParams[kParamCount] = {
    {"Zoom horizontal", F0R_PARAM_DOUBLE,
     "Width of the cut-out picture, enlarged about its centre: 0 = half size, 0.2 = unchanged, 0.6 = twice, "
     "1 = three times (factor 0.5 + 2.5 x value)." QV_UNSET},
    {"Zoom vertical", F0R_PARAM_DOUBLE,
     "Height of the cut-out picture, enlarged about its centre: 0 = half size, 0.2 = unchanged, 0.6 = twice, "
     "1 = three times (factor 0.5 + 2.5 x value)." QV_UNSET},
    {"Crop left", F0R_PARAM_DOUBLE,
     "Left edge of the cut-out, as a fraction of the frame width: 0 = the frame's left edge, 1 = its right edge."
     QV_UNSET},
    {"Crop top", F0R_PARAM_DOUBLE,
     "Top edge of the cut-out, as a fraction of the frame height: 0 = the frame's top edge, 1 = its bottom edge."
     QV_UNSET},
    {"Crop right", F0R_PARAM_DOUBLE,
     "Right edge of the cut-out, as a fraction of the frame width: 0 = the frame's left edge, 1 = its right edge."
     QV_UNSET},
    {"Crop bottom", F0R_PARAM_DOUBLE,
     "Bottom edge of the cut-out, as a fraction of the frame height: 0 = the frame's top edge, 1 = its bottom edge."
     QV_UNSET},
    {"Turn", F0R_PARAM_DOUBLE,
     "Turn of the enlarged picture about its centre, in whole turns: 0 = none, 0.25 = a quarter turn anticlockwise, "
     "0.5 = upside down, 1 = a full turn (in steps of 0.01)." QV_UNSET},
    {"Fill colour", F0R_PARAM_COLOR, "Colour of the frame where the enlarged picture does not reach." QV_UNSET},
};
#undef QV_UNSET

// Zoom slider units per 0..1 step, and the slider value at 0.
constexpr double kZoomSpan = 2500.0;
constexpr double kZoomAtZero = -500.0;
// Turn slider units per full turn.
constexpr int kTurnUnits = 100;

double ZoomValue(SInt16 slider) { return (slider - kZoomAtZero) / kZoomSpan; }
// A turn's fraction of one full turn, in 0..1 (whole turns draw the same picture).
double TurnValue(SInt16 slider) {
    return static_cast<double>(((slider % kTurnUnits) + kTurnUnits) % kTurnUnits) / kTurnUnits;
}

SInt16 ToSlider(double units) {
    return static_cast<SInt16>(std::lround(std::clamp(units, double(INT16_MIN), double(INT16_MAX))));
}

UInt16 ToChannel(float v) { return static_cast<UInt16>(std::lround(std::clamp(double(v), 0.0, 1.0) * 65535.0)); }

}  // namespace

bool operator==(const Settings &a, const Settings &b) {
    return a.cropLeft == b.cropLeft && a.cropTop == b.cropTop && a.cropRight == b.cropRight &&
           a.cropBottom == b.cropBottom && a.zoomH == b.zoomH && a.zoomV == b.zoomV && a.turn == b.turn &&
           a.fill.red == b.fill.red && a.fill.green == b.fill.green && a.fill.blue == b.fill.blue;
}

void DescribeParam(int index, f0r_param_info_t *info) {
    if (!info || index < 0 || index >= kParamCount) return;
    info->name = kParams[index].name;
    info->type = kParams[index].type;
    info->explanation = kParams[index].explanation;
}

void GetParam(const Settings &s, int index, void *param) {
    if (!param) return;
    double *d = static_cast<double *>(param);
    switch (index) {
    case kZoomH: *d = ZoomValue(s.zoomH); break;
    case kZoomV: *d = ZoomValue(s.zoomV); break;
    case kCropLeft: *d = s.cropLeft; break;
    case kCropTop: *d = s.cropTop; break;
    case kCropRight: *d = s.cropRight; break;
    case kCropBottom: *d = s.cropBottom; break;
    case kTurn: *d = TurnValue(s.turn); break;
    case kFill: {
        auto *c = static_cast<f0r_param_color_t *>(param);
        c->r = static_cast<float>(s.fill.red / 65535.0);
        c->g = static_cast<float>(s.fill.green / 65535.0);
        c->b = static_cast<float>(s.fill.blue / 65535.0);
        break;
    }
    default: break;
    }
}

void SetParam(Settings &s, int index, const void *param) {
    if (!param || index < 0 || index >= kParamCount) return;
    if (index == kFill) {
        const auto *c = static_cast<const f0r_param_color_t *>(param);
        if (!std::isfinite(c->r) || !std::isfinite(c->g) || !std::isfinite(c->b)) return;
        f0r_param_color_t now;
        GetParam(s, kFill, &now);
        if (c->r == now.r && c->g == now.g && c->b == now.b) return;
        s.fill = RGBColor{ToChannel(c->r), ToChannel(c->g), ToChannel(c->b)};
        return;
    }
    const double v = *static_cast<const double *>(param);
    if (!std::isfinite(v)) return;
    double now = 0;
    GetParam(s, index, &now);
    if (v == now) return;  // what the parameter reports keeps the setting as it is
    switch (index) {
    case kZoomH: s.zoomH = ToSlider(kZoomAtZero + v * kZoomSpan); break;
    case kZoomV: s.zoomV = ToSlider(kZoomAtZero + v * kZoomSpan); break;
    case kCropLeft: s.cropLeft = v; break;
    case kCropTop: s.cropTop = v; break;
    case kCropRight: s.cropRight = v; break;
    case kCropBottom: s.cropBottom = v; break;
    case kTurn: s.turn = ToSlider(v * kTurnUnits); break;
    default: break;
    }
}

}  // namespace qvfrei0r
