// HostError.h: the one exception type of the host program. Every failure the
// user should hear about is thrown as a HostError carrying a one-line message
// and the exit status the program ends with; nothing else is thrown on
// purpose. The exit statuses are documented in `quelvane-host --help`.
#ifndef QUELVANE_EDITOR_HOSTERROR_H
#define QUELVANE_EDITOR_HOSTERROR_H

#include <stdexcept>
#include <string>

namespace qvhost {

// Exit statuses of quelvane-host.
enum ExitStatus : int {
    kExitOK = 0,
    kExitRenderFailed = 1,  // decoding, the plug-in or encoding failed during a render
    kExitUsage = 2,         // bad command line
    kExitInput = 3,         // the input cannot be read as a video clip
    kExitOutput = 4,        // the output cannot be written (folder, disk, would overwrite the input)
    kExitPlugin = 5,        // the plug-in bundle cannot be loaded
    kExitInterrupted = 130  // stopped by SIGINT (SIGTERM: 143)
};

class HostError : public std::runtime_error {
public:
    HostError(int status, const std::string &message) : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

// The text of an FFmpeg error code.
std::string AvErrorText(int err);

}  // namespace qvhost

#endif
