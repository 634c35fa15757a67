// Temporary output files, atomic rename, and the stop signals.
#include "OutputFile.h"

#include "HostError.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qvhost {

namespace fs = std::filesystem;

namespace {

std::atomic<int> gStop{0};
// The temporary file of the OutputFile alive, for the second-signal exit.
char gTempPath[4096];
volatile sig_atomic_t gTempSet = 0;

void OnStop(int sig) {
    if (gStop.load() != 0) {
        if (gTempSet) unlink(gTempPath);
        _exit(128 + sig);
    }
    gStop.store(sig);
}

}  // namespace

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int StopRequested() { return gStop.load(); }
void ClearStopRequest() { gStop.store(0); }

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
    if (!fs::is_directory(dir, ec)) throw HostError(kExitOutput, path + ": the folder " + dir.string() + " does not exist");
    if (fs::is_directory(p, ec)) throw HostError(kExitOutput, path + ": is a folder");
    temp_ = (dir / ("." + p.filename().string() + ".part-" + std::to_string(getpid()))).string();
    const int fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int e = errno;
        if (e == ENOSPC || e == EDQUOT) throw HostError(kExitOutput, path + ": the disk is full");
        throw HostError(kExitOutput, path + ": cannot write in the folder " + dir.string() + ": " + std::strerror(e));
    }
    close(fd);
    if (temp_.size() < sizeof gTempPath) {
        std::memcpy(gTempPath, temp_.c_str(), temp_.size() + 1);
        gTempSet = 1;
    }
}

OutputFile::~OutputFile() {
    gTempSet = 0;
    if (!committed_) unlink(temp_.c_str());
}

void OutputFile::commit() {
    if (StopRequested()) throw HostError(kExitInterrupted, "interrupted");
    if (rename(temp_.c_str(), path_.c_str()) != 0)
        throw HostError(kExitOutput, path_ + ": cannot be written: " + std::strerror(errno));
    committed_ = true;
    gTempSet = 0;
}

}  // namespace qvhost
