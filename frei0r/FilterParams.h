// FilterParams.h: the filter's parameters as frei0r hosts see them, and the
// settings they stand for. A frei0r parameter is a double (conventionally
// 0..1) or a colour of three floats 0..1; each maps to one setting of the
// plug-in's configuration:
//
//   0 Zoom horizontal  slider 1: factor 1 + slider / 1000 = 0.5 + 2.5 x value
//   1 Zoom vertical    slider 2: likewise
//   2 Crop left        crop rectangle, fraction of the frame width
//   3 Crop top         crop rectangle, fraction of the frame height
//   4 Crop right       crop rectangle, fraction of the frame width
//   5 Crop bottom      crop rectangle, fraction of the frame height
//   6 Turn             slider 3 / 100 of a full turn = value turns
//   7 Fill colour      colour 1, 16 bits per channel = value x 65535
//
// The zoom's 0..1 is the settings window's whole slider range (half size to
// three times), so every saved zoom has a value in 0..1; a turn is reported
// as its fraction of one turn in 0..1 (a turn of -0.25 reads 0.75). Setting a
// parameter to the value it reports leaves the setting exactly as it was, so
// a host that reads every value and sets it back changes nothing.
//
// Plain records; nothing is allocated.
#ifndef QUELVANE_FREI0R_FILTERPARAMS_H
#define QUELVANE_FREI0R_FILTERPARAMS_H

// frei0r.h declares the entry points without C linkage of its own.
extern "C" {
#include <frei0r.h>
}

#include "MacTypes.h"

namespace qvfrei0r {

// The settings the filter renders with: the part of the plug-in's
// configuration that reaches the picture.
struct Settings {
    double cropLeft = 0, cropTop = 0, cropRight = 1, cropBottom = 1;  // fractions of the frame
    SInt16 zoomH = 0, zoomV = 0;  // slider units: factor 1 + value / 1000
    SInt16 turn = 0;              // slider units: value / 100 of a full turn
    RGBColor fill = {65535, 65535, 65535};
};

bool operator==(const Settings &a, const Settings &b);

constexpr int kParamCount = 8;

// Name, type and explanation of parameter `index`; nothing for another index.
void DescribeParam(int index, f0r_param_info_t *info);

// Writes parameter `index` of `s` into `param` (a double, or an
// f0r_param_color_t for the fill colour). Nothing for another index.
void GetParam(const Settings &s, int index, void *param);

// Changes the setting of parameter `index` from `param`. A value that is not
// a number, or an unknown index, changes nothing; values beyond what a
// setting holds are clamped to it.
void SetParam(Settings &s, int index, const void *param);

}  // namespace qvfrei0r

#endif
