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
#include <poll.h>
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
// prints goes through pipes, which no file size limit of the child cuts short.
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
        if (o.fileLimit) {
            signal(SIGXFSZ, SIG_IGN);
            rlimit lim{o.fileLimit, o.fileLimit};
            setrlimit(RLIMIT_FSIZE, &lim);
        }
        if (o.memoryLimit) {
            setenv("MALLOC_ARENA_MAX", "2", 1);
            rlimit lim{o.memoryLimit, o.memoryLimit};
            setrlimit(RLIMIT_AS, &lim);
        }
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

inline Result Finish(Child &c) {
    Result r;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(c.timeoutSeconds);
    pollfd fds[2] = {{c.out, POLLIN, 0}, {c.err, POLLIN, 0}};
    std::string *texts[2] = {&r.out, &r.err};
    for (int open = 2; open > 0;) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the child did not end within " << c.timeoutSeconds << " s: killed";
            kill(c.pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, 100) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) texts[i]->append(buf, static_cast<size_t>(n));
            else fds[i].fd = -1, --open;
        }
    }
    close(c.out);
    close(c.err);
    int wstatus = 0;
    waitpid(c.pid, &wstatus, 0);
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    return r;
}

// Runs a program and waits for it.
inline Result RunProgram(const std::string &program, const std::vector<std::string> &args,
                         const RunOptions &o = {}) {
    Child c = Start(program, args, o);
    return Finish(c);
}

// Waits until the part file of process `pid` in `dir` holds at least `bytes` bytes.
inline bool WaitForPart(const std::string &dir, pid_t pid, uintmax_t bytes) {
    const std::string suffix = ".part-" + std::to_string(pid);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (pid > 0 && std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (const auto &e : std::filesystem::directory_iterator(dir, ec)) {
            const std::string name = e.path().filename().string();
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
                std::filesystem::file_size(e.path(), ec) >= bytes && !ec)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// quelvane-host, quiet.
inline std::vector<std::string> HostArgs(const std::vector<std::string> &args) {
    std::vector<std::string> all{"-q"};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}
inline Result Host(const std::vector<std::string> &args, const RunOptions &o = {}) {
    return RunProgram(Bin("quelvane-host"), HostArgs(args), o);
}

}  // namespace qvtest

#endif
