// SessionSupport.cpp: probes, alert log, save counter, bundle copy.
#include "SessionSupport.h"

#include "DialogTestSupport.h"
#include "corefoundation/CFString.h"
#include "quickdraw/QuickDraw.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/inotify.h>
#include <unistd.h>

namespace dlgtest {

UInt32 FrameColour(SInt32 frame)
{
    UInt8 argb[4];
    qvtest::TestHost::FrameColor(frame, argb);
    return UInt32(argb[1]) << 16 | UInt32(argb[2]) << 8 | argb[3];
}

std::vector<SInt32> RequestedFrames(const qvtest::TestHost &host)
{
    std::vector<SInt32> frames;
    for (const qvtest::HostCall &call : host.CallsNamed("GetFrame"))
        frames.push_back(static_cast<SInt32>(call.args[1]));
    return frames;
}

Probes::Probes()
{
    const EventTypeSpec commandEvent{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetApplicationEventTarget(), NewEventHandlerUPP(&Probes::Handler), 1, &commandEvent, this, &handler_);
}

Probes::~Probes()
{
    RemoveEventHandler(handler_);
}

OSStatus Probes::Handler(EventHandlerCallRef, EventRef e, void *userData)
{
    HICommand command{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    if (command.commandID != QV_FOURCC('P', 'r', 'o', 'b'))
        return eventNotHandledErr;
    auto *self = static_cast<Probes *>(userData);
    if (self->queue_.empty()) {
        ADD_FAILURE() << "a probe command with no probe queued";
        return noErr;
    }
    auto probe = std::move(self->queue_.front());
    self->queue_.pop_front();
    probe();
    return noErr;
}

namespace {
std::string Utf8(CFStringRef text)
{
    if (!text)
        return std::string();
    CFIndex needed = QVCFStringGetUTF8(text, nullptr, 0);
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    QVCFStringGetUTF8(text, out.data(), needed + 1);
    out.resize(static_cast<size_t>(needed));
    return out;
}
} // namespace

AlertLog::AlertLog()
{
    previous_ = QVGetAlertPresenter(&previousRefCon_);
    QVSetAlertPresenter(&AlertLog::Present, this);
}

AlertLog::~AlertLog()
{
    QVSetAlertPresenter(previous_, previousRefCon_);
}

DialogItemIndex AlertLog::Present(const QVAlertContent *alert, void *refCon)
{
    static_cast<AlertLog *>(refCon)->alerts.push_back({Utf8(alert->messageText), Utf8(alert->explanationText)});
    return alert->defaultButton;
}

namespace {
std::string PrefsFolder()
{
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg)
        return xdg;
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config";
}
} // namespace

SaveCounter::SaveCounter()
{
    fd_ = inotify_init1(IN_NONBLOCK);
    if (fd_ >= 0)
        inotify_add_watch(fd_, PrefsFolder().c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
}

SaveCounter::~SaveCounter()
{
    if (fd_ >= 0)
        close(fd_);
}

int SaveCounter::Count()
{
    alignas(inotify_event) char buffer[4096];
    while (fd_ >= 0) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (char *p = buffer; p < buffer + n;) {
            auto *event = reinterpret_cast<inotify_event *>(p);
            const bool prefs = event->len > 0 && std::string(event->name) == "qrvtn-Prefs";
            // An atomic replace arrives as a rename; a write in place as a close.
            if (prefs && (event->mask & (IN_MOVED_TO | IN_CLOSE_WRITE)))
                ++count_;
            p += sizeof(inotify_event) + event->len;
        }
    }
    return count_;
}

std::string PrefsFileBytes()
{
    std::ifstream in(PrefsFolder() + "/qrvtn-Prefs", std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

namespace {
std::string gBundleCopy;
}

std::string CopyBundleForTests()
{
    namespace fs = std::filesystem;
    const char *built = std::getenv("QUELVANE_BUNDLE");
    if (!built)
        return std::string();
    char folder[] = "/tmp/quelvane-dialog-bundle-XXXXXX";
    if (!mkdtemp(folder))
        return std::string();
    gBundleCopy = std::string(folder) + "/Quelvane.plugin";
    fs::copy(built, gBundleCopy, fs::copy_options::recursive);
    setenv("QUELVANE_BUNDLE", gBundleCopy.c_str(), 1);
    return gBundleCopy;
}

std::string BundleResources()
{
    return gBundleCopy + "/Contents/Resources";
}

void RemoveBundleCopy()
{
    if (gBundleCopy.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(gBundleCopy).parent_path(), ignored);
    gBundleCopy.clear();
}

} // namespace dlgtest
