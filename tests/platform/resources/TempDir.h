// A temporary folder for one test, removed with everything in it afterwards.
#ifndef QUELVANE_TESTS_TEMPDIR_H
#define QUELVANE_TESTS_TEMPDIR_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "quelvane-test-XXXXXX").string();
        mPath = ::mkdtemp(templ.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &Path() const { return mPath; }
    std::string operator/(const std::string &name) const { return mPath + "/" + name; }

    static std::string Read(const std::string &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Write(const std::string &path, const std::string &bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

private:
    std::string mPath;
};

#endif // QUELVANE_TESTS_TEMPDIR_H
