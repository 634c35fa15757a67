// File Manager stand-in: FSSpec records and references over Linux
// paths, node IDs from a process-wide registry, data forks over file
// descriptors, and atomic replacement of files.
#include "resources/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "corefoundation/CFInternal.h"
#include "resources/FilesInternal.h"
#include "resources/Resources.h"

namespace qv::files {

namespace {

constexpr UInt32 kRefTag = QV_FOURCC('Q', 'V', 'F', 'R');
constexpr size_t kMaxSpecName = 63;

// Node IDs for absolute paths: 2 is the root, 1 its parent.
class NodeRegistry {
public:
    UInt32 IdOf(const std::string &path) {
        std::lock_guard<std::mutex> guard(mLock);
        if (mPaths.empty()) Init();
        auto it = mIds.find(path);
        if (it != mIds.end()) return it->second;
        auto id = static_cast<UInt32>(mPaths.size());
        mPaths.push_back(path);
        mIds.emplace(path, id);
        return id;
    }

    std::optional<std::string> PathOf(UInt32 id) {
        std::lock_guard<std::mutex> guard(mLock);
        if (mPaths.empty()) Init();
        if (id < fsRtDirID || id >= mPaths.size()) return std::nullopt;
        return mPaths[id];
    }

private:
    void Init() {
        mPaths = {"", "", "/"};
        mIds.emplace("/", fsRtDirID);
    }
    std::mutex mLock;
    std::vector<std::string> mPaths;
    std::unordered_map<std::string, UInt32> mIds;
};

NodeRegistry &Registry() {
    static NodeRegistry *registry = new NodeRegistry; // lives for the process
    return *registry;
}

std::string DirName(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string &dir, const std::string &name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

bool Exists(const std::string &path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CurrentDirectory() {
    std::vector<char> buf(PATH_MAX);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return {};
        buf.resize(buf.size() * 2);
    }
    return std::string(buf.data());
}

// The Mac Roman name of a Linux name, with ":" shown as "/", or nullopt
// when a character has no Mac Roman form.
std::optional<std::string> MacRomanName(const std::string &linuxName) {
    auto chars = cf::DecodeUTF8(linuxName);
    if (!chars) return std::nullopt;
    for (auto &c : *chars)
        if (c == u':') c = u'/';
    return cf::EncodeMacRoman(*chars);
}

std::string Hex(UInt32 v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
}

// The FSSpec name of a Linux name: the name itself when it fits, else the
// start of the name, "#", the node ID in hex and a short extension.
std::string SpecNameOf(const std::string &linuxName, const std::string &fullPath) {
    if (auto plain = MacRomanName(linuxName); plain && !plain->empty() && plain->size() <= kMaxSpecName)
        return *plain;
    std::string suffix = "#" + Hex(NodeIDOfPath(fullPath));
    std::string stem = linuxName;
    size_t dot = linuxName.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        auto ext = MacRomanName(linuxName.substr(dot));
        if (ext && ext->size() <= 8) {
            suffix += *ext;
            stem = linuxName.substr(0, dot);
        }
    }
    // The start of the stem, with characters Mac Roman lacks as "_".
    std::string prefix;
    auto chars = cf::DecodeUTF8(stem);
    std::u16string units = chars ? *chars : std::u16string(stem.begin(), stem.end());
    size_t room = kMaxSpecName - suffix.size();
    for (size_t i = 0; i < units.size() && prefix.size() < room; ++i) {
        char16_t c = units[i] == u':' ? u'/' : units[i];
        // Bytes of a name that is not UTF-8 have no character to show.
        std::optional<unsigned char> b = (chars || c < 0x80) ? cf::UnicodeToMacRoman(c) : std::nullopt;
        if (c >= 0xD800 && c <= 0xDBFF) ++i; // a character outside the BMP counts once
        prefix.push_back(b ? static_cast<char>(*b) : '_');
    }
    return prefix + suffix;
}

// The Linux name an FSSpec name stands for in directory dir, or nullopt for
// a name that cannot be a Linux name.
std::optional<std::string> LinuxNameOf(const std::string &dir, std::string_view specName) {
    if (specName.empty()) return std::nullopt;
    auto chars = cf::DecodeMacRoman(specName);
    for (auto &c : *chars) {
        if (c == 0) return std::nullopt;
        if (c == u'/') c = u':';
    }
    std::string name = *cf::EncodeUTF8(*chars);
    if (name == "." || name == ".." || name.size() > NAME_MAX) return std::nullopt;
    if (Exists(Join(dir, name))) return name;
    // A mangled name maps back through the node registry.
    size_t hash = specName.rfind('#');
    if (hash != std::string_view::npos) {
        size_t end = hash + 1;
        while (end < specName.size() && std::isxdigit(static_cast<unsigned char>(specName[end]))) ++end;
        if (end > hash + 1 && end - hash - 1 <= 8) {
            UInt32 id = static_cast<UInt32>(std::stoul(std::string(specName.substr(hash + 1, end - hash - 1)), nullptr, 16));
            if (auto path = Registry().PathOf(id); path && DirName(*path) == dir && *path != "/") {
                std::string full = BaseName(*path);
                if (SpecNameOf(full, *path) == specName) return full;
            }
        }
    }
    return name;
}

std::string_view PascalView(ConstStr255Param s) {
    return s ? std::string_view(reinterpret_cast<const char *>(s + 1), s[0]) : std::string_view();
}

void SetPascal(unsigned char *dst, std::string_view text, size_t max) {
    size_t n = std::min(text.size(), max);
    dst[0] = static_cast<unsigned char>(n);
    std::memcpy(dst + 1, text.data(), n);
}

bool ValidVolume(SInt16 vRefNum) { return vRefNum == 0 || vRefNum == kQVVolumeRefNum; }

bool SameVolumeName(std::string_view name) {
    std::string_view vol = kQVVolumeName;
    if (name.size() != vol.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != std::tolower(static_cast<unsigned char>(vol[i])))
            return false;
    return true;
}

// Resolves (vRefNum, dirID, name) to a Linux path; `exists` tells whether
// the object is there. The error codes are FSMakeFSSpec's.
OSErr ResolveSpec(SInt16 vRefNum, SInt32 dirID, std::string_view name, std::string &path) {
    if (!ValidVolume(vRefNum)) return nsvErr;
    std::string dir;
    std::vector<std::string_view> parts;
    bool fromRoot = false;
    if (!name.empty() && name.find(':') != std::string_view::npos && name[0] != ':') {
        // A full path: the volume name, then the components.
        size_t colon = name.find(':');
        if (!SameVolumeName(name.substr(0, colon))) return nsvErr;
        fromRoot = true;
        name.remove_prefix(colon);
    }
    if (fromRoot) {
        dir = "/";
    } else if (dirID == fsRtParID) {
        // Only the volume itself lives in the root's parent.
        if (name.empty() || !SameVolumeName(name)) return dirNFErr;
        path = "/";
        return noErr;
    } else {
        auto base = PathOfDirID(dirID);
        if (!base) return dirNFErr;
        dir = *base;
    }
    if (!IsDirectory(dir)) return dirNFErr;
    if (name.empty()) {
        path = dir;
        return noErr;
    }
    if (name[0] == ':') {
        name.remove_prefix(1);
        size_t start = 0;
        while (true) {
            size_t colon = name.find(':', start);
            parts.push_back(name.substr(start, colon == std::string_view::npos ? colon : colon - start));
            if (colon == std::string_view::npos) break;
            start = colon + 1;
        }
        // A trailing ":" marks a directory and adds no component.
        if (!parts.empty() && parts.back().empty()) parts.pop_back();
    } else {
        parts.push_back(name);
    }
    if (parts.empty()) {
        path = dir;
        return noErr;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        bool last = i + 1 == parts.size();
        if (parts[i].empty()) {
            dir = DirName(dir);
            if (last) {
                path = dir;
                return noErr;
            }
            continue;
        }
        auto linuxName = LinuxNameOf(dir, parts[i]);
        if (!linuxName) return bdNamErr;
        std::string next = Join(dir, *linuxName);
        if (last) {
            path = next;
            return noErr;
        }
        if (!IsDirectory(next)) return dirNFErr;
        dir = next;
    }
    return noErr;
}

struct OpenFork {
    int fd = -1; // -1 for a resource file (kept in memory)
};

std::mutex gForkLock;
std::map<SInt16, OpenFork> gForks;

int ForkFd(SInt16 refNum) {
    std::lock_guard<std::mutex> guard(gForkLock);
    auto it = gForks.find(refNum);
    return it == gForks.end() ? -1 : it->second.fd;
}

std::atomic<int> gFailingWrites{0};
std::atomic<int> gFailStage{kQVFailOnWrite};

bool ShouldFail(QVWriteFailStage stage) {
    if (gFailStage.load() != stage) return false;
    int n = gFailingWrites.load();
    while (n > 0) {
        if (gFailingWrites.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
}

bool WriteAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string NormalizePath(std::string_view path) {
    std::string full;
    if (path.empty() || path[0] != '/') {
        std::string cwd = CurrentDirectory();
        if (cwd.empty()) return {};
        full = cwd + "/" + std::string(path);
    } else {
        full = std::string(path);
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= full.size()) {
        size_t slash = full.find('/', start);
        if (slash == std::string::npos) slash = full.size();
        std::string part = full.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = slash + 1;
    }
    std::string out;
    for (auto &p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

UInt32 NodeIDOfPath(const std::string &path) { return Registry().IdOf(path); }

std::optional<std::string> PathOfDirID(SInt32 dirID) {
    if (dirID == 0) {
        std::string cwd = CurrentDirectory();
        if (cwd.empty()) return std::nullopt;
        return NormalizePath(cwd);
    }
    if (dirID < fsRtDirID) return std::nullopt;
    return Registry().PathOf(static_cast<UInt32>(dirID));
}

OSErr SpecOfPath(const std::string &path, FSSpec &fss) {
    std::memset(&fss, 0, sizeof fss);
    fss.vRefNum = kQVVolumeRefNum;
    if (path == "/") {
        fss.parID = fsRtParID;
        SetPascal(fss.name, kQVVolumeName, kMaxSpecName);
        return noErr;
    }
    std::string dir = DirName(path);
    if (!IsDirectory(dir)) return dirNFErr;
    fss.parID = static_cast<SInt32>(NodeIDOfPath(dir));
    SetPascal(fss.name, SpecNameOf(BaseName(path), path), kMaxSpecName);
    return Exists(path) ? noErr : fnfErr;
}

OSErr PathOfSpec(const FSSpec &fss, std::string &path) {
    if (!ValidVolume(fss.vRefNum)) return nsvErr;
    std::string_view name(reinterpret_cast<const char *>(fss.name + 1), std::min<size_t>(fss.name[0], kMaxSpecName));
    if (fss.parID == fsRtParID) {
        if (!SameVolumeName(name)) return dirNFErr;
        path = "/";
        return noErr;
    }
    auto dir = PathOfDirID(fss.parID);
    if (!dir) return dirNFErr;
    auto linuxName = LinuxNameOf(*dir, name);
    if (!linuxName) return bdNamErr;
    path = Join(*dir, *linuxName);
    return noErr;
}

std::optional<std::string> PathOfRef(const FSRef &ref) {
    UInt32 tag, id;
    std::memcpy(&tag, ref.hidden, 4);
    std::memcpy(&id, ref.hidden + 4, 4);
    if (tag != kRefTag) return std::nullopt;
    return Registry().PathOf(id);
}

OSErr RefOfPath(const std::string &path, FSRef &ref) {
    if (!Exists(path)) return fnfErr;
    std::memset(&ref, 0, sizeof ref);
    UInt32 id = NodeIDOfPath(path);
    std::memcpy(ref.hidden, &kRefTag, 4);
    std::memcpy(ref.hidden + 4, &id, 4);
    return noErr;
}

SInt16 ReserveRefNum() {
    std::lock_guard<std::mutex> guard(gForkLock);
    for (SInt16 n = 2; n < SHRT_MAX; ++n) {
        if (!gForks.count(n)) {
            gForks.emplace(n, OpenFork{});
            return n;
        }
    }
    return 0;
}

void ReleaseRefNum(SInt16 refNum) {
    std::lock_guard<std::mutex> guard(gForkLock);
    gForks.erase(refNum);
}

OSErr ErrnoToOSErr(int err) {
    switch (err) {
    case 0: return noErr;
    case ENOENT: return fnfErr;
    case ENOTDIR: return dirNFErr;
    case EACCES:
    case EPERM: return permErr;
    case EROFS: return wrPermErr;
    case ENOSPC:
    case EDQUOT: return dskFulErr;
    case EEXIST: return dupFNErr;
    case EISDIR: return notAFileErr;
    case ENAMETOOLONG: return bdNamErr;
    case EMFILE:
    case ENFILE: return tmfoErr;
    case ENOTEMPTY: return fBsyErr;
    case ENOMEM: return memFullErr;
    default: return ioErr;
    }
}

OSErr ReadWholeFile(const std::string &path, std::string &bytes, size_t maxBytes) {
    // Without waiting: a FIFO opens at once, and is refused below.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return ErrnoToOSErr(errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return ioErr;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return S_ISDIR(st.st_mode) ? OSErr(notAFileErr) : OSErr(ioErr);
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        return mapReadErr;
    }
    OSErr err = noErr;
    try {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                err = n < 0 ? ioErr : noErr;
                bytes.resize(done); // the file shrank meanwhile
                break;
            }
            done += static_cast<size_t>(n);
        }
    } catch (const std::bad_alloc &) {
        err = memFullErr;
    }
    ::close(fd);
    return err;
}

bool IsWritable(const std::string &path) { return ::access(path.c_str(), W_OK) == 0; }

OSErr ReplaceFileAtomically(const std::string &pathIn, std::string_view bytes) {
    std::string path = pathIn;
    struct stat old;
    bool hadOld = ::lstat(path.c_str(), &old) == 0;
    if (hadOld && S_ISLNK(old.st_mode)) {
        char *target = ::realpath(path.c_str(), nullptr);
        if (target) {
            path = target;
            std::free(target);
            hadOld = ::stat(path.c_str(), &old) == 0;
        }
    }
    if (hadOld && !IsWritable(path)) return permErr;
    std::string tmp = Join(DirName(path), "." + BaseName(path) + ".XXXXXX");
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) return ErrnoToOSErr(errno);
    OSErr err = noErr;
    mode_t mode = 0666;
    if (hadOld) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(fd, mode);
    if (ShouldFail(kQVFailOnWrite)) {
        WriteAll(fd, bytes.data(), bytes.size() / 2);
        err = dskFulErr;
    } else if (!WriteAll(fd, bytes.data(), bytes.size())) {
        err = ErrnoToOSErr(errno);
    } else if (ShouldFail(kQVFailOnSync) || ::fsync(fd) != 0) {
        err = ioErr;
    }
    if (::close(fd) != 0 && err == noErr) err = ioErr;
    if (err == noErr) {
        if (ShouldFail(kQVFailOnRename))
            err = ioErr;
        else if (::rename(tmp.c_str(), path.c_str()) != 0)
            err = ErrnoToOSErr(errno);
    }
    if (err != noErr) {
        ::unlink(tmp.c_str());
        return err;
    }
    // Make the rename itself durable.
    int dirFd = ::open(DirName(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return noErr;
}

} // namespace qv::files

using namespace qv::files;

namespace {

template <typename F> OSErr Guard(F &&f) {
    try {
        return f();
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
}

} // namespace

extern "C" {

OSErr FSMakeFSSpec(SInt16 vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec *fss) {
    if (!fss) return paramErr;
    return Guard([&]() -> OSErr {
        std::string path;
        OSErr err = ResolveSpec(vRefNum, dirID, PascalView(fileName), path);
        if (err != noErr) return err;
        return SpecOfPath(path, *fss);
    });
}

OSErr FSpMakeFSRef(const FSSpec *source, FSRef *newRef) {
    if (!source || !newRef) return paramErr;
    return Guard([&]() -> OSErr {
        std::string path;
        OSErr err = PathOfSpec(*source, path);
        if (err != noErr) return err;
        return RefOfPath(path, *newRef);
    });
}

OSErr FSpCreate(const FSSpec *fss, OSType, OSType, ScriptCode) {
    if (!fss) return paramErr;
    return Guard([&]() -> OSErr {
        std::string path;
        OSErr err = PathOfSpec(*fss, path);
        if (err != noErr) return err;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return ErrnoToOSErr(errno);
        ::close(fd);
        return noErr;
    });
}

OSErr FSpDirCreate(const FSSpec *fss, ScriptCode, SInt32 *createdDirID) {
    if (!fss) return paramErr;
    return Guard([&]() -> OSErr {
        std::string path;
        OSErr err = PathOfSpec(*fss, path);
        if (err != noErr) return err;
        if (::mkdir(path.c_str(), 0777) != 0) return ErrnoToOSErr(errno);
        if (createdDirID) *createdDirID = static_cast<SInt32>(NodeIDOfPath(path));
        return noErr;
    });
}

OSErr FSpDelete(const FSSpec *fss) {
    if (!fss) return paramErr;
    return Guard([&]() -> OSErr {
        std::string path;
        OSErr err = PathOfSpec(*fss, path);
        if (err != noErr) return err;
        if (path == "/") return permErr;
        if (::unlink(path.c_str()) == 0) return noErr;
        if (errno == EISDIR || errno == EPERM) {
            if (IsDirectory(path)) return ::rmdir(path.c_str()) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
        }
        return ErrnoToOSErr(errno);
    });
}

OSErr FSpOpenDF(const FSSpec *fss, SInt8 permission, SInt16 *refNum) {
    if (!fss || !refNum) return paramErr;
    return Guard([&]() -> OSErr {
        std::string path;
        OSErr err = PathOfSpec(*fss, path);
        if (err != noErr) return err;
        if (IsDirectory(path)) return notAFileErr;
        // Opened without waiting (a FIFO would wait for its other end), and
        // only regular files are data forks.
        constexpr int kFlags = O_NONBLOCK | O_CLOEXEC;
        int fd;
        switch (permission) {
        case fsRdPerm: fd = ::open(path.c_str(), O_RDONLY | kFlags); break;
        case fsWrPerm: fd = ::open(path.c_str(), O_WRONLY | kFlags); break;
        case fsRdWrPerm: fd = ::open(path.c_str(), O_RDWR | kFlags); break;
        case fsCurPerm:
            fd = ::open(path.c_str(), O_RDWR | kFlags);
            if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = ::open(path.c_str(), O_RDONLY | kFlags);
            break;
        default: return paramErr;
        }
        if (fd < 0) return errno == ENXIO ? OSErr(ioErr) : ErrnoToOSErr(errno);
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return ioErr;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        SInt16 n = ReserveRefNum();
        if (n == 0) {
            ::close(fd);
            return tmfoErr;
        }
        {
            std::lock_guard<std::mutex> guard(gForkLock);
            gForks[n].fd = fd;
        }
        *refNum = n;
        return noErr;
    });
}

OSErr FSRead(SInt16 refNum, SInt32 *count, void *buffPtr) {
    if (!count || *count < 0 || (!buffPtr && *count > 0)) return paramErr;
    int fd = ForkFd(refNum);
    if (fd < 0) return rfNumErr;
    SInt32 done = 0;
    while (done < *count) {
        ssize_t n = ::read(fd, static_cast<char *>(buffPtr) + done, static_cast<size_t>(*count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *count = done;
            return errno == EBADF ? wrPermErr : ioErr;
        }
        if (n == 0) break;
        done += static_cast<SInt32>(n);
    }
    OSErr err = done < *count ? eofErr : noErr;
    *count = done;
    return err;
}

OSErr FSWrite(SInt16 refNum, SInt32 *count, const void *buffPtr) {
    if (!count || *count < 0 || (!buffPtr && *count > 0)) return paramErr;
    int fd = ForkFd(refNum);
    if (fd < 0) return rfNumErr;
    SInt32 done = 0;
    while (done < *count) {
        ssize_t n = ::write(fd, static_cast<const char *>(buffPtr) + done, static_cast<size_t>(*count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *count = done;
            return errno == EBADF ? OSErr(wrPermErr) : ErrnoToOSErr(errno);
        }
        done += static_cast<SInt32>(n);
    }
    *count = done;
    return noErr;
}

OSErr FSClose(SInt16 refNum) {
    int fd;
    {
        std::lock_guard<std::mutex> guard(gForkLock);
        auto it = gForks.find(refNum);
        if (it == gForks.end() || it->second.fd < 0) return rfNumErr;
        fd = it->second.fd;
        gForks.erase(it);
    }
    return ::close(fd) == 0 ? noErr : ioErr;
}

OSErr GetEOF(SInt16 refNum, SInt32 *logEOF) {
    if (!logEOF) return paramErr;
    int fd = ForkFd(refNum);
    if (fd < 0) return rfNumErr;
    struct stat st;
    if (::fstat(fd, &st) != 0) return ioErr;
    if (st.st_size > INT32_MAX) return ioErr;
    *logEOF = static_cast<SInt32>(st.st_size);
    return noErr;
}

OSErr SetEOF(SInt16 refNum, SInt32 logEOF) {
    if (logEOF < 0) return paramErr;
    int fd = ForkFd(refNum);
    if (fd < 0) return rfNumErr;
    if (::ftruncate(fd, logEOF) != 0) return errno == EBADF || errno == EINVAL ? OSErr(wrPermErr) : ErrnoToOSErr(errno);
    // The mark never lies past the end.
    off_t mark = ::lseek(fd, 0, SEEK_CUR);
    if (mark > logEOF) ::lseek(fd, logEOF, SEEK_SET);
    return noErr;
}

OSErr GetFPos(SInt16 refNum, SInt32 *filePos) {
    if (!filePos) return paramErr;
    int fd = ForkFd(refNum);
    if (fd < 0) return rfNumErr;
    off_t mark = ::lseek(fd, 0, SEEK_CUR);
    if (mark < 0 || mark > INT32_MAX) return ioErr;
    *filePos = static_cast<SInt32>(mark);
    return noErr;
}

OSErr SetFPos(SInt16 refNum, SInt16 posMode, SInt32 posOff) {
    int fd = ForkFd(refNum);
    if (fd < 0) return rfNumErr;
    struct stat st;
    if (::fstat(fd, &st) != 0) return ioErr;
    off_t mark = ::lseek(fd, 0, SEEK_CUR);
    long long target;
    switch (posMode) {
    case fsAtMark: return noErr;
    case fsFromStart: target = posOff; break;
    case fsFromLEOF: target = static_cast<long long>(st.st_size) + posOff; break;
    case fsFromMark: target = static_cast<long long>(mark) + posOff; break;
    default: return paramErr;
    }
    if (target < 0) return posErr;
    if (target > st.st_size) {
        ::lseek(fd, st.st_size, SEEK_SET);
        return eofErr;
    }
    ::lseek(fd, static_cast<off_t>(target), SEEK_SET);
    return noErr;
}

OSErr FSGetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo *catalogInfo,
                       HFSUniStr255 *outName, FSSpec *fsSpec, FSRef *parentRef) {
    if (!ref) return paramErr;
    return Guard([&]() -> OSErr {
        auto path = PathOfRef(*ref);
        if (!path) return errFSBadFSRef;
        struct stat st;
        if (::stat(path->c_str(), &st) != 0) return ErrnoToOSErr(errno);
        std::string dir = DirName(*path);
        if (catalogInfo) {
            if (whichInfo & kFSCatInfoNodeFlags) catalogInfo->nodeFlags = S_ISDIR(st.st_mode) ? kFSNodeIsDirectoryMask : 0;
            if (whichInfo & kFSCatInfoVolume) catalogInfo->volume = kQVVolumeRefNum;
            if (whichInfo & kFSCatInfoParentDirID)
                catalogInfo->parentDirID = *path == "/" ? static_cast<UInt32>(fsRtParID) : NodeIDOfPath(dir);
            if (whichInfo & kFSCatInfoNodeID) catalogInfo->nodeID = NodeIDOfPath(*path);
            if (whichInfo & kFSCatInfoDataSizes)
                catalogInfo->dataLogicalSize = S_ISDIR(st.st_mode) ? 0 : static_cast<UInt64>(st.st_size);
        }
        if (outName) {
            std::string name = *path == "/" ? std::string(kQVVolumeName) : BaseName(*path);
            auto chars = qv::cf::DecodeUTF8(name);
            std::u16string units = chars ? *chars : *qv::cf::DecodeMacRoman(name);
            outName->length = static_cast<UInt16>(std::min<size_t>(units.size(), 255));
            std::memcpy(outName->unicode, units.data(), outName->length * sizeof(UniChar));
        }
        if (fsSpec) SpecOfPath(*path, *fsSpec);
        if (parentRef) {
            std::memset(parentRef, 0, sizeof *parentRef);
            if (*path != "/") RefOfPath(dir, *parentRef);
        }
        return noErr;
    });
}

OSErr FSCompareFSRefs(const FSRef *ref1, const FSRef *ref2) {
    if (!ref1 || !ref2) return paramErr;
    return Guard([&]() -> OSErr {
        auto a = PathOfRef(*ref1);
        auto b = PathOfRef(*ref2);
        if (!a || !b) return errFSBadFSRef;
        if (*a == *b) return noErr;
        struct stat sa, sb;
        if (::stat(a->c_str(), &sa) == 0 && ::stat(b->c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
            sa.st_ino == sb.st_ino)
            return noErr;
        return diffRefErr;
    });
}

OSErr PBGetCatInfoSync(CInfoPBPtr pb) {
    if (!pb) return paramErr;
    OSErr err = Guard([&]() -> OSErr {
        DirInfo &d = pb->dirInfo;
        HFileInfo &f = pb->hFileInfo;
        if (!ValidVolume(d.ioVRefNum)) return nsvErr;
        std::string path;
        if (d.ioFDirIndex < 0) {
            auto dir = PathOfDirID(d.ioDrDirID);
            if (!dir) return dirNFErr;
            path = *dir;
        } else if (d.ioFDirIndex == 0) {
            OSErr e = ResolveSpec(d.ioVRefNum, d.ioDrDirID, PascalView(d.ioNamePtr), path);
            if (e != noErr) return e;
        } else {
            auto dir = PathOfDirID(d.ioDrDirID);
            if (!dir) return dirNFErr;
            DIR *listing = ::opendir(dir->c_str());
            if (!listing) return ErrnoToOSErr(errno);
            std::vector<std::string> names;
            while (dirent *e = ::readdir(listing)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") names.push_back(n);
            }
            ::closedir(listing);
            std::sort(names.begin(), names.end());
            if (static_cast<size_t>(d.ioFDirIndex) > names.size()) return fnfErr;
            path = Join(*dir, names[static_cast<size_t>(d.ioFDirIndex) - 1]);
        }
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) return ErrnoToOSErr(errno);
        if (d.ioNamePtr && d.ioFDirIndex != 0) {
            std::string name = path == "/" ? std::string(kQVVolumeName) : SpecNameOf(BaseName(path), path);
            SetPascal(d.ioNamePtr, name, kMaxSpecName);
        }
        SInt32 parent = path == "/" ? fsRtParID : static_cast<SInt32>(NodeIDOfPath(DirName(path)));
        if (S_ISDIR(st.st_mode)) {
            d.ioFlAttrib = kioFlAttribDirMask;
            d.ioDrDirID = static_cast<SInt32>(NodeIDOfPath(path));
            d.ioDrParID = parent;
            UInt32 entries = 0;
            if (DIR *listing = ::opendir(path.c_str())) {
                while (dirent *e = ::readdir(listing))
                    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++entries;
                ::closedir(listing);
            }
            d.ioDrNmFls = static_cast<UInt16>(std::min<UInt32>(entries, 0xFFFF));
        } else {
            f.ioFlAttrib = 0;
            f.ioDirID = static_cast<SInt32>(NodeIDOfPath(path));
            f.ioFlLgLen = static_cast<SInt32>(std::min<long long>(st.st_size, INT32_MAX));
            f.ioFlParID = parent;
        }
        return noErr;
    });
    pb->dirInfo.ioResult = err;
    return err;
}

OSStatus FSPathMakeRef(const UInt8 *path, FSRef *ref, Boolean *isDirectory) {
    if (!path || !ref || !path[0]) return paramErr;
    return Guard([&]() -> OSErr {
        std::string full = NormalizePath(reinterpret_cast<const char *>(path));
        if (full.empty()) return ioErr;
        OSErr err = RefOfPath(full, *ref);
        if (err == noErr && isDirectory) *isDirectory = IsDirectory(full);
        return err;
    });
}

OSStatus FSRefMakePath(const FSRef *ref, UInt8 *path, UInt32 maxPathSize) {
    if (!ref || !path || maxPathSize == 0) return paramErr;
    return Guard([&]() -> OSErr {
        auto p = PathOfRef(*ref);
        if (!p) return errFSBadFSRef;
        if (p->size() + 1 > maxPathSize) return paramErr;
        std::memcpy(path, p->c_str(), p->size() + 1);
        return noErr;
    });
}

OSErr QVFSSpecFromPath(const char *path, FSSpec *fss) {
    if (!path || !fss || !path[0]) return paramErr;
    return Guard([&]() -> OSErr {
        std::string full = NormalizePath(path);
        if (full.empty()) return ioErr;
        return SpecOfPath(full, *fss);
    });
}

OSErr QVFSSpecGetPath(const FSSpec *fss, char *path, UInt32 maxPathSize) {
    if (!fss || !path || maxPathSize == 0) return paramErr;
    return Guard([&]() -> OSErr {
        std::string p;
        OSErr err = PathOfSpec(*fss, p);
        if (err != noErr) return err;
        if (p.size() + 1 > maxPathSize) return paramErr;
        std::memcpy(path, p.c_str(), p.size() + 1);
        return noErr;
    });
}

void QVResInjectWriteFailures(int count, QVWriteFailStage stage) {
    gFailStage.store(stage);
    gFailingWrites.store(count < 0 ? 0 : count);
}

} // extern "C"
