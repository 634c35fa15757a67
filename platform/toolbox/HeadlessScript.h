// HeadlessScript.h: the script of user actions that the headless front end
// plays (internal to the platform library): its actions as parsed, and the
// parser, which checks a whole script before anything is played. The format
// is described in platform/toolbox/HeadlessScripts.md.
#ifndef QUELVANE_HEADLESSSCRIPT_H
#define QUELVANE_HEADLESSSCRIPT_H

#include "MacTypes.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace qvtb {

enum class Verb { Set, Click, Choose, Type, Command, Keys, Alert, Color, File, Show, Save, Expect };

struct Action {
    Verb verb;
    int line = 0;
    UInt32 signature = 0;
    SInt32 id = 0;
    std::vector<std::string> args; // the words after the control (or after the verb)
    std::vector<bool> quoted;
};

// Parses a whole script; false with "line N: reason" in error, and nothing
// in out, when any line cannot be understood. Every argument a verb needs
// is checked here, so a parsed script never fails half-way over a typo.
bool ParseScript(std::string_view text, std::deque<Action> &out, std::string &error);

} // namespace qvtb

#endif // QUELVANE_HEADLESSSCRIPT_H
