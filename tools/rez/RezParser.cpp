// Parser of the resource source language (see RezParser.h).
#include "RezParser.h"

#include <cctype>
#include <cstdlib>
#include <set>
#include <stdexcept>
#include <utility>

#include "corefoundation/CFString.h"

namespace {

struct ParseError : std::runtime_error {
    ParseError(int line, const std::string &message) : std::runtime_error(message), line(line) {}
    int line;
};

// Mac Roman bytes of UTF-8 text; throws when a character has none.
std::string ToMacRoman(const std::string &utf8, int line) {
    if (utf8.empty()) return {};
    CFStringRef s = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(utf8.data()),
                                            static_cast<CFIndex>(utf8.size()), kCFStringEncodingUTF8, false);
    if (!s) throw ParseError(line, "text is not valid UTF-8");
    std::string out(static_cast<size_t>(CFStringGetLength(s)) + 1, '\0');
    Boolean ok = CFStringGetCString(s, out.data(), static_cast<CFIndex>(out.size()), kCFStringEncodingMacRoman);
    CFRelease(s);
    if (!ok) throw ParseError(line, "\"" + utf8 + "\" has a character Mac Roman cannot represent");
    out.resize(out.size() - 1);
    return out;
}

class Parser {
public:
    explicit Parser(const std::string &text) : mText(text) {}

    std::vector<RezResource> Parse() {
        std::vector<RezResource> out;
        std::set<std::pair<ResType, SInt16>> seen;
        while (SkipSpace(), mPos < mText.size()) {
            int line = mLine;
            if (Word() != "resource") throw ParseError(line, "expected 'resource'");
            RezResource r;
            r.type = Type();
            r.id = Id();
            SkipSpace();
            if (Peek() == '"') {
                r.name = String();
                r.hasName = true;
            }
            Expect('{');
            r.data = Body(r.type, line);
            if (!seen.insert({r.type, r.id}).second)
                throw ParseError(line, "resource " + TypeText(r.type) + " " + std::to_string(r.id) + " appears twice");
            out.push_back(std::move(r));
        }
        return out;
    }

private:
    static std::string TypeText(ResType t) {
        return std::string{'\'', char(t >> 24), char(t >> 16), char(t >> 8), char(t), '\''};
    }

    char Peek() const { return mPos < mText.size() ? mText[mPos] : '\0'; }

    void SkipSpace() {
        while (mPos < mText.size()) {
            char c = mText[mPos];
            if (c == '#') {
                while (mPos < mText.size() && mText[mPos] != '\n') ++mPos;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                if (c == '\n') ++mLine;
                ++mPos;
            } else {
                break;
            }
        }
    }

    void Expect(char c) {
        SkipSpace();
        if (Peek() != c) throw ParseError(mLine, std::string("expected '") + c + "'");
        ++mPos;
    }

    std::string Word() {
        SkipSpace();
        size_t start = mPos;
        while (std::isalpha(static_cast<unsigned char>(Peek()))) ++mPos;
        return mText.substr(start, mPos - start);
    }

    ResType Type() {
        Expect('\'');
        std::string bytes;
        while (mPos < mText.size() && mText[mPos] != '\'' && mText[mPos] != '\n') bytes += mText[mPos++];
        if (Peek() != '\'') throw ParseError(mLine, "unterminated resource type");
        ++mPos;
        std::string mac = ToMacRoman(bytes, mLine);
        if (mac.size() != 4) throw ParseError(mLine, "a resource type has four characters");
        return QV_FOURCC(mac[0], mac[1], mac[2], mac[3]);
    }

    SInt16 Id() {
        SkipSpace();
        size_t start = mPos;
        if (Peek() == '-') ++mPos;
        while (std::isdigit(static_cast<unsigned char>(Peek()))) ++mPos;
        std::string digits = mText.substr(start, mPos - start);
        if (digits.empty() || digits == "-") throw ParseError(mLine, "expected a resource ID");
        long v = digits.size() > 7 ? 99999 : std::strtol(digits.c_str(), nullptr, 10);
        if (v < -32768 || v > 32767) throw ParseError(mLine, "resource ID " + digits + " is out of range");
        return static_cast<SInt16>(v);
    }

