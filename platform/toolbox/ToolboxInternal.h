// ToolboxInternal.h: the records behind the toolbox's opaque references and
// the interface between the toolbox core and its front ends (internal to the
// platform library). The core owns every record here; front ends keep only
// their own view objects, attached through the frontData fields, and drop
// them when told that a window goes away.
#ifndef QUELVANE_TOOLBOXINTERNAL_H
#define QUELVANE_TOOLBOXINTERNAL_H

#include "quickdraw/QuickDraw.h"
#include "toolbox/Alerts.h"
#include "toolbox/CarbonEvents.h"
#include "toolbox/ColorPicker.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"
#include "toolbox/NibDescription.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <memory>
#include <string>
#include <vector>

struct OpaqueEventHandlerRef {
    OpaqueEventTargetRef *target = nullptr;
    EventHandlerUPP proc = nullptr;
    std::vector<EventTypeSpec> types;
    void *userData = nullptr;
    bool removed = false;
    bool wants(UInt32 eventClass, UInt32 eventKind) const;
};

namespace qvtb {
enum class TargetKind { Application, Window, Control, Menu };
}

struct OpaqueEventTargetRef {
    qvtb::TargetKind kind;
    void *owner; // the window, control or menu (nullptr for the application)
    std::vector<std::shared_ptr<OpaqueEventHandlerRef>> handlers; // in install order
};

struct OpaqueEventRef {
    struct Param {
        EventParamName name;
        EventParamType type;
        std::vector<UInt8> data;
    };
    UInt32 eventClass = 0;
    UInt32 eventKind = 0;
    EventTime when = 0;
    int references = 1;
    std::vector<Param> params;
};

struct OpaqueToolboxObjectClassRef {
    std::string classID;
    std::vector<EventTypeSpec> types;
    EventHandlerUPP handler = nullptr;
    void *userData = nullptr;
    int instances = 0;
    bool wants(UInt32 eventClass, UInt32 eventKind) const;
};

struct OpaqueMenuRef {
    std::vector<std::string> items;
    OpaqueEventTargetRef target{qvtb::TargetKind::Menu, nullptr, {}};
    ControlRef owner = nullptr;
};

struct OpaqueControlRef {
    qvtb::ControlType type = qvtb::ControlType::PushButton;
    ControlID id{0, 0};
    UInt32 command = 0;
    Rect bounds{0, 0, 0, 0};
    SInt32 value = 0, minimum = 0, maximum = 0;
    SInt64 reference = 0;
    std::string title;
    std::string text; // static and edit texts
    ControlEditTextSelectionRec selection{0, 0};
    bool visible = true, enabled = true, active = false, live = false;
    bool isDefault = false, isCancel = false;
    ControlPartCode hilite = 0;
    ControlActionUPP action = nullptr;
    OpaqueToolboxObjectClassRef *objectClass = nullptr;
    MenuRef menu = nullptr;
    WindowRef window = nullptr;
    OpaqueEventTargetRef target{qvtb::TargetKind::Control, nullptr, {}};
    void *frontData = nullptr;
};

namespace qvtb {
struct ModalFrame {
    WindowRef window;
    bool quit = false;
    bool windowGone = false;
    void *frontData = nullptr;
};
} // namespace qvtb

struct OpaqueWindowPtr {
    std::string name;
    std::string title;
    Rect content{0, 0, 0, 0}; // global
    GWorldPtr port = nullptr;
    bool visible = false, active = false;
    bool centered = false; // centred on the parent when first shown
    bool shown = false;    // has been shown once
    WindowRef parent = nullptr; // the window it was first shown over, if any
    std::vector<ControlRef> controls; // in description order (drawing order)
    ControlRef focus = nullptr;
    OpaqueEventTargetRef target{qvtb::TargetKind::Window, nullptr, {}};
    qvtb::ModalFrame *modal = nullptr;
    void *frontData = nullptr;
};

struct OpaqueIBNibRef {
    std::string name;
    qvtb::NibDescription description;
};

