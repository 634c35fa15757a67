// NibDescription.cpp: tokenizer and parser of window descriptions. The whole
// file is checked before a single window is made from it, so a damaged
// description never yields half a window.
#include "toolbox/NibDescription.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <set>

namespace qvtb {

const WindowDescription *NibDescription::find(std::string_view name) const
{
    for (const WindowDescription &w : windows)
        if (w.name == name)
            return &w;
    return nullptr;
}

namespace {

std::string At(int line, const std::string &reason)
{
    return "line " + std::to_string(line) + ": " + reason;
}

bool IsWordByte(unsigned char c)
{
    return c > ' ' && c != '"' && c != '#' && c != 127;
}

} // namespace

bool Tokenize(std::string_view text, std::vector<Token> &out, std::string &error)
{
    out.clear();
    int line = 1;
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else if (c == '"') {
            Token t;
            t.quoted = true;
            t.line = line;
            ++i;
            bool closed = false;
            while (i < text.size()) {
                char d = text[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == '\n') {
                    error = At(line, "text not closed before the end of the line");
                    return false;
                }
                if (d == '\\') {
                    if (i + 1 >= text.size()) {
                        error = At(line, "text not closed before the end of the file");
                        return false;
                    }
                    char e = text[i + 1];
                    if (e == '"' || e == '\\')
                        t.text.push_back(e);
                    else if (e == 'n')
                        t.text.push_back('\n');
                    else {
                        error = At(line, std::string("unknown escape \\") + (e >= ' ' && e < 127 ? std::string(1, e) : "?"));
                        return false;
                    }
                    i += 2;
                } else {
                    t.text.push_back(d);
                    ++i;
                }
                if (t.text.size() > kMaxText) {
                    error = At(line, "text longer than " + std::to_string(kMaxText) + " bytes");
                    return false;
                }
            }
            if (!closed) {
                error = At(line, "text not closed before the end of the file");
                return false;
            }
            out.push_back(std::move(t));
        } else if (IsWordByte(c)) {
            Token t;
            t.line = line;
            while (i < text.size() && IsWordByte(static_cast<unsigned char>(text[i]))) {
                t.text.push_back(text[i]);
                ++i;
                if (t.text.size() > kMaxText) {
                    error = At(line, "word longer than " + std::to_string(kMaxText) + " bytes");
                    return false;
                }
            }
            out.push_back(std::move(t));
        } else {
            error = At(line, "unexpected control character");
            return false;
        }
    }
    return true;
}

bool ParseFourCC(const std::string &text, UInt32 &out)
{
    if (text.size() != 4)
        return false;
    out = QV_FOURCC(text[0], text[1], text[2], text[3]);
    return true;
}

bool ParseNumber(const std::string &text, SInt32 &out)
{
    if (text.empty() || text.size() > 12)
        return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size())
        return false;
    for (size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9')
            return false;
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (errno != 0 || v < INT32_MIN || v > INT32_MAX)
        return false;
    out = static_cast<SInt32>(v);
    return true;
}

namespace {

struct Parser {
    const std::vector<Token> &tokens;
    size_t pos = 0;
    std::string error;

