// E2EProcess.h: runs the built programs (quelvane-host, quelvane-prefs) for
// the end-to-end tests in a child process without a display, with its own
// preferences folder, and hands back the exit status and what it printed.
#ifndef QUELVANE_TESTS_E2EPROCESS_H
#define QUELVANE_TESTS_E2EPROCESS_H

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qvtest {

inline std::string Bin(const std::string &name) {
    const char *dir = std::getenv("QUELVANE_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/bin/" + name;
}

struct Result {
    int status = -1;
    std::string out, err;
};

struct RunOptions {
    std::string prefs;      // XDG_CONFIG_HOME for the child
    rlim_t fileLimit = 0;   // RLIMIT_FSIZE, 0: none
    int interruptWhen = 0;  // SIGINT once a ".part" file in watchDir holds this many bytes
    std::string watchDir;
};

inline std::string Slurp(const std::string &path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs a program and waits for it.
inline Result RunProgram(const std::string &program, const std::vector<std::string> &args,
                         const RunOptions &o = {}) {
    char outPath[] = "/tmp/quelvane-e2e-out-XXXXXX";
    char errPath[] = "/tmp/quelvane-e2e-err-XXXXXX";
    const int outFd = mkstemp(outPath), errFd = mkstemp(errPath);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outFd, 1);
        dup2(errFd, 2);
        if (!o.prefs.empty()) setenv("XDG_CONFIG_HOME", o.prefs.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        if (o.fileLimit) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit lim{o.fileLimit, o.fileLimit};
            setrlimit(RLIMIT_FSIZE, &lim);
        }
        std::vector<char *> argv{const_cast<char *>(program.c_str())};
        for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (o.interruptWhen > 0) {
        // Wait until the render is under way, then interrupt it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool sent = false;
        while (!sent && std::chrono::steady_clock::now() < deadline) {
            std::error_code ec;
            for (const auto &e : std::filesystem::directory_iterator(o.watchDir, ec))
                if (e.path().filename().string().find(".part") != std::string::npos &&
                    std::filesystem::file_size(e.path(), ec) >= static_cast<uintmax_t>(o.interruptWhen)) {
                    kill(pid, SIGINT);
                    sent = true;
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(sent) << "the render never got under way";
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    Result r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    r.out = Slurp(outPath);
    r.err = Slurp(errPath);
    close(outFd);
    close(errFd);
    unlink(outPath);
    unlink(errPath);
    return r;
}

// quelvane-host, quiet.
inline Result Host(const std::vector<std::string> &args, const RunOptions &o = {}) {
    std::vector<std::string> all{"-q"};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(Bin("quelvane-host"), all, o);
}

}  // namespace qvtest

#endif
