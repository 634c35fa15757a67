// Bundles: folders with an Info file, an executable and resources, found by
// identifier among the bundles this process knows.
#include "corefoundation/CFBundle.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "corefoundation/CFInternal.h"
#include "resources/FilesInternal.h"

struct __CFBundle : CFRuntimeBase {
    std::string path;                         // the bundle folder, absolute
    std::map<std::string, CFStringRef> info;  // Info keys and their values (owned)
};

namespace {

using qv::cf::StringFromUTF8;
using qv::cf::ToUTF8;

void FinalizeBundle(CFRuntimeBase *object) {
    auto *b = static_cast<__CFBundle *>(object);
    for (auto &[key, value] : b->info) CFRelease(value);
    delete b;
}

__CFBundle *AsBundle(CFBundleRef b) { return static_cast<__CFBundle *>(CFRuntimeCast(b, kQVTypeIDBundle)); }

bool IsDirectory(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string Trim(const std::string &s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

std::string DirName(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The bundle folder that holds a library or program at
// Bundle/Contents/Linux/<file>, or "".
std::string BundleFolderOfExecutable(const std::string &file) {
    char *real = ::realpath(file.c_str(), nullptr);
    if (!real) return {};
    std::string path = real;
    std::free(real);
    std::string linuxDir = DirName(path);
    std::string contents = DirName(linuxDir);
    if (BaseName(linuxDir) != "Linux" || BaseName(contents) != "Contents") return {};
    return DirName(contents);
}

// The known bundles, each holding one reference for the life of the process.
struct Registry {
    std::mutex lock;
    std::vector<CFBundleRef> bundles;
    CFBundleRef main = nullptr;
};

Registry &Known() {
    static Registry *registry = new Registry; // lives for the process
    return *registry;
}

void ReadInfo(__CFBundle *b) {
    std::ifstream in(b->path + "/Contents/Info");
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Trim(line.substr(0, eq));
        CFStringRef value = StringFromUTF8(Trim(line.substr(eq + 1)));
        if (key.empty() || !value) {
            if (value) CFRelease(value);
            continue;
        }
        auto [it, inserted] = b->info.emplace(key, value);
        if (!inserted) {
            CFRelease(it->second);
            it->second = value;
        }
    }
}

// The bundle object of a folder (made and registered on first use), with
// the registry locked by the caller; nullptr when the folder is missing.
CFBundleRef BundleAt(Registry &r, const std::string &folderIn) {
    std::string folder = qv::files::NormalizePath(folderIn);
    if (folder.empty() || !IsDirectory(folder)) return nullptr;
    for (CFBundleRef b : r.bundles)
        if (AsBundle(b)->path == folder) return b;
    auto *b = new (std::nothrow) __CFBundle;
    if (!b) return nullptr;
    CFRuntimeInit(b, kQVTypeIDBundle, FinalizeBundle);
    b->path = folder;
    ReadInfo(b);
    r.bundles.push_back(b);
    return b;
}

int AddLoadedObject(dl_phdr_info *info, size_t, void *data) {
    auto *names = static_cast<std::vector<std::string> *>(data);
    if (info->dlpi_name && info->dlpi_name[0]) names->push_back(info->dlpi_name);
    return 0;
}

// Registers the bundles of loaded libraries, of the program and of the
// search path.
void DiscoverBundles(Registry &r) {
    std::vector<std::string> objects;
    ::dl_iterate_phdr(AddLoadedObject, &objects);
    objects.push_back("/proc/self/exe");
    for (auto &o : objects) {
        std::string folder = BundleFolderOfExecutable(o);
        if (!folder.empty()) BundleAt(r, folder);
    }
    const char *search = std::getenv("QUELVANE_BUNDLE");
    if (!search) return;
    std::stringstream list(search);
    std::string entry;
    while (std::getline(list, entry, ':')) {
        if (entry.empty()) continue;
        if (Exists(entry + "/Contents")) {
            BundleAt(r, entry);
            continue;
        }
        // A folder that holds bundles.
        if (DIR *dir = ::opendir(entry.c_str())) {
            std::vector<std::string> children;
            while (dirent *e = ::readdir(dir)) children.push_back(e->d_name);
            ::closedir(dir);
            std::sort(children.begin(), children.end());
            for (auto &c : children) {
                if ((c.ends_with(".plugin") || c.ends_with(".bundle") || c.ends_with(".app")) &&
                    Exists(entry + "/" + c + "/Contents"))
                    BundleAt(r, entry + "/" + c);
            }
        }
    }
}

CFStringRef InfoValue(CFBundleRef bundle, const std::string &key) {
    __CFBundle *b = AsBundle(bundle);
    if (!b) return nullptr;
    auto it = b->info.find(key);
    return it == b->info.end() ? nullptr : it->second;
}

CFURLRef FileURL(const std::string &path) {
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                   static_cast<CFIndex>(path.size()), IsDirectory(path));
}

template <typename T, typename F> T Guard(F &&f) {
    try {
        return f();
    } catch (const std::bad_alloc &) {
        return T{};
    }
}

} // namespace

extern "C" {

CFTypeID CFBundleGetTypeID(void) { return kQVTypeIDBundle; }

__attribute__((noinline)) CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
    void *caller = __builtin_return_address(0);
    if (!qv::cf::AsString(bundleID)) return nullptr;
    return Guard<CFBundleRef>([&]() -> CFBundleRef {
        Registry &r = Known();
        std::lock_guard<std::mutex> guard(r.lock);
        // The caller's own bundle comes first, so that it wins over another
        // copy of the same bundle.
        Dl_info where;
        if (::dladdr(caller, &where) && where.dli_fname) {
            std::string folder = BundleFolderOfExecutable(where.dli_fname);
            if (!folder.empty()) {
                CFBundleRef own = BundleAt(r, folder);
                if (own && CFEqual(InfoValue(own, "CFBundleIdentifier"), bundleID)) return own;
            }
        }
        for (int pass = 0; pass < 2; ++pass) {
            for (CFBundleRef b : r.bundles)
                if (CFEqual(InfoValue(b, "CFBundleIdentifier"), bundleID)) return b;
            if (pass == 0) DiscoverBundles(r);
        }
        return nullptr;
    });
}

CFBundleRef CFBundleGetMainBundle(void) {
    return Guard<CFBundleRef>([&]() -> CFBundleRef {
        Registry &r = Known();
        std::lock_guard<std::mutex> guard(r.lock);
        if (r.main) return r.main;
        std::string folder = BundleFolderOfExecutable("/proc/self/exe");
        if (folder.empty()) {
            char *exe = ::realpath("/proc/self/exe", nullptr);
            if (!exe) return nullptr;
            folder = DirName(exe);
            std::free(exe);
        }
        r.main = BundleAt(r, folder);
        return r.main;
    });
}

CFBundleRef CFBundleCreate(CFAllocatorRef, CFURLRef bundleURL) {
    char path[4096];
    if (!CFURLGetFileSystemRepresentation(bundleURL, true, reinterpret_cast<UInt8 *>(path), sizeof path))
        return nullptr;
    return Guard<CFBundleRef>([&]() -> CFBundleRef {
        Registry &r = Known();
        std::lock_guard<std::mutex> guard(r.lock);
        CFBundleRef b = BundleAt(r, path);
        return b ? static_cast<CFBundleRef>(const_cast<void *>(CFRetain(b))) : nullptr;
    });
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle) { return InfoValue(bundle, "CFBundleIdentifier"); }

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key) {
    if (!qv::cf::AsString(key)) return nullptr;
    return Guard<CFTypeRef>([&]() -> CFTypeRef { return InfoValue(bundle, ToUTF8(key)); });
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    __CFBundle *b = AsBundle(bundle);
    return b ? Guard<CFURLRef>([&] { return FileURL(b->path); }) : nullptr;
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
    __CFBundle *b = AsBundle(bundle);
    if (!b) return nullptr;
    return Guard<CFURLRef>([&]() -> CFURLRef {
        std::string path = b->path + "/Contents/Resources";
        return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.c_str()),
                                                       static_cast<CFIndex>(path.size()), true);
    });
}

CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle) {
    __CFBundle *b = AsBundle(bundle);
    CFStringRef exec = InfoValue(bundle, "CFBundleExecutable");
    if (!b || !exec) return nullptr;
    return Guard<CFURLRef>([&]() -> CFURLRef {
        std::string path = b->path + "/Contents/" + ToUTF8(exec);
        return Exists(path) ? FileURL(path) : nullptr;
    });
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName) {
    __CFBundle *b = AsBundle(bundle);
    if (!b || !qv::cf::AsString(resourceName)) return nullptr;
    return Guard<CFURLRef>([&]() -> CFURLRef {
        std::string file = ToUTF8(resourceName);
        std::string type = ToUTF8(resourceType);
        if (!type.empty() && type[0] == '.') type.erase(0, 1);
        if (!type.empty()) file += "." + type;
        std::string sub = ToUTF8(subDirName);
        if (file.empty() || file.find('/') != std::string::npos || file == "." || file == "..") return nullptr;
        std::string resources = b->path + "/Contents/Resources";
        for (const char *lproj : {"", "/en.lproj", "/English.lproj", "/Base.lproj"}) {
            std::string path = resources + lproj + (sub.empty() ? "" : "/" + sub) + "/" + file;
            if (Exists(path)) return FileURL(path);
        }
        return nullptr;
    });
}

ResFileRefNum CFBundleOpenBundleResourceMap(CFBundleRef bundle) {
    __CFBundle *b = AsBundle(bundle);
    if (!b) return -1;
    std::string path = Guard<std::string>([&]() -> std::string {
        CFStringRef exec = InfoValue(bundle, "CFBundleExecutable");
        CFStringRef name = InfoValue(bundle, "CFBundleName");
        std::string stem = exec ? BaseName(ToUTF8(exec)) : name ? ToUTF8(name) : std::string();
        if (size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.erase(dot);
        if (stem.empty()) return {};
        return b->path + "/Contents/Resources/" + stem + ".rsrc";
    });
    if (path.empty()) return -1;
    FSSpec fss;
    OSErr err = QVFSSpecFromPath(path.c_str(), &fss);
    if (err != noErr) return -1;
    return FSpOpenResFile(&fss, fsRdPerm);
}

void CFBundleCloseBundleResourceMap(CFBundleRef, ResFileRefNum refNum) {
    if (refNum > 0) CloseResFile(refNum);
}

} // extern "C"
