// Commands.h: the commands of quelvane-host (info, render, still, settings) as
// functions over parsed options. Each loads the plug-in, drives it through
// its entry point exactly as an editor would, and throws HostError with a
// one-line message and the exit status when something fails; on success it
// returns normally. The output file is complete or absent.
#ifndef QUELVANE_EDITOR_COMMANDS_H
#define QUELVANE_EDITOR_COMMANDS_H

#include "HostSession.h"

#include <cstdint>
#include <string>

namespace qvhost {

struct CommandOptions {
    std::string plugin;        // bundle or library; empty: DefaultBundlePath()
    std::string input;         // empty: the built-in demo clip
    std::string output;
    int64_t start = 0;         // first frame of the clip
    int64_t frames = -1;       // frame count; -1: to the end
    FilterSettings filter;
    bool proxy = false;
    int width = 0;             // 0: the clip's own size
    int height = 0;
    int crf = 18;
    std::string preset = "medium";
    int32_t thumbOffset = 0;   // still: bestThumbOffset
    bool quiet = false;
    int32_t frame = 0;         // settings: the frame the window opens on, from --start
    std::string script;        // settings: the user's actions (headless front end)
};

void RunInfo(const CommandOptions &options);
void RunRender(const CommandOptions &options);
void RunStill(const CommandOptions &options);
// The settings window, as an editor opens it when the user presses the
// filter's button: a preview render of frame `frame`, then the custom-button
// request. With a script (required without a display) the toolbox's
// headless front end plays it; a script that could not be played as written
// is an error (kExitRenderFailed).
void RunSettings(const CommandOptions &options);

}  // namespace qvhost

#endif
