// URLs: the text of a URL (percent-encoded) and an optional base URL. File
// URLs convert to and from Linux paths and file references.
#include "corefoundation/CFURL.h"

#include <sys/stat.h>

#include <strings.h>

#include <cctype>
#include <cstring>
#include <new>

#include "corefoundation/CFInternal.h"
#include "resources/FilesInternal.h"

struct __CFURL : CFRuntimeBase {
    CFStringRef string = nullptr; // owned
    CFURLRef base = nullptr;      // retained
    std::string text;             // UTF-8 (ASCII) copy of string
};

namespace {

using qv::cf::NewString;
using qv::cf::StringFromUTF8;
using qv::cf::ToUTF8;

void FinalizeURL(CFRuntimeBase *object) {
    auto *url = static_cast<__CFURL *>(object);
    if (url->string) CFRelease(url->string);
    if (url->base) CFRelease(url->base);
    delete url;
}

const __CFURL *AsURL(CFURLRef u) { return static_cast<const __CFURL *>(CFRuntimeCast(u, kQVTypeIDURL)); }

// The five parts of a URL reference (RFC 3986, appendix B).
struct Parts {
    bool hasScheme = false, hasAuthority = false, hasQuery = false, hasFragment = false;
    std::string scheme, authority, path, query, fragment;
};

Parts Split(const std::string &s) {
    Parts p;
    size_t i = 0;
    size_t colon = s.find(':');
    size_t firstDelim = s.find_first_of("/?#");
    if (colon != std::string::npos && colon > 0 && (firstDelim == std::string::npos || colon < firstDelim)) {
        bool ok = std::isalpha(static_cast<unsigned char>(s[0]));
        for (size_t k = 1; k < colon && ok; ++k) {
            char c = s[k];
            ok = std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        }
        if (ok) {
            p.hasScheme = true;
            p.scheme = s.substr(0, colon);
            i = colon + 1;
        }
    }
    if (s.compare(i, 2, "//") == 0) {
        size_t end = s.find_first_of("/?#", i + 2);
        if (end == std::string::npos) end = s.size();
        p.hasAuthority = true;
        p.authority = s.substr(i + 2, end - i - 2);
        i = end;
    }
    size_t end = s.find_first_of("?#", i);
    if (end == std::string::npos) end = s.size();
    p.path = s.substr(i, end - i);
    i = end;
    if (i < s.size() && s[i] == '?') {
        end = s.find('#', i);
        if (end == std::string::npos) end = s.size();
        p.hasQuery = true;
        p.query = s.substr(i + 1, end - i - 1);
        i = end;
    }
    if (i < s.size() && s[i] == '#') {
        p.hasFragment = true;
        p.fragment = s.substr(i + 1);
    }
    return p;
}

std::string Join(const Parts &p) {
    std::string s;
    if (p.hasScheme) s += p.scheme + ":";
    if (p.hasAuthority) s += "//" + p.authority;
    s += p.path;
    if (p.hasQuery) s += "?" + p.query;
    if (p.hasFragment) s += "#" + p.fragment;
    return s;
}

// RFC 3986, 5.2.4.
std::string RemoveDotSegments(std::string in) {
    std::string out;
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.erase(0, 3);
        } else if (in.starts_with("./")) {
            in.erase(0, 2);
        } else if (in.starts_with("/./")) {
            in.erase(0, 2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../") || in == "/..") {
            in = in == "/.." ? "/" : in.substr(3);
            size_t slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (in == "." || in == "..") {
            in.clear();
        } else {
            size_t next = in.find('/', in[0] == '/' ? 1 : 0);
            if (next == std::string::npos) next = in.size();
            out += in.substr(0, next);
            in.erase(0, next);
        }
    }
    return out;
}

// RFC 3986, 5.2.2.
std::string Resolve(const std::string &baseText, const std::string &refText) {
    Parts b = Split(baseText), r = Split(refText), t;
    if (r.hasScheme) {
        t = r;
        t.path = RemoveDotSegments(r.path);
    } else {
        if (r.hasAuthority) {
            t = r;
            t.path = RemoveDotSegments(r.path);
        } else {
            if (r.path.empty()) {
                t.path = b.path;
                t.hasQuery = r.hasQuery ? true : b.hasQuery;
                t.query = r.hasQuery ? r.query : b.query;
            } else {
                if (r.path[0] == '/') {
                    t.path = RemoveDotSegments(r.path);
                } else {
                    std::string merged;
                    if (b.hasAuthority && b.path.empty()) {
                        merged = "/" + r.path;
                    } else {
                        size_t slash = b.path.rfind('/');
                        merged = (slash == std::string::npos ? "" : b.path.substr(0, slash + 1)) + r.path;
                    }
                    t.path = RemoveDotSegments(merged);
                }
                t.hasQuery = r.hasQuery;
                t.query = r.query;
            }
            t.hasAuthority = b.hasAuthority;
            t.authority = b.authority;
        }
        t.hasScheme = b.hasScheme;
        t.scheme = b.scheme;
    }
    t.hasFragment = r.hasFragment;
    t.fragment = r.fragment;
    return Join(t);
}

// The absolute text of a URL (its own text resolved against its bases).
std::string AbsoluteText(const __CFURL *u) {
    if (!u->base) return u->text;
    return Resolve(AbsoluteText(AsURL(u->base)), u->text);
}

bool IsUnreserved(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

// Percent-encodes a path: everything but the unreserved characters, "/",
// ":", "@" and the sub-delimiters.
std::string EncodePath(std::string_view path) {
    static const char *kHex = "0123456789ABCDEF";
    std::string out;
    for (char ch : path) {
        auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c) || (c != 0 && std::strchr("/!$&'()*+,;=:@", c))) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes %XX escapes; nullopt for a bad escape.
std::optional<std::string> Decode(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out.push_back(s[i]);
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

// Whether text is a URL reference made only of RFC 3986 characters with
// well-formed escapes.
bool IsValidURLText(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c == '%') {
            if (i + 2 >= s.size() || HexValue(s[i + 1]) < 0 || HexValue(s[i + 2]) < 0) return false;
            i += 2;
        } else if (c == 0 || (!IsUnreserved(c) && !std::strchr(":/?#[]@!$&'()*+,;=", c))) {
            return false;
        }
    }
    return true;
}

CFURLRef NewURL(std::string text, CFURLRef base) {
    auto *u = new (std::nothrow) __CFURL;
    if (!u) return nullptr;
    CFRuntimeInit(u, kQVTypeIDURL, FinalizeURL);
    u->string = StringFromUTF8(text);
    if (!u->string) {
        CFRelease(u);
        return nullptr;
    }
    u->text = std::move(text);
    if (base) u->base = static_cast<CFURLRef>(CFRetain(base));
    return u;
}

// A file URL for an absolute path.
CFURLRef NewFileURL(std::string path, bool isDirectory) {
    if (path.empty()) return nullptr;
    if (path[0] != '/') {
        std::string cwd = qv::files::NormalizePath(".");
        if (cwd.empty()) return nullptr;
        path = (cwd == "/" ? "" : cwd) + "/" + path;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (isDirectory && path != "/") path.push_back('/');
    return NewURL("file://" + EncodePath(path), nullptr);
}

// The decoded path of a file URL (absolute text), or nullopt.
std::optional<std::string> FilePath(const std::string &absolute) {
    Parts p = Split(absolute);
    if (!p.hasScheme || p.scheme.size() != 4 || strncasecmp(p.scheme.c_str(), "file", 4) != 0) return std::nullopt;
    if (p.hasAuthority && !p.authority.empty() && strcasecmp(p.authority.c_str(), "localhost") != 0)
        return std::nullopt;
    auto path = Decode(p.path);
    if (!path || path->empty() || (*path)[0] != '/' || path->find('\0') != std::string::npos) return std::nullopt;
    while (path->size() > 1 && path->back() == '/') path->pop_back();
    return path;
}

template <typename F> auto Guard(F &&f) -> decltype(f()) {
    try {
        return f();
    } catch (const std::bad_alloc &) {
        return {};
    }
}

} // namespace

namespace qv::cf {

bool URLEqual(CFTypeRef a, CFTypeRef b) {
    const __CFURL *x = AsURL(static_cast<CFURLRef>(a));
    const __CFURL *y = AsURL(static_cast<CFURLRef>(b));
    if (!x || !y) return false;
    if (x->text != y->text) return false;
    if (!x->base || !y->base) return x->base == y->base;
    return CFEqual(x->base, y->base);
}

} // namespace qv::cf

extern "C" {

CFTypeID CFURLGetTypeID(void) { return kQVTypeIDURL; }

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory) {
    if (pathStyle != kCFURLPOSIXPathStyle || !qv::cf::AsString(filePath)) return nullptr;
    return Guard([&]() -> CFURLRef { return NewFileURL(ToUTF8(filePath), isDirectory); });
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8 *buffer, CFIndex bufLen,
                                                 Boolean isDirectory) {
    if (!buffer || bufLen <= 0) return nullptr;
    return Guard([&]() -> CFURLRef {
        std::string path(reinterpret_cast<const char *>(buffer), static_cast<size_t>(bufLen));
        path = path.substr(0, path.find('\0'));
        return NewFileURL(path, isDirectory);
    });
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef, const FSRef *fsRef) {
    if (!fsRef) return nullptr;
    return Guard([&]() -> CFURLRef {
        auto path = qv::files::PathOfRef(*fsRef);
        if (!path) return nullptr;
        struct stat st;
        bool dir = ::stat(path->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        return NewFileURL(*path, dir);
    });
}

Boolean CFURLGetFSRef(CFURLRef url, FSRef *fsRef) {
    const __CFURL *u = AsURL(url);
    if (!u || !fsRef) return false;
    return Guard([&]() -> bool {
        auto path = FilePath(AbsoluteText(u));
        if (!path) return false;
        return qv::files::RefOfPath(qv::files::NormalizePath(*path), *fsRef) == noErr;
    });
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8 *buffer,
                                         CFIndex maxBufLen) {
    const __CFURL *u = AsURL(url);
    if (!u || !buffer || maxBufLen <= 0) return false;
    return Guard([&]() -> bool {
        std::optional<std::string> path;
        if (u->base && !resolveAgainstBase) {
            path = Decode(Split(u->text).path);
            if (path && path->find('\0') != std::string::npos) path.reset();
        } else {
            path = FilePath(AbsoluteText(u));
        }
        if (!path || static_cast<CFIndex>(path->size()) >= maxBufLen) return false;
        std::memcpy(buffer, path->c_str(), path->size() + 1);
        return true;
    });
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle) {
    const __CFURL *u = AsURL(anURL);
    if (!u || pathStyle != kCFURLPOSIXPathStyle) return nullptr;
    return Guard([&]() -> CFStringRef {
        auto path = FilePath(AbsoluteText(u));
        if (!path) return nullptr;
        CFStringRef s = StringFromUTF8(*path);
        // A path that is not UTF-8 is shown byte for byte.
        return s ? s : CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(path->data()),
                                               static_cast<CFIndex>(path->size()), kCFStringEncodingMacRoman, false);
    });
}

CFURLRef CFURLCreateWithString(CFAllocatorRef, CFStringRef URLString, CFURLRef baseURL) {
    if (!qv::cf::AsString(URLString) || (baseURL && !AsURL(baseURL))) return nullptr;
    return Guard([&]() -> CFURLRef {
        auto chars = qv::cf::EncodeUTF8(qv::cf::AsString(URLString)->chars);
        if (!chars || !IsValidURLText(*chars)) return nullptr;
        return NewURL(*chars, baseURL);
    });
}

CFStringRef CFURLGetString(CFURLRef anURL) {
    const __CFURL *u = AsURL(anURL);
    return u ? u->string : nullptr;
}

CFURLRef CFURLGetBaseURL(CFURLRef anURL) {
    const __CFURL *u = AsURL(anURL);
    return u ? u->base : nullptr;
}

CFURLRef CFURLCopyAbsoluteURL(CFURLRef relativeURL) {
    const __CFURL *u = AsURL(relativeURL);
    if (!u) return nullptr;
    if (!u->base) return static_cast<CFURLRef>(CFRetain(relativeURL));
    return Guard([&]() -> CFURLRef { return NewURL(AbsoluteText(u), nullptr); });
}

CFStringRef CFURLCopyScheme(CFURLRef anURL) {
    const __CFURL *u = AsURL(anURL);
    if (!u) return nullptr;
    return Guard([&]() -> CFStringRef {
        Parts p = Split(AbsoluteText(u));
        return p.hasScheme ? StringFromUTF8(p.scheme) : nullptr;
    });
}

CFStringRef CFURLCopyLastPathComponent(CFURLRef url) {
    const __CFURL *u = AsURL(url);
    if (!u) return nullptr;
    return Guard([&]() -> CFStringRef {
        std::string path = Split(AbsoluteText(u)).path;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        size_t slash = path.rfind('/');
        std::string last = path == "/" ? path : (slash == std::string::npos ? path : path.substr(slash + 1));
        auto decoded = Decode(last);
        if (!decoded) return nullptr;
        CFStringRef s = StringFromUTF8(*decoded);
        return s ? s : StringFromUTF8(last);
    });
}

CFStringRef CFURLCopyPathExtension(CFURLRef url) {
    CFStringRef last = CFURLCopyLastPathComponent(url);
    if (!last) return nullptr;
    CFStringRef ext = Guard([&]() -> CFStringRef {
        const std::u16string &chars = qv::cf::AsString(last)->chars;
        size_t dot = chars.rfind(u'.');
        if (dot == std::u16string::npos || dot == 0 || dot + 1 == chars.size()) return nullptr;
        return NewString(chars.substr(dot + 1));
    });
    CFRelease(last);
    return ext;
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url, CFStringRef pathComponent,
                                               Boolean isDirectory) {
    const __CFURL *u = AsURL(url);
    if (!u || !qv::cf::AsString(pathComponent)) return nullptr;
    return Guard([&]() -> CFURLRef {
        Parts p = Split(AbsoluteText(u));
        if (p.path.empty() || p.path.back() != '/') p.path.push_back('/');
        p.path += EncodePath(ToUTF8(pathComponent));
        if (isDirectory && p.path.back() != '/') p.path.push_back('/');
        return NewURL(Join(p), nullptr);
    });
}

CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef, CFURLRef url) {
    const __CFURL *u = AsURL(url);
    if (!u) return nullptr;
    return Guard([&]() -> CFURLRef {
        Parts p = Split(AbsoluteText(u));
        std::string path = p.path;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        size_t slash = path.rfind('/');
        p.path = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
        p.hasQuery = p.hasFragment = false;
        return NewURL(Join(p), nullptr);
    });
}

Boolean CFURLHasDirectoryPath(CFURLRef anURL) {
    const __CFURL *u = AsURL(anURL);
    if (!u) return false;
    std::string path = Split(u->text).path;
    return !path.empty() && path.back() == '/';
}

} // extern "C"
