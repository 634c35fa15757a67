// FuzzFiles.h: a scratch folder for fuzz targets that must hand their input
// to code that reads files (in memory when /dev/shm is there), and a check
// that stops the run when an invariant fails.
#ifndef QUELVANE_FUZZFILES_H
#define QUELVANE_FUZZFILES_H

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

// A folder made once per process; never removed while the fuzzer runs.
inline const std::string &FuzzScratchFolder() {
    static const std::string folder = [] {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string templ = base + "/quelvane-fuzz-XXXXXX";
        if (!mkdtemp(templ.data())) abort();
        return templ;
    }();
    return folder;
}

inline void FuzzWriteFile(const std::string &path, const uint8_t *data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) abort();
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n <= 0) abort();
        data += n;
        size -= static_cast<size_t>(n);
    }
    close(fd);
}

// A broken invariant is a finding: report it and crash so that libFuzzer
// keeps the input.
#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            abort();                                                                  \
        }                                                                             \
    } while (0)

#endif // QUELVANE_FUZZFILES_H
