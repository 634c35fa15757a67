// Launch Services over the Linux desktop: xdg-open for default
// applications, a plain process for a named one, item information from the
// file system, and a small table of uniform type identifiers.
#include "toolbox/LaunchServices.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "resources/Files.h"

extern char **environ;

namespace {

// ---- Paths and strings ----

bool PathOfRef(const FSRef *ref, std::string *path) {
    if (!ref) return false;
    std::vector<UInt8> buffer(4096);
    if (FSRefMakePath(ref, buffer.data(), UInt32(buffer.size())) != noErr) return false;
    path->assign(reinterpret_cast<const char *>(buffer.data()));
    return !path->empty();
}

bool Utf8Of(CFStringRef s, std::string *out) {
    if (!s) return false;
    const CFIndex n = QVCFStringGetUTF8(s, nullptr, 0);
    if (n < 0) return false;
    std::vector<char> buffer(size_t(n) + 1);
    QVCFStringGetUTF8(s, buffer.data(), CFIndex(buffer.size()));
    out->assign(buffer.data(), size_t(n));
    return true;
}

CFStringRef MakeString(const std::string &s) {
    return CFStringCreateWithCString(kCFAllocatorDefault, s.c_str(), kCFStringEncodingUTF8);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

std::string LastComponent(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The extension of a name: after the last dot, not for a leading dot only
// (".profile") nor for a trailing dot ("name.").
std::string ExtensionOf(const std::string &name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return std::string();
    return name.substr(dot + 1);
}

// ---- Launching ----

std::mutex gHookMutex;
QVLSLaunchProcPtr gHook = nullptr;
void *gHookRefCon = nullptr;

OSStatus Spawn(const std::vector<std::string> &argv) {
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return kLSApplicationNotFoundErr;
    // The launched program is not waited for; a helper reaps it when it ends.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return noErr;
}

// Launches (or records) one program run: the application with the document,
// or the desktop's default application for the document.
OSStatus Launch(const char *document, const char *application) {
    {
        std::lock_guard<std::mutex> lock(gHookMutex);
        if (gHook) return gHook(document, application, gHookRefCon);
    }
    if (const char *log = std::getenv("QUELVANE_LAUNCH_LOG"); log && *log) {
        FILE *f = std::fopen(log, "a");
        if (!f) return kLSUnknownErr;
        std::fprintf(f, "%s\t%s\n", application ? application : "", document ? document : "");
        return std::fclose(f) == 0 ? OSStatus(noErr) : OSStatus(kLSUnknownErr);
    }
    std::vector<std::string> argv;
    if (application) {
        argv.push_back(application);
        if (document) argv.push_back(document);
    } else {
        argv = {"xdg-open", document ? document : ""};
    }
    return Spawn(argv);
}

bool IsExecutableFile(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// ---- File types from the first bytes ----

OSType SniffFileType(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return kLSUnknownType;
    unsigned char h[8] = {};
    const size_t n = std::fread(h, 1, sizeof h, f);
    std::fclose(f);
    auto starts = [&](const char *magic, size_t len) { return n >= len && std::memcmp(h, magic, len) == 0; };
    if (starts("\x89PNG\r\n\x1a\n", 8)) return QV_FOURCC('P', 'N', 'G', 'f');
    if (starts("\xFF\xD8\xFF", 3)) return QV_FOURCC('J', 'P', 'E', 'G');
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return QV_FOURCC('G', 'I', 'F', 'f');
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return QV_FOURCC('T', 'I', 'F', 'F');
    if (starts("BM", 2)) return QV_FOURCC('B', 'M', 'P', 'f');
    if (starts("%PDF", 4)) return QV_FOURCC('P', 'D', 'F', ' ');
    return kLSUnknownType;
}

// ---- Uniform type identifiers ----

struct UTTypeEntry {
    const char *identifier;
    std::vector<const char *> conformsTo;
    std::vector<const char *> extensions;
    std::vector<OSType> fileTypes;
    std::vector<const char *> mimeTypes;
};

const std::vector<UTTypeEntry> &TypeTable() {
    static const std::vector<UTTypeEntry> table = {
        {"public.item", {}, {}, {}, {}},
        {"public.content", {}, {}, {}, {}},
        {"public.data", {"public.item"}, {}, {}, {"application/octet-stream"}},
        {"public.directory", {"public.item"}, {}, {}, {}},
        {"public.folder", {"public.directory"}, {}, {}, {}},
        {"public.text", {"public.data", "public.content"}, {}, {}, {"text/plain"}},
        {"public.plain-text", {"public.text"}, {"txt", "text"}, {QV_FOURCC('T', 'E', 'X', 'T')}, {"text/plain"}},
        {"public.image", {"public.data", "public.content"}, {}, {}, {}},
        {"public.jpeg", {"public.image"}, {"jpg", "jpeg", "jpe"}, {QV_FOURCC('J', 'P', 'E', 'G')}, {"image/jpeg"}},
        {"public.png", {"public.image"}, {"png"}, {QV_FOURCC('P', 'N', 'G', 'f')}, {"image/png"}},
        {"com.compuserve.gif", {"public.image"}, {"gif"}, {QV_FOURCC('G', 'I', 'F', 'f')}, {"image/gif"}},
        {"public.tiff", {"public.image"}, {"tif", "tiff"}, {QV_FOURCC('T', 'I', 'F', 'F')}, {"image/tiff"}},
        {"com.microsoft.bmp", {"public.image"}, {"bmp"}, {QV_FOURCC('B', 'M', 'P', 'f')}, {"image/bmp"}},
        {"com.apple.pict", {"public.image"}, {"pict", "pct", "pic"}, {QV_FOURCC('P', 'I', 'C', 'T')}, {"image/x-pict"}},
        {"org.webmproject.webp", {"public.image"}, {"webp"}, {}, {"image/webp"}},
        {"com.adobe.pdf", {"public.data", "public.composite-content"}, {"pdf"}, {QV_FOURCC('P', 'D', 'F', ' ')},
         {"application/pdf"}},
        {"public.composite-content", {"public.content"}, {}, {}, {}},
        {"public.audiovisual-content", {"public.data", "public.content"}, {}, {}, {}},
        {"public.movie", {"public.audiovisual-content"}, {}, {}, {}},
        {"public.mpeg-4", {"public.movie"}, {"mp4"}, {}, {"video/mp4"}},
        {"com.apple.quicktime-movie", {"public.movie"}, {"mov", "qt"}, {QV_FOURCC('M', 'o', 'o', 'V')},
         {"video/quicktime"}},
    };
    return table;
}

const UTTypeEntry *FindType(const std::string &identifier) {
    const std::string id = Lower(identifier);
    for (const UTTypeEntry &t : TypeTable())
        if (id == t.identifier) return &t;
    return nullptr;
}

bool Conforms(const std::string &uti, const std::string &target, int depth = 0) {
    if (depth > 16) return false;
    const std::string a = Lower(uti), b = Lower(target);
    if (a == b) return true;
    if (a.rfind("dyn.", 0) == 0) return b == "public.data" || b == "public.item";
    const UTTypeEntry *t = FindType(a);
    if (!t) return false;
    for (const char *parent : t->conformsTo)
        if (Conforms(parent, b, depth + 1)) return true;
    return false;
}

enum class TagClass { kExtension, kOSType, kMIME, kUnknown };

TagClass ClassOf(CFStringRef tagClass) {
    std::string c;
    if (!Utf8Of(tagClass, &c)) return TagClass::kUnknown;
    if (c == "public.filename-extension") return TagClass::kExtension;
    if (c == "com.apple.ostype") return TagClass::kOSType;
    if (c == "public.mime-type") return TagClass::kMIME;
    return TagClass::kUnknown;
}

std::string OSTypeText(OSType t) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(char((t >> shift) & 0xFF));
    return s;
}

bool Carries(const UTTypeEntry &t, TagClass tagClass, const std::string &tag) {
    switch (tagClass) {
    case TagClass::kExtension:
        for (const char *e : t.extensions)
            if (Lower(tag) == e) return true;
        return false;
    case TagClass::kOSType:
        for (OSType ft : t.fileTypes)
            if (tag == OSTypeText(ft)) return true;
        return false;
    case TagClass::kMIME:
        for (const char *m : t.mimeTypes)
            if (Lower(tag) == m) return true;
        return false;
    case TagClass::kUnknown: return false;
    }
    return false;
}

// A dynamic identifier encoding the class and the tag's bytes.
std::string DynamicIdentifier(TagClass tagClass, const std::string &tag) {
    static const char hex[] = "0123456789abcdef";
    std::string id = "dyn.";
    id.push_back(tagClass == TagClass::kExtension ? 'e' : tagClass == TagClass::kOSType ? 'o' : 'm');
    for (unsigned char c : tag) {
        id.push_back(hex[c >> 4]);
        id.push_back(hex[c & 15]);
    }
    return id;
}

} // namespace

extern "C" {

void QVLSSetLaunchHook(QVLSLaunchProcPtr proc, void *refCon) {
    std::lock_guard<std::mutex> lock(gHookMutex);
    gHook = proc;
    gHookRefCon = refCon;
}

OSStatus LSOpenFSRef(const FSRef *inRef, FSRef *) {
    std::string path;
    if (!PathOfRef(inRef, &path)) return paramErr;
    return Launch(path.c_str(), nullptr);
}

OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef *) {
    if (!inURL) return paramErr;
    std::vector<UInt8> buffer(4096);
    if (!CFURLGetFileSystemRepresentation(inURL, true, buffer.data(), CFIndex(buffer.size()))) return paramErr;
    const char *path = reinterpret_cast<const char *>(buffer.data());
    struct stat st;
    if (stat(path, &st) != 0) return fnfErr;
    return Launch(path, nullptr);
}

OSStatus LSOpenFromRefSpec(const LSLaunchFSRefSpec *inLaunchSpec, FSRef *outLaunchedRef) {
    if (!inLaunchSpec || (inLaunchSpec->numDocs > 0 && !inLaunchSpec->itemRefs)) return paramErr;
    if (!inLaunchSpec->appRef && inLaunchSpec->numDocs == 0) return paramErr;
    std::string app;
    if (inLaunchSpec->appRef) {
        if (!PathOfRef(inLaunchSpec->appRef, &app)) return paramErr;
        if (!IsExecutableFile(app)) return kLSNotAnApplicationErr;
    }
    std::vector<std::string> documents;
    for (ItemCount i = 0; i < inLaunchSpec->numDocs; ++i) {
        std::string doc;
        if (!PathOfRef(&inLaunchSpec->itemRefs[i], &doc)) return paramErr;
        documents.push_back(doc);
    }
    OSStatus status = noErr;
    if (documents.empty()) status = Launch(nullptr, app.c_str());
    for (const std::string &doc : documents) {
        status = Launch(doc.c_str(), app.empty() ? nullptr : app.c_str());
        if (status != noErr) break;
    }
    if (status == noErr && inLaunchSpec->appRef && outLaunchedRef) *outLaunchedRef = *inLaunchSpec->appRef;
    return status;
}

OSStatus LSCopyItemInfoForRef(const FSRef *inItemRef, LSRequestedInfo inWhichInfo, LSItemInfoRecord *outItemInfo) {
    if (!outItemInfo) return paramErr;
    *outItemInfo = LSItemInfoRecord{0, kLSUnknownType, kLSUnknownCreator, nullptr};
    std::string path;
    if (!PathOfRef(inItemRef, &path)) return paramErr;
    struct stat st, lst;
    if (stat(path.c_str(), &st) != 0) return fnfErr;
    const bool isLink = lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
    const std::string name = LastComponent(path);
    const std::string extension = ExtensionOf(name);

    if (inWhichInfo & (kLSRequestBasicFlagsOnly | kLSRequestAppTypeFlags | kLSRequestAllFlags)) {
        LSItemInfoFlags flags = 0;
        if (S_ISDIR(st.st_mode)) {
            flags |= kLSItemInfoIsContainer;
            const std::string ext = Lower(extension);
            if (ext == "app") flags |= kLSItemInfoIsPackage | kLSItemInfoIsApplication;
            if (ext == "bundle" || ext == "plugin" || ext == "framework") flags |= kLSItemInfoIsPackage;
            if (path == "/") flags |= kLSItemInfoIsVolume;
        } else {
            flags |= kLSItemInfoIsPlainFile;
            if (S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0)
                flags |= kLSItemInfoIsApplication | kLSItemInfoIsNativeApp;
        }
        if (isLink) flags |= kLSItemInfoIsSymlink;
        if (!name.empty() && name[0] == '.') flags |= kLSItemInfoIsInvisible;
        outItemInfo->flags = flags;
    }
    if ((inWhichInfo & kLSRequestTypeCreator) && S_ISREG(st.st_mode)) outItemInfo->filetype = SniffFileType(path);
    if ((inWhichInfo & kLSRequestExtension) && !extension.empty()) outItemInfo->extension = MakeString(extension);
    return noErr;
}

CFStringRef UTTypeCreatePreferredIdentifierForTag(CFStringRef inTagClass, CFStringRef inTag,
                                                  CFStringRef inConformingToUTI) {
    const TagClass tagClass = ClassOf(inTagClass);
    std::string tag, conformingTo;
    if (tagClass == TagClass::kUnknown || !Utf8Of(inTag, &tag)) return nullptr;
    const bool constrained = Utf8Of(inConformingToUTI, &conformingTo);
    for (const UTTypeEntry &t : TypeTable())
        if (Carries(t, tagClass, tag) && (!constrained || Conforms(t.identifier, conformingTo)))
            return MakeString(t.identifier);
    return MakeString(DynamicIdentifier(tagClass, tag));
}

CFStringRef UTTypeCopyPreferredTagWithClass(CFStringRef inUTI, CFStringRef inTagClass) {
    std::string uti;
    if (!Utf8Of(inUTI, &uti)) return nullptr;
    const UTTypeEntry *t = FindType(uti);
    if (!t) return nullptr;
    switch (ClassOf(inTagClass)) {
    case TagClass::kExtension: return t->extensions.empty() ? nullptr : MakeString(t->extensions[0]);
    case TagClass::kOSType: return t->fileTypes.empty() ? nullptr : UTCreateStringForOSType(t->fileTypes[0]);
    case TagClass::kMIME: return t->mimeTypes.empty() ? nullptr : MakeString(t->mimeTypes[0]);
    case TagClass::kUnknown: return nullptr;
    }
    return nullptr;
}

Boolean UTTypeConformsTo(CFStringRef inUTI, CFStringRef inConformsToUTI) {
    std::string a, b;
    if (!Utf8Of(inUTI, &a) || !Utf8Of(inConformsToUTI, &b)) return false;
    return Conforms(a, b);
}

Boolean UTTypeEqual(CFStringRef inUTI1, CFStringRef inUTI2) {
    std::string a, b;
    if (!Utf8Of(inUTI1, &a) || !Utf8Of(inUTI2, &b)) return false;
    return Lower(a) == Lower(b);
}

CFStringRef UTCreateStringForOSType(OSType inOSType) {
    unsigned char text[5] = {4};
    for (int i = 0; i < 4; ++i) text[1 + i] = UInt8(inOSType >> (24 - 8 * i));
    return CFStringCreateWithPascalString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman);
}

OSType UTGetOSTypeFromString(CFStringRef inString) {
    unsigned char text[256];
    if (!inString || !CFStringGetPascalString(inString, text, sizeof text, kCFStringEncodingMacRoman) ||
        text[0] != 4)
        return 0;
    return QV_FOURCC(text[1], text[2], text[3], text[4]);
}

} // extern "C"
