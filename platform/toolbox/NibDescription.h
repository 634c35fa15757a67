// NibDescription.h: the window-description format of the toolbox stand-in
// (internal to the platform library): what a parsed nib file holds, and the
// parser that checks a whole file before anything is made from it.
//
// The format (platform/toolbox/WindowDescriptions.md has the full text):
//
//   # comment to the end of the line
//   window NAME
//       title TEXT
//       bounds TOP LEFT BOTTOM RIGHT        content rectangle, global
//       centered                            first shown centred on its parent
//       control KIND
//           id SIG NUMBER                   control ID
//           bounds TOP LEFT BOTTOM RIGHT    in window coordinates
//           ...properties of the kind...
//       end
//   end
//
// Words are separated by blanks or line ends; a text holding blanks is
// written in double quotes (\" and \\ inside). Kinds: pushbutton, slider,
// popup, checkbox, statictext, edittext, groupbox, custom. Properties:
// title TEXT, text TEXT, value N, minimum N, maximum N, command SIG,
// item TEXT (popups, repeated), class TEXT (custom, required), hidden,
// disabled, live (sliders: action procedure and value follow the drag),
// default and cancel (push buttons: Return and Escape).
//
// The parser refuses, with the line and the reason: unknown words, a
// property the kind does not have or given twice, missing bounds or class,
// reversed or out-of-range rectangles, values outside their range, a
// signature that is not four characters, two controls with the same ID or
// two windows with the same name, unterminated texts or blocks, and files or
// texts beyond the stated limits.
#ifndef QUELVANE_NIBDESCRIPTION_H
#define QUELVANE_NIBDESCRIPTION_H

#include "MacTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace qvtb {

enum class ControlType { PushButton, Slider, Popup, CheckBox, StaticText, EditText, GroupBox, Custom };

struct ControlDescription {
    ControlType type = ControlType::PushButton;
    UInt32 signature = 0;
    SInt32 id = 0;
    Rect bounds{0, 0, 0, 0};
    std::string title, text, classID;
    std::vector<std::string> items;
    SInt32 value = 0, minimum = 0, maximum = 0;
    UInt32 command = 0;
    bool hidden = false, disabled = false, live = false, isDefault = false, isCancel = false;
    int line = 0;
};

struct WindowDescription {
    std::string name, title;
    Rect bounds{0, 0, 0, 0};
    bool centered = false;
    std::vector<ControlDescription> controls;
    int line = 0;
};

struct NibDescription {
    std::vector<WindowDescription> windows;
    const WindowDescription *find(std::string_view name) const;
};

// Limits of a description.
constexpr size_t kMaxDescriptionBytes = 1 << 20;
constexpr size_t kMaxWindows = 100;
constexpr size_t kMaxControls = 1000;
constexpr size_t kMaxItems = 1000;
constexpr size_t kMaxText = 255;
constexpr int kMaxWindowSide = 4000;

// Words of a description or script: bare words, or texts in double quotes.
struct Token {
    std::string text;
    bool quoted = false;
    int line = 0;
};
// Splits text into tokens ("#" to the end of a line is a comment); false with
// "line N: reason" in error for an unterminated or badly escaped text, a
// text longer than kMaxText or a control character outside a text.
bool Tokenize(std::string_view text, std::vector<Token> &out, std::string &error);
// A four-character code from its text (exactly four bytes).
bool ParseFourCC(const std::string &text, UInt32 &out);
// A signed decimal number that fits 32 bits.
bool ParseNumber(const std::string &text, SInt32 &out);

// Parses a whole description; false with "line N: reason" in error.
bool ParseNibDescription(std::string_view text, NibDescription &out, std::string &error);

} // namespace qvtb

#endif // QUELVANE_NIBDESCRIPTION_H