namespace qvtb {

// What a front end is told about a control.
enum ControlChange : unsigned {
    kChangedValue = 1,
    kChangedRange = 2,
    kChangedText = 4,
    kChangedVisibility = 8,
    kChangedEnabling = 16,
    kChangedHilite = 32,
    kChangedBounds = 64,
    kChangedMenu = 128,
    kChangedTitle = 256,
    kChangedFocus = 512
};

// A file chooser request of NavGetFile / NavPutFile.
struct FileRequest {
    bool save = false;
    bool allowMultiple = false;
    std::string title;       // window title
    std::string message;     // prompt
    std::string defaultName; // save: the proposed name
};

class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    virtual QVFrontEndKind kind() const = 0;
    virtual void windowCreated(WindowRef) {}
    virtual void windowDisposing(WindowRef) {}
    virtual void windowVisibilityChanged(WindowRef) {}
    virtual void windowBoundsChanged(WindowRef) {}
    virtual void windowTitleChanged(WindowRef) {}
    virtual void windowOrderChanged(WindowRef) {}
    virtual void controlChanged(ControlRef, unsigned /*ControlChange bits*/) {}
    // The given rectangle of the window's port changed.
    virtual void portChanged(WindowRef, const Rect &) {}
    // Blocks until frame.quit is set (or the loop cannot go on).
    virtual void runModalLoop(ModalFrame &frame) = 0;
    virtual void modalLoopQuitRequested(ModalFrame &) {}
    virtual UInt32 keyModifiers() = 0;
    // The usable area of the main screen, global; centred windows without a
    // parent are centred on it.
    virtual Rect screenBounds() { return Rect{0, 0, 768, 1024}; }
    // Colour: true and color set when the user chose one.
    virtual bool pickColor(const std::string &prompt, RGBColor &color) = 0;
    // Files: true and paths set when the user chose; false when cancelled.
    virtual bool chooseFiles(const FileRequest &request, std::vector<std::string> &paths) = 0;
    // Alerts (from the alert stand-in's presenter): the item hit.
    virtual DialogItemIndex presentAlert(const QVAlertContent &alert) = 0;
};

FrontEnd &CurrentFrontEnd();
FrontEnd *CreateHeadlessFrontEnd();
FrontEnd *CreateScreenFrontEnd(); // nullptr when no graphical platform can be opened
bool ScreenAvailable();

// Liveness of references handed to callers.
bool IsLiveWindow(WindowRef w);
bool IsLiveControl(ControlRef c);
const std::vector<WindowRef> &WindowsFrontToBack();
WindowRef UserFocusWindow(); // innermost modal window, else front visible window, else nullptr
WindowRef InnermostModalWindow();

// Dispatch. Targets are registered while their window, control or menu lives.
void RegisterTarget(EventTargetRef target);
void UnregisterTarget(EventTargetRef target); // also drops its handlers
void EndModalLoopsOf(WindowRef w);
OSStatus SendControlEvent(ControlRef c, UInt32 kind, EventRef *keep = nullptr);
OSStatus SendCommand(EventTargetRef target, UInt32 commandID, UInt32 attributes, ControlRef fromControl);

// User actions, front-end independent.
ControlPartCode UserHitTest(ControlRef c, Point where);
// Sends the track event; true when the class tracked (part then holds its answer).
bool UserTrack(ControlRef c, Point where, UInt32 modifiers, ControlPartCode &part);
// Sends the hit event for a tracked part (standard handling sends the command).
void UserHit(ControlRef c, ControlPartCode part, UInt32 modifiers);
// Press and release at a point, as a click does: hit test, tracking,
// the kind's own behaviour (check boxes toggle), hit.
OSStatus UserClick(ControlRef c, Point where, UInt32 modifiers);
// A slider's thumb moved to value while dragged: value set, action procedure called.
void UserDragTo(ControlRef c, SInt32 value);
// The thumb released.
void UserDragEnd(ControlRef c, UInt32 modifiers);
// Popup item chosen (1-based).
OSStatus UserChoosePopupItem(ControlRef c, SInt32 item, UInt32 modifiers);
// Check box clicked: value toggles, hit sent.
void UserToggleCheckBox(ControlRef c, UInt32 modifiers);
// Edit text changed by typing.
void UserSetText(ControlRef c, const std::string &text);
bool UserCanUse(ControlRef c); // visible, enabled, active, in a visible window
// The user cancels a window (Escape, or the window manager's close when
// force is set): its cancel button is pressed, or without one the cancel
// command is sent to it. With force, a modal loop of the window that is
// still running after that is ended too, so that closing never hangs.
void UserCancelWindow(WindowRef w, bool force);

// Signals set up with QVToolboxCancelOnSignals: the one that came (0 none),
// the descriptor that becomes readable when one comes (-1 before the set-up),
// and the cancelling of the innermost modal window that a front end runs
// whenever a loop waits while a signal is pending.
int InterruptSignal();
int InterruptDescriptor();
void CancelForInterrupt();

// Drawing of custom controls into the port.
void DrawCustomControl(ControlRef c);
void ErasePortRect(WindowRef w, const Rect &r);
std::string DescribeWindow(WindowRef w);
const char *ControlTypeName(ControlType t);
std::string FourCCText(UInt32 code);

// Reporting (headless reports, problems of scripts).
void Report(const std::string &line);

// Makes the toolbox's front end present alerts, unless a presenter other
// than the default headless one is installed.
void InstallAlertPresenter();
std::string Utf8(CFStringRef text);

} // namespace qvtb

#endif // QUELVANE_TOOLBOXINTERNAL_H
