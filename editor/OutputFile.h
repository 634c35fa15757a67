// OutputFile.h: an output that appears under its name only when complete.
// The file is written under a hidden temporary name in the output's folder
// (".NAME.part-PID", shortened with a hash of NAME when that would be too
// long for the file system) and renamed over the output at commit(), taking
// the permissions of the file it replaces. Until then, and whenever the
// program is stopped by SIGINT, SIGTERM, SIGHUP or SIGQUIT, the temporary
// file is removed and nothing exists under the output's name that was not
// there before. The temporary file stays locked while its run lives, so a
// later run of the same output can tell a part file left by a killed run
// from one still being written, and removes only the former.
//
// One OutputFile at a time; it owns its temporary file.
#ifndef QUELVANE_EDITOR_OUTPUTFILE_H
#define QUELVANE_EDITOR_OUTPUTFILE_H

#include <string>

namespace qvhost {

// Installs the handlers of SIGINT, SIGTERM, SIGHUP and SIGQUIT: the first
// signal asks the program to stop (StopRequested), a second one removes the
// temporary file and ends the process at once with 128 + the signal.
void InstallStopHandlers();
// The signal that asked to stop, or 0.
int StopRequested();

// Throws HostError (kExitOutput) when `output` would replace `input`.
void CheckNotSameFile(const std::string &input, const std::string &output);

class OutputFile {
public:
    // Removes what killed runs of the same output left, then creates the
    // temporary file. Throws HostError (kExitOutput) when the folder is
    // missing or not writable.
    explicit OutputFile(const std::string &path);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const std::string &tempPath() const { return temp_; }
    // Renames the temporary file to the output's name.
    void commit();

private:
    std::string path_;
    std::string name_;  // of the temporary file, in the folder dir_
    std::string temp_;
    int dir_ = -1;
    int lock_ = -1;     // the temporary file, locked for as long as it exists
    bool committed_ = false;
};

}  // namespace qvhost

#endif
