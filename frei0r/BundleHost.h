// BundleHost.h: the filter's side of the plug-in interface. It loads the
// Quelvane bundle once per process (it stays loaded until the process ends:
// the plug-in keeps its settings for the life of the process) and drives it
// as an editor does: get-info, then one render run per filter instance, from
// initialize to terminate, with one do-frame request per frame. The frame is
// lent to the plug-in through GetFrame and its result is drawn into the
// parameter block's target frame.
//
// The plug-in has process-wide state and expects one request at a time, so
// every call into it (and every callback it makes) runs under one
// process-wide lock: runs may be used from any thread, several at once.
//
// The settings a frei0r host sets reach the plug-in through the run's own
// copy of the configuration, which the plug-in allocates through this
// host's NewPtrClear at initialize: the filter knows that block by its size
// and writes the changed settings into it before a frame, the way the
// settings window changes the shared record. The bundle must therefore be
// built from the same sources as the filter (the record's size is checked).
//
// The plug-in ends the process on a failed assertion. The filter keeps that
// from happening: it never sends a request that could fail one (sizes within
// what the records hold, host blocks from the same Memory Manager the
// plug-in compares sizes with, no frame without a started run), and while a
// request runs it shows the plug-in's alerts itself: a stop alert (the last
// thing before the process would end) unwinds the request instead; the
// plug-in is then not called again in this process.
//
// Ownership: BeginRun hands out a RenderRun that EndRun frees. The run owns
// its input frame; the plug-in's run data hangs off the run until EndRun.
#ifndef QUELVANE_FREI0R_BUNDLEHOST_H
#define QUELVANE_FREI0R_BUNDLEHOST_H

#include "FilterParams.h"

#include <cstdint>
#include <string>

namespace qvfrei0r {

struct RenderRun;

// The largest frame the plug-in's records and pixel maps hold.
int MaxFrameWidth();
int MaxFrameHeight();

// The bundle the filter loads: $QUELVANE_BUNDLE; else, beside this library
// (lib/frei0r-1/), the installed bundle lib/quelvane/Quelvane.plugin; else
// the build tree's Quelvane.plugin beside lib/.
std::string BundlePath();

// Starts a render run for frames of width x height pixels; `saved` receives
// the settings the run starts with (the user's saved settings). nullptr and
// the reason in `why` when the plug-in cannot render such frames.
RenderRun *BeginRun(int width, int height, Settings &saved, std::string &why);

// The run's input frame, to be filled before RenderFrame: width x height
// pixels A, R, G, B premultiplied, rows width x 4 bytes apart.
uint8_t *RunInput(RenderRun *run);

// Renders the input frame with `settings` into `out` (width x height pixels
// A, R, G, B premultiplied, rows width x 4 bytes apart). false, with the
// reason in `why`, when the plug-in failed; `out` then holds nothing useful.
bool RenderFrame(RenderRun *run, const Settings &settings, uint8_t *out, std::string &why);

// Ends the run and frees it; nullptr is ignored.
void EndRun(RenderRun *run);

}  // namespace qvfrei0r

#endif
