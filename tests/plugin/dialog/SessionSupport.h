// SessionSupport.h: what the dialog-session tests put around the plug-in's
// custom-button request: probes that a script triggers with the command "Prob" (they
// run test code while the window is open), captured alerts, a counter of
// saves of the preferences file, and a copy of the built bundle whose files
// a test may remove.
//
// Ownership: each helper installs itself on construction and removes what
// it installed on destruction.
#ifndef QUELVANE_SESSIONSUPPORT_H
#define QUELVANE_SESSIONSUPPORT_H

#include "TestHost.h"
#include "toolbox/Alerts.h"
#include "toolbox/CarbonEvents.h"

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace dlgtest {

// The colour (0xRRGGBB) of frame f as the test host lends it.
UInt32 FrameColour(SInt32 frame);
// The frame numbers the host was asked for, in order.
std::vector<SInt32> RequestedFrames(const qvtest::TestHost &host);

// Test code run while a window is open: each "command Prob" of a script
// runs the next queued probe (in the application's command handling, after
// the windows passed the command on).
class Probes {
public:
    Probes();
    ~Probes();
    void Add(std::function<void()> probe) { queue_.push_back(std::move(probe)); }
    size_t Left() const { return queue_.size(); }

private:
    static OSStatus Handler(EventHandlerCallRef, EventRef, void *);
    std::deque<std::function<void()>> queue_;
    EventHandlerRef handler_ = nullptr;
};

// Every alert shown, answered with its default button.
class AlertLog {
public:
    AlertLog();
    ~AlertLog();
    struct Shown {
        std::string headline, description;
    };
    std::vector<Shown> alerts;

private:
    static DialogItemIndex Present(const QVAlertContent *, void *);
    QVAlertPresenterProc previous_;
    void *previousRefCon_ = nullptr;
};

// Counts completed writes of the preferences file from now on.
class SaveCounter {
public:
    SaveCounter();
    ~SaveCounter();
    int Count();

private:
    int fd_ = -1;
    int count_ = 0;
};

// The preferences file's bytes ("" when there is none).
std::string PrefsFileBytes();

// A copy of the built bundle in a temporary folder, made the bundle the
// process finds (QUELVANE_BUNDLE) before anything looks one up.
std::string CopyBundleForTests();
// The copy's resource folder.
std::string BundleResources();
// Removes the copy.
void RemoveBundleCopy();

} // namespace dlgtest

#endif // QUELVANE_SESSIONSUPPORT_H