    bool atEnd() const { return pos >= tokens.size(); }
    int line() const
    {
        if (tokens.empty())
            return 1;
        return pos < tokens.size() ? tokens[pos].line : tokens.back().line;
    }
    bool fail(const std::string &reason)
    {
        if (error.empty())
            error = At(line(), reason);
        return false;
    }
    bool next(std::string &out, const char *what)
    {
        if (atEnd())
            return fail(std::string("missing ") + what + " at the end of the file");
        out = tokens[pos++].text;
        return true;
    }
    // A bare keyword (quoted texts are never keywords).
    bool peekKeyword(const char *word) const
    {
        return !atEnd() && !tokens[pos].quoted && tokens[pos].text == word;
    }
    bool number(SInt32 &out, const char *what)
    {
        std::string t;
        if (!next(t, what))
            return false;
        if (!ParseNumber(t, out)) {
            --pos;
            return fail(std::string(what) + " must be a whole number that fits 32 bits, not \"" + t + "\"");
        }
        return true;
    }
    bool coordinate(SInt16 &out)
    {
        SInt32 v;
        if (!number(v, "coordinate"))
            return false;
        if (v < -32768 || v > 32767) {
            --pos;
            return fail("coordinate outside -32768..32767");
        }
        out = static_cast<SInt16>(v);
        return true;
    }
    bool rect(Rect &r)
    {
        if (!coordinate(r.top) || !coordinate(r.left) || !coordinate(r.bottom) || !coordinate(r.right))
            return false;
        if (r.bottom < r.top || r.right < r.left) {
            --pos;
            return fail("bounds must be top left bottom right with bottom >= top and right >= left");
        }
        return true;
    }
    bool fourcc(UInt32 &out, const char *what)
    {
        std::string t;
        if (!next(t, what))
            return false;
        if (!ParseFourCC(t, out)) {
            --pos;
            return fail(std::string(what) + " must be four characters (quote it when it holds blanks), not \"" + t +
                        "\"");
        }
        return true;
    }
};

bool TypeFromWord(const std::string &w, ControlType &t)
{
    static const struct {
        const char *word;
        ControlType type;
    } kinds[] = {{"pushbutton", ControlType::PushButton}, {"slider", ControlType::Slider},
                 {"popup", ControlType::Popup},           {"checkbox", ControlType::CheckBox},
                 {"statictext", ControlType::StaticText}, {"edittext", ControlType::EditText},
                 {"groupbox", ControlType::GroupBox},     {"custom", ControlType::Custom}};
    for (const auto &k : kinds)
        if (w == k.word) {
            t = k.type;
            return true;
        }
    return false;
}

bool HasValue(ControlType t)
{
    return t == ControlType::Slider || t == ControlType::Popup || t == ControlType::CheckBox ||
           t == ControlType::Custom;
}

bool ParseControl(Parser &p, ControlDescription &c)
{
    c.line = p.line();
    std::string kindWord;
    if (!p.next(kindWord, "control kind"))
        return false;
    if (!TypeFromWord(kindWord, c.type)) {
        --p.pos;
        return p.fail("unknown control kind \"" + kindWord +
                      "\" (pushbutton, slider, popup, checkbox, statictext, edittext, groupbox, custom)");
    }
    std::set<std::string> seen;
    bool hasBounds = false, hasValue = false, hasMin = false, hasMax = false;
    const ControlType t = c.type;
    while (true) {
        if (p.atEnd())
            return p.fail("control not closed with \"end\"");
        const Token &tok = p.tokens[p.pos];
        if (tok.quoted)
            return p.fail("expected a property of the control, found the text \"" + tok.text + "\"");
        std::string word = tok.text;
        ++p.pos;
        if (word == "end")
            break;
        if (word != "item" && !seen.insert(word).second) {
            --p.pos;
            return p.fail("property \"" + word + "\" given twice");
        }
        auto refuse = [&]() {
            --p.pos;
            return p.fail("a " + kindWord + " has no property \"" + word + "\"");
        };
        if (word == "id") {
            if (!p.fourcc(c.signature, "signature") || !p.number(c.id, "control id"))
                return false;
        } else if (word == "bounds") {
            if (!p.rect(c.bounds))
                return false;
            hasBounds = true;
        } else if (word == "title") {
            if (t == ControlType::StaticText || t == ControlType::EditText || t == ControlType::Custom)
                return refuse();
            if (!p.next(c.title, "title"))
                return false;
        } else if (word == "text") {
            if (t != ControlType::StaticText && t != ControlType::EditText)
                return refuse();
            if (!p.next(c.text, "text"))
                return false;
        } else if (word == "value" || word == "minimum" || word == "maximum") {
            if (!HasValue(t))
                return refuse();
            SInt32 v;
            if (!p.number(v, word.c_str()))
                return false;
            if (word == "value") {
                c.value = v;
                hasValue = true;
            } else if (word == "minimum") {
                c.minimum = v;
                hasMin = true;
            } else {
                c.maximum = v;
                hasMax = true;
            }
        } else if (word == "command") {
            if (!p.fourcc(c.command, "command"))
                return false;
        } else if (word == "item") {
            if (t != ControlType::Popup)
                return refuse();
            std::string item;
            if (!p.next(item, "item text"))
                return false;
            if (c.items.size() >= kMaxItems)
                return p.fail("more than " + std::to_string(kMaxItems) + " items");
            c.items.push_back(item);
        } else if (word == "class") {
            if (t != ControlType::Custom)
                return refuse();
            if (!p.next(c.classID, "class ID"))
                return false;
            if (c.classID.empty())
                return p.fail("empty class ID");
        } else if (word == "hidden") {
            c.hidden = true;
        } else if (word == "disabled") {
            c.disabled = true;
        } else if (word == "live") {
            if (t != ControlType::Slider)
                return refuse();
            c.live = true;
        } else if (word == "default" || word == "cancel") {
            if (t != ControlType::PushButton)
                return refuse();
            (word == "default" ? c.isDefault : c.isCancel) = true;
        } else {
            --p.pos;
            return p.fail("unknown control property \"" + word + "\"");
        }
    }
    int endLine = p.tokens[p.pos - 1].line;
    auto failAt = [&](int line, const std::string &reason) {
        if (p.error.empty())
            p.error = At(line, reason);
        return false;
    };
    if (!hasBounds)
        return failAt(c.line, "control without bounds");
    if (t == ControlType::Custom && c.classID.empty())
        return failAt(c.line, "custom control without class");
    // Default ranges of the kinds.
    if (t == ControlType::CheckBox) {
        if (!hasMax)
            c.maximum = 1;
    } else if (t == ControlType::Popup) {
        if (!hasMin)
            c.minimum = c.items.empty() ? 0 : 1;
        if (!hasMax)
            c.maximum = static_cast<SInt32>(c.items.size());
        if (!hasValue)
            c.value = c.minimum;
    } else if (t == ControlType::Slider) {
        if (!hasMax && !hasMin)
            c.maximum = 100;
    }
    if (!hasValue && HasValue(t) && t != ControlType::Popup)
        c.value = c.minimum < 0 && c.maximum >= 0 ? 0 : c.minimum;
    if (c.minimum > c.maximum)
        return failAt(endLine, "minimum " + std::to_string(c.minimum) + " above maximum " + std::to_string(c.maximum));
    if (c.value < c.minimum || c.value > c.maximum)
        return failAt(endLine, "value " + std::to_string(c.value) + " outside " + std::to_string(c.minimum) + ".." +
                                   std::to_string(c.maximum));
    return true;
}

bool ParseWindow(Parser &p, WindowDescription &w)
{
    w.line = p.line();
    if (!p.next(w.name, "window name"))
        return false;
    if (w.name.empty())
        return p.fail("empty window name");
    bool hasBounds = false, hasTitle = false;
    std::set<std::pair<UInt32, SInt32>> ids;
    while (true) {
        if (p.atEnd())
            return p.fail("window \"" + w.name + "\" not closed with \"end\"");
        const Token &tok = p.tokens[p.pos];
        if (tok.quoted)
            return p.fail("expected a property or control of the window, found the text \"" + tok.text + "\"");
        std::string word = tok.text;
        ++p.pos;
        if (word == "end")
            break;
        if (word == "title") {
            if (hasTitle) {
                --p.pos;
                return p.fail("property \"title\" given twice");
            }
            hasTitle = true;
            if (!p.next(w.title, "title"))
                return false;
        } else if (word == "bounds") {
            if (hasBounds) {
                --p.pos;
                return p.fail("property \"bounds\" given twice");
            }
            int line = p.line();
            if (!p.rect(w.bounds))
                return false;
            hasBounds = true;
            int width = w.bounds.right - w.bounds.left, height = w.bounds.bottom - w.bounds.top;
            if (width < 1 || height < 1 || width > kMaxWindowSide || height > kMaxWindowSide) {
                p.error = At(line, "window size must be 1.." + std::to_string(kMaxWindowSide) + " each way");
                return false;
            }
        } else if (word == "centered") {
            if (w.centered) {
                --p.pos;
                return p.fail("property \"centered\" given twice");
            }
            w.centered = true;
        } else if (word == "control") {
            if (w.controls.size() >= kMaxControls)
                return p.fail("more than " + std::to_string(kMaxControls) + " controls in a window");
            ControlDescription c;
            if (!ParseControl(p, c))
                return false;
            if (c.signature != 0 || c.id != 0) {
                if (!ids.insert({c.signature, c.id}).second) {
                    p.error = At(c.line, "two controls with the ID " +
                                             std::string{char(c.signature >> 24), char(c.signature >> 16),
                                                         char(c.signature >> 8), char(c.signature)} +
                                             " " + std::to_string(c.id));
                    return false;
                }
            }
            w.controls.push_back(std::move(c));
        } else {
            --p.pos;
            return p.fail("unknown window property \"" + word + "\"");
        }
    }
    if (!hasBounds) {
        p.error = At(w.line, "window \"" + w.name + "\" without bounds");
        return false;
    }
    return true;
}

} // namespace

bool ParseNibDescription(std::string_view text, NibDescription &out, std::string &error)
{
    out.windows.clear();
    error.clear();
    if (text.size() > kMaxDescriptionBytes) {
        error = "description larger than " + std::to_string(kMaxDescriptionBytes) + " bytes";
        return false;
    }
    std::vector<Token> tokens;
    if (!Tokenize(text, tokens, error))
        return false;
    Parser p{tokens, 0, {}};
    NibDescription result;
    while (!p.atEnd()) {
        if (!p.peekKeyword("window")) {
            p.fail("expected \"window\", found \"" + tokens[p.pos].text + "\"");
            error = p.error;
            return false;
        }
        ++p.pos;
        if (result.windows.size() >= kMaxWindows) {
            p.fail("more than " + std::to_string(kMaxWindows) + " windows");
            error = p.error;
            return false;
        }
        WindowDescription w;
        if (!ParseWindow(p, w)) {
            error = p.error;
            return false;
        }
        if (result.find(w.name)) {
            error = At(w.line, "two windows named \"" + w.name + "\"");
            return false;
        }
        result.windows.push_back(std::move(w));
    }
    out = std::move(result);
    return true;
}

} // namespace qvtb
