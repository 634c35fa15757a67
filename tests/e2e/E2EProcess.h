// E2EProcess.h: runs the built programs (quelvane-host, quelvane-prefs) and
// ffmpeg for the end-to-end tests in a child process without a display,
// with its own preferences folder and limits, and hands back the exit status
// and what it printed. A child still running after its time is killed, so a
// hang fails the test instead of stalling the suite.
#ifndef QUELVANE_TESTS_E2EPROCESS_H
#define QUELVANE_TESTS_E2EPROCESS_H

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
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
    int status = -1;  // the exit status, or 128 + the signal that ended the child
    std::string out, err;
};

struct RunOptions {
    std::string prefs{};      // XDG_CONFIG_HOME for the child
    rlim_t fileLimit = 0;     // RLIMIT_FSIZE, 0: none
    rlim_t memoryLimit = 0;   // RLIMIT_AS, 0: none
    std::string stdoutPath{}; // the child's standard output, instead of capturing it
    int timeoutSeconds = 300;
};

struct Child {
    pid_t pid = -1;
    int out = -1, err = -1;  // the read ends of its standard output and error
    int timeoutSeconds = 300;
};

// Starts a program, its standard input empty; Finish waits for it. What it
// prints goes through pipes (which no file size limit of the child cuts
// short), so it must fit in their buffers (64 KB).
inline Child Start(const std::string &program, const std::vector<std::string> &args, const RunOptions &o = {}) {
    Child c;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return c;
    c.timeoutSeconds = o.timeoutSeconds;
    c.pid = fork();
    if (c.pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(o.stdoutPath.empty() ? outPipe[1] : open(o.stdoutPath.c_str(), O_WRONLY), 1);
        dup2(errPipe[1], 2);
        if (!o.prefs.empty()) setenv("XDG_CONFIG_HOME", o.prefs.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        signal(SIGXFSZ, SIG_IGN);
        setenv("MALLOC_ARENA_MAX", "2", 1);
        const rlimit file{o.fileLimit, o.fileLimit}, memory{o.memoryLimit, o.memoryLimit};
        if (o.fileLimit) setrlimit(RLIMIT_FSIZE, &file);
        if (o.memoryLimit) setrlimit(RLIMIT_AS, &memory);
        std::vector<char *> argv{const_cast<char *>(program.c_str())};
        for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    c.out = outPipe[0];
    c.err = errPipe[0];
    return c;
}

inline std::string Drain(int fd) {
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    close(fd);
    return text;
}

inline Result Finish(Child &c) {
    int wstatus = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(c.timeoutSeconds);
    while (waitpid(c.pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the child did not end within " << c.timeoutSeconds << " s: killed";
            kill(c.pid, SIGKILL);
            waitpid(c.pid, &wstatus, 0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Result r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    r.out = Drain(c.out);
    r.err = Drain(c.err);
    return r;
}

// Runs a program and waits for it.
inline Result RunProgram(const std::string &program, const std::vector<std::string> &args,
                         const RunOptions &o = {}) {
    Child c = Start(program, args, o);
    return Finish(c);
}

// Waits until the file at `path` holds at least `bytes` bytes.
inline bool WaitForFile(const std::string &path, uintmax_t bytes) {
    std::error_code ec;
    for (int i = 0; i < 6000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (std::filesystem::file_size(path, ec) >= bytes && !ec) return true;
    return false;
}

// quelvane-host, quiet.
inline Child StartHost(std::vector<std::string> args, const RunOptions &o = {}) {
    args.insert(args.begin(), "-q");
    return Start(Bin("quelvane-host"), args, o);
}
inline Result Host(const std::vector<std::string> &args, const RunOptions &o = {}) {
    Child c = StartHost(args, o);
    return Finish(c);
}

}  // namespace qvtest

#endif
