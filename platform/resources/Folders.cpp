// Folder Manager stand-in: the platform's special folders as the XDG base
// directories of the user.
#include "resources/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include "resources/FilesInternal.h"

namespace {

std::string HomeDirectory() {
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

// An absolute path from the variable, else home + fallback; "" when there
// is no home either.
std::string BaseDirectory(const char *variable, const char *fallback) {
    const char *value = std::getenv(variable);
    if (value && value[0] == '/') return value;
    std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + "/" + fallback;
}

OSErr MakeDirectories(const std::string &path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? OSErr(noErr) : OSErr(dirNFErr);
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        OSErr err = MakeDirectories(path.substr(0, slash));
        if (err != noErr) return err;
    }
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return qv::files::ErrnoToOSErr(errno);
    return noErr;
}

OSErr FolderPath(SInt16 vRefNum, OSType folderType, Boolean createFolder, std::string &path) {
    if (vRefNum != kOnSystemDisk && vRefNum != kOnAppropriateDisk && vRefNum != kUserDomain && vRefNum != 0 &&
        vRefNum != kQVVolumeRefNum)
        return nsvErr;
    switch (folderType) {
    case kPreferencesFolderType: path = BaseDirectory("XDG_CONFIG_HOME", ".config"); break;
    case kApplicationSupportFolderType: path = BaseDirectory("XDG_DATA_HOME", ".local/share"); break;
    case kTemporaryFolderType: {
        const char *tmp = std::getenv("TMPDIR");
        path = tmp && tmp[0] == '/' ? tmp : "/tmp";
        break;
    }
    default: return fnfErr;
    }
    if (path.empty()) return fnfErr;
    path = qv::files::NormalizePath(path);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? OSErr(noErr) : OSErr(dirNFErr);
    if (errno != ENOENT) return qv::files::ErrnoToOSErr(errno);
    if (!createFolder) return fnfErr;
    return MakeDirectories(path);
}

} // namespace

extern "C" {

OSErr FindFolder(SInt16 vRefNum, OSType folderType, Boolean createFolder, SInt16 *foundVRefNum,
                 SInt32 *foundDirID) {
    if (!foundVRefNum || !foundDirID) return paramErr;
    try {
        std::string path;
        OSErr err = FolderPath(vRefNum, folderType, createFolder, path);
        if (err != noErr) return err;
        *foundVRefNum = kQVVolumeRefNum;
        *foundDirID = static_cast<SInt32>(qv::files::NodeIDOfPath(path));
        return noErr;
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
}

OSErr FSFindFolder(SInt16 vRefNum, OSType folderType, Boolean createFolder, FSRef *foundRef) {
    if (!foundRef) return paramErr;
    try {
        std::string path;
        OSErr err = FolderPath(vRefNum, folderType, createFolder, path);
        if (err != noErr) return err;
        return qv::files::RefOfPath(path, *foundRef);
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
}

} // extern "C"
