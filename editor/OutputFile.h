// OutputFile.h: an output that appears under its name only when complete.
// The file is written under a hidden temporary name in the output's folder
// and renamed over the output at commit(); until then, and whenever the
// program is stopped by SIGINT or SIGTERM, the temporary file is removed and
// nothing exists under the output's name that was not there before.
//
// One OutputFile at a time; it owns its temporary file.
#ifndef QUELVANE_EDITOR_OUTPUTFILE_H
#define QUELVANE_EDITOR_OUTPUTFILE_H

#include <string>

namespace qvhost {

// Installs the SIGINT/SIGTERM handlers: the first signal asks the render to
// stop (StopRequested), a second one removes the temporary file and ends the
// process at once.
void InstallStopHandlers();
// The signal that asked to stop, or 0.
int StopRequested();
// For tests: forget a stop request.
void ClearStopRequest();

// Throws HostError (kExitOutput) when `output` would replace `input`.
void CheckNotSameFile(const std::string &input, const std::string &output);

class OutputFile {
public:
    // Creates the temporary file. Throws HostError (kExitOutput) when the
    // folder is missing or not writable.
    explicit OutputFile(const std::string &path);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const std::string &tempPath() const { return temp_; }
    // Renames the temporary file to the output's name.
    void commit();

private:
    std::string path_;
    std::string temp_;
    bool committed_ = false;
};

}  // namespace qvhost

#endif