    // A string literal, converted to Mac Roman (at most 255 bytes).
    std::string String() {
        Expect('"');
        int line = mLine;
        std::string out, text;
        auto flush = [&] {
            out += ToMacRoman(text, line);
            text.clear();
        };
        while (true) {
            if (mPos >= mText.size() || mText[mPos] == '\n') throw ParseError(line, "unterminated string");
            char c = mText[mPos++];
            if (c == '"') break;
            if (c != '\\') {
                text += c;
                continue;
            }
            char e = Peek();
            ++mPos;
            switch (e) {
            case '"': text += '"'; break;
            case '\\': text += '\\'; break;
            case 'n': text += '\n'; break;
            case 'r': text += '\r'; break;
            case 't': text += '\t'; break;
            case 'x': {
                if (mPos + 2 > mText.size() || !std::isxdigit(static_cast<unsigned char>(mText[mPos])) ||
                    !std::isxdigit(static_cast<unsigned char>(mText[mPos + 1])))
                    throw ParseError(line, "\\x needs two hex digits");
                flush();
                out += static_cast<char>(std::strtol(mText.substr(mPos, 2).c_str(), nullptr, 16));
                mPos += 2;
                break;
            }
            default: throw ParseError(line, std::string("unknown escape \\") + e);
            }
        }
        flush();
        if (out.size() > 255) throw ParseError(line, "a string holds at most 255 bytes");
        return out;
    }

    std::string Hex() {
        Expect('"');
        int line = mLine;
        std::string out, digits;
        while (Peek() != '"') {
            if (mPos >= mText.size() || Peek() == '\n') throw ParseError(line, "unterminated hex block");
            char c = mText[mPos++];
            if (std::isspace(static_cast<unsigned char>(c))) continue;
            if (!std::isxdigit(static_cast<unsigned char>(c))) throw ParseError(line, "bad hex digit");
            digits += c;
        }
        ++mPos;
        if (digits.size() % 2) throw ParseError(line, "odd number of hex digits");
        for (size_t i = 0; i < digits.size(); i += 2)
            out += static_cast<char>(std::strtol(digits.substr(i, 2).c_str(), nullptr, 16));
        return out;
    }

    std::string Body(ResType type, int line) {
        std::vector<std::string> strings;
        std::string raw;
        while (SkipSpace(), Peek() != '}') {
            if (mPos >= mText.size()) throw ParseError(line, "resource body is not closed");
            if (Peek() == '"') {
                strings.push_back(String());
                raw += strings.back();
            } else if (Word() == "hex") {
                if (type == QV_FOURCC('S', 'T', 'R', '#') || type == QV_FOURCC('S', 'T', 'R', ' '))
                    throw ParseError(mLine, "string resources hold strings only");
                raw += Hex();
            } else {
                throw ParseError(mLine, "expected a string or 'hex'");
            }
        }
        ++mPos;
        if (type == QV_FOURCC('S', 'T', 'R', '#')) {
            if (strings.size() > 0x7FFF) throw ParseError(line, "too many strings");
            std::string out{static_cast<char>(strings.size() >> 8), static_cast<char>(strings.size())};
            for (auto &s : strings) out += static_cast<char>(s.size()) + s;
            return out;
        }
        if (type == QV_FOURCC('S', 'T', 'R', ' ')) {
            if (strings.size() != 1) throw ParseError(line, "'STR ' holds exactly one string");
            return static_cast<char>(strings[0].size()) + strings[0];
        }
        return raw;
    }

    const std::string &mText;
    size_t mPos = 0;
    int mLine = 1;
};

} // namespace

RezResult ParseRezSource(const std::string &text) {
    RezResult result;
    try {
        result.resources = Parser(text).Parse();
    } catch (const ParseError &e) {
        result.resources.clear();
        result.errorLine = e.line;
        result.error = e.what();
    }
    return result;
}
