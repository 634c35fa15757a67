// Temporary output files, their locks and clean-up, atomic rename, and the
// stop signals.
#include "OutputFile.h"

#include "HostError.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvhost {

namespace fs = std::filesystem;

namespace {

std::atomic<int> gStop{0};
// The temporary file of the OutputFile alive, for the second-signal exit:
// its folder (a descriptor) and its name there.
volatile sig_atomic_t gTempDir = -1;
char gTempName[NAME_MAX + 1];

void OnStop(int sig) {
    // One exchange, so that two signals handled at once on two threads still
    // count as two.
    if (gStop.exchange(sig) != 0) {
        if (gTempDir >= 0) unlinkat(gTempDir, gTempName, 0);
        _exit(128 + sig);
    }
}

constexpr char kPart[] = ".part-";
constexpr size_t kPidDigits = 10;
// A part file younger than this, of a process that still runs, may be one
// that its run has not locked yet.
constexpr time_t kFreshSeconds = 10;

// The start of the temporary name of output file `name`, to which the
// process ID is added: ".NAME.part-", or, when that would not fit in
// nameMax bytes, the start of NAME and a hash of all of it.
std::string PartPrefix(const std::string &name, size_t nameMax) {
    std::string prefix = "." + name + kPart;
    if (prefix.size() + kPidDigits <= nameMax) return prefix;
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char tag[18];
    std::snprintf(tag, sizeof tag, "~%016llx", static_cast<unsigned long long>(hash));
    size_t keep = nameMax - kPidDigits - (sizeof kPart - 1) - 1 - (sizeof tag - 1);
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;  // whole characters
    return "." + name.substr(0, keep) + tag + kPart;
}

// Removes part files of the same output that no live run holds: unlocked,
// and not just made by a process that still runs.
void RemoveStaleParts(int dir, const std::string &prefix) {
    const int listFd = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *d = listFd >= 0 ? fdopendir(listFd) : nullptr;
    if (!d) {
        if (listFd >= 0) close(listFd);
        return;
    }
    while (const dirent *e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string pid = name.substr(prefix.size());
        if (pid.size() > kPidDigits || pid.find_first_not_of("0123456789") != std::string::npos) continue;
        const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {}, now {};
        const bool running = kill(static_cast<pid_t>(std::stoll(pid)), 0) == 0 || errno == EPERM;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            !(running && std::time(nullptr) - st.st_mtime < kFreshSeconds) &&
            fstatat(dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == st.st_ino &&
            now.st_dev == st.st_dev)
            unlinkat(dir, name.c_str(), 0);
        close(fd);
    }
    closedir(d);
}

}  // namespace

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(sig, &sa, nullptr);
}

int StopRequested() { return gStop.load(); }

void CheckNotSameFile(const std::string &input, const std::string &output) {
    std::error_code ec;
    if (fs::exists(output, ec) && fs::equivalent(input, output, ec) && !ec)
        throw HostError(kExitOutput, output + ": would overwrite the input");
}

OutputFile::OutputFile(const std::string &path) : path_(path) {
    const fs::path p(path);
    fs::path dir = p.parent_path();
    if (dir.empty()) dir = ".";
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        throw HostError(kExitOutput, path + ": the folder " + dir.string() + " does not exist");
    if (fs::is_directory(p, ec)) throw HostError(kExitOutput, path + ": is a folder");
    dir_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_ < 0)
        throw HostError(kExitOutput, path + ": cannot open the folder " + dir.string() + ": " + std::strerror(errno));
    const long nameMax = fpathconf(dir_, _PC_NAME_MAX);
    const std::string prefix = PartPrefix(p.filename().string(), nameMax > 0 ? nameMax : NAME_MAX);
    RemoveStaleParts(dir_, prefix);
    name_ = prefix + std::to_string(getpid());
    temp_ = (dir / name_).string();
    lock_ = openat(dir_, name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (lock_ < 0) {
        const int e = errno;
        close(dir_);
        if (e == ENOSPC || e == EDQUOT) throw HostError(kExitOutput, path + ": the disk is full");
        throw HostError(kExitOutput, path + ": cannot write in the folder " + dir.string() + ": " + std::strerror(e));
    }
    flock(lock_, LOCK_EX | LOCK_NB);
    if (name_.size() < sizeof gTempName) {
        std::memcpy(gTempName, name_.c_str(), name_.size() + 1);
        gTempDir = dir_;
    }
}

OutputFile::~OutputFile() {
    gTempDir = -1;
    if (!committed_) unlinkat(dir_, name_.c_str(), 0);
    close(lock_);
    close(dir_);
}

void OutputFile::commit() {
    if (const int sig = StopRequested()) throw HostError(128 + sig, "interrupted");
    // A replaced output keeps its permissions.
    struct stat old {};
    if (stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) fchmod(lock_, old.st_mode & 07777);
    if (renameat(dir_, name_.c_str(), AT_FDCWD, path_.c_str()) != 0)
        throw HostError(kExitOutput, path_ + ": cannot be written: " + std::strerror(errno));
    committed_ = true;
    gTempDir = -1;
}

}  // namespace qvhost
