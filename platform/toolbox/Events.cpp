// Events.cpp: events and their parameters, handler installation, the
// dispatch of an event along its chain (installed handlers, class handler,
// standard handling, and for commands the way up from control to window to
// application), commands and application-modal loops.
#include "toolbox/ToolboxInternal.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

struct OpaqueEventHandlerCallRef {
    struct Step {
        enum Kind { Handler, Class, Standard } kind;
        std::shared_ptr<OpaqueEventHandlerRef> handler;
        OpaqueToolboxObjectClassRef *objectClass = nullptr;
        EventTargetRef target = nullptr;
    };
    std::vector<Step> steps;
    size_t next = 0;
};

namespace {

OpaqueEventTargetRef gApplicationTarget{qvtb::TargetKind::Application, nullptr, {}};
std::unordered_map<OpaqueEventHandlerRef *, std::shared_ptr<OpaqueEventHandlerRef>> gHandlers;
std::vector<qvtb::ModalFrame *> gModalStack;

bool Matches(const std::vector<EventTypeSpec> &types, UInt32 eventClass, UInt32 eventKind)
{
    for (const EventTypeSpec &t : types)
        if (t.eventClass == eventClass && t.eventKind == eventKind)
            return true;
    return false;
}

// Targets of live windows, controls and menus. Liveness is decided by
// address only, so a target that went away is never read.
std::unordered_set<EventTargetRef> gLiveTargets;

bool TargetAlive(EventTargetRef t)
{
    return t == &gApplicationTarget || gLiveTargets.count(t) != 0;
}

EventTargetRef ParentTarget(EventTargetRef t)
{
    switch (t->kind) {
    case qvtb::TargetKind::Control: {
        ControlRef c = static_cast<ControlRef>(t->owner);
        return c->window ? &c->window->target : &gApplicationTarget;
    }
    case qvtb::TargetKind::Window:
    case qvtb::TargetKind::Menu:
        return &gApplicationTarget;
    case qvtb::TargetKind::Application:
        return nullptr;
    }
    return nullptr;
}

void AddSteps(OpaqueEventHandlerCallRef &call, EventTargetRef target, UInt32 eventClass, UInt32 eventKind)
{
    for (auto it = target->handlers.rbegin(); it != target->handlers.rend(); ++it)
        if (!(*it)->removed && (*it)->wants(eventClass, eventKind))
            call.steps.push_back({OpaqueEventHandlerCallRef::Step::Handler, *it, nullptr, target});
    if (target->kind == qvtb::TargetKind::Control) {
        ControlRef c = static_cast<ControlRef>(target->owner);
        if (c->objectClass && c->objectClass->wants(eventClass, eventKind))
            call.steps.push_back({OpaqueEventHandlerCallRef::Step::Class, nullptr, c->objectClass, target});
    }
    call.steps.push_back({OpaqueEventHandlerCallRef::Step::Standard, nullptr, nullptr, target});
}

SInt16 GetPartParam(EventRef e)
{
    ControlPartCode part = 0;
    GetEventParameter(e, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
    return part;
}

// The standard handling of a control: hit testing of the standard kinds and
// sending a control's command when it is hit.
OSStatus StandardControlHandler(ControlRef c, EventRef e)
{
    if (e->eventClass != kEventClassControl)
        return eventNotHandledErr;
    switch (e->eventKind) {
    case kEventControlHitTest: {
        Point where{0, 0};
        GetEventParameter(e, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where);
        ControlPartCode part = kControlNoPart;
        if (PtInRect(where, &c->bounds)) {
            switch (c->type) {
            case qvtb::ControlType::PushButton:
                part = kControlButtonPart;
                break;
            case qvtb::ControlType::CheckBox:
                part = kControlCheckBoxPart;
                break;
            case qvtb::ControlType::Popup:
                part = kControlMenuPart;
                break;
            case qvtb::ControlType::Slider:
                part = kControlIndicatorPart;
                break;
            case qvtb::ControlType::EditText:
                part = kControlEditTextPart;
                break;
            default:
                part = kControlNoPart;
            }
        }
        SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
        return noErr;
    }
    case kEventControlHit: {
        if (c->command == 0)
            return noErr;
        ControlPartCode part = GetPartParam(e);
        if (part == kControlNoPart)
            return noErr;
        return qvtb::SendCommand(&c->target, c->command, kHICommandFromControl, c);
    }
    case kEventControlDraw:
        return noErr;
    default:
        return eventNotHandledErr;
    }
}

OSStatus RunStep(OpaqueEventHandlerCallRef &call, const OpaqueEventHandlerCallRef::Step &step, EventRef e)
{
    switch (step.kind) {
    case OpaqueEventHandlerCallRef::Step::Handler:
        if (step.handler->removed || !step.handler->proc)
            return eventNotHandledErr;
        return step.handler->proc(&call, e, step.handler->userData);
    case OpaqueEventHandlerCallRef::Step::Class:
        if (!step.objectClass->handler)
            return eventNotHandledErr;
        return step.objectClass->handler(&call, e, step.objectClass->userData);
    case OpaqueEventHandlerCallRef::Step::Standard:
        if (step.target->kind == qvtb::TargetKind::Control)
            return StandardControlHandler(static_cast<ControlRef>(step.target->owner), e);
        return eventNotHandledErr;
    }
    return eventNotHandledErr;
}

OSStatus RunChain(OpaqueEventHandlerCallRef &call, EventRef e)
{
    while (call.next < call.steps.size()) {
        const OpaqueEventHandlerCallRef::Step step = call.steps[call.next++];
        // A handler may have disposed of a window or control on the way.
        if (!TargetAlive(step.target))
            continue;
        OSStatus status = RunStep(call, step, e);
        if (status != eventNotHandledErr)
            return status;
    }
    return eventNotHandledErr;
}

// Signals that cancel the open windows: a self-pipe that wakes the front
// end, the first signal seen, and the handlers installed before ours.
int gInterruptPipe[2] = {-1, -1};
volatile sig_atomic_t gInterruptSignal = 0;
struct sigaction gPreviousAction[NSIG];

void OnInterrupt(int sig)
{
    const int savedErrno = errno;
    if (gInterruptSignal == 0)
        gInterruptSignal = sig;
    if (gInterruptPipe[1] >= 0) {
        const char byte = 1;
        ssize_t written = write(gInterruptPipe[1], &byte, 1);
        (void)written; // a full pipe already wakes the reader
    }
    errno = savedErrno;
    const struct sigaction &previous = gPreviousAction[sig];
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction)
            previous.sa_sigaction(sig, nullptr, nullptr);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && previous.sa_handler) {
        previous.sa_handler(sig);
    }
}

} // namespace

bool OpaqueEventHandlerRef::wants(UInt32 eventClass, UInt32 eventKind) const
{
    return Matches(types, eventClass, eventKind);
}

bool OpaqueToolboxObjectClassRef::wants(UInt32 eventClass, UInt32 eventKind) const
{
    return Matches(types, eventClass, eventKind);
}

extern "C" {

QV_API EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine)
{
    return userRoutine;
}

QV_API void DisposeEventHandlerUPP(EventHandlerUPP) {}

QV_API OSStatus CreateEvent(CFAllocatorRef, UInt32 inClassID, UInt32 inKind, EventTime inWhen, EventAttributes,
                            EventRef *outEvent)
{
    if (!outEvent)
        return paramErr;
    EventRef e = new OpaqueEventRef;
    e->eventClass = inClassID;
    e->eventKind = inKind;
    e->when = inWhen;
    *outEvent = e;
    return noErr;
}

QV_API EventRef RetainEvent(EventRef inEvent)
{
    if (inEvent)
        ++inEvent->references;
    return inEvent;
}

QV_API void ReleaseEvent(EventRef inEvent)
{
    if (inEvent && --inEvent->references == 0)
        delete inEvent;
}

QV_API UInt32 GetEventClass(EventRef inEvent)
{
    return inEvent ? inEvent->eventClass : 0;
}

QV_API UInt32 GetEventKind(EventRef inEvent)
{
    return inEvent ? inEvent->eventKind : 0;
}

QV_API OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                                  const void *inDataPtr)
{
    if (!inEvent || (inSize > 0 && !inDataPtr))
        return paramErr;
    std::vector<UInt8> data(inSize);
    if (inSize)
        std::memcpy(data.data(), inDataPtr, inSize);
    for (auto &p : inEvent->params)
        if (p.name == inName) {
            p.type = inType;
            p.data = std::move(data);
            return noErr;
        }
    inEvent->params.push_back({inName, inType, std::move(data)});
    return noErr;
}

QV_API OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                                  EventParamType *outActualType, ByteCount inBufferSize, ByteCount *outActualSize,
                                  void *outData)
{
    if (!inEvent)
        return paramErr;
    for (const auto &p : inEvent->params) {
        if (p.name != inName)
            continue;
        if (inDesiredType != typeWildCard && inDesiredType != p.type)
            return eventParameterTypeErr;
        if (outActualType)
            *outActualType = p.type;
        if (outActualSize)
            *outActualSize = static_cast<ByteCount>(p.data.size());
        if (outData && inBufferSize > 0)
            std::memcpy(outData, p.data.data(), std::min<size_t>(inBufferSize, p.data.size()));
        return noErr;
    }
    return eventParameterNotFoundErr;
}

QV_API EventTargetRef GetApplicationEventTarget(void)
{
    return &gApplicationTarget;
}

QV_API EventTargetRef GetWindowEventTarget(WindowRef inWindow)
{
    return qvtb::IsLiveWindow(inWindow) ? &inWindow->target : nullptr;
}

QV_API EventTargetRef GetControlEventTarget(ControlRef inControl)
{
    return qvtb::IsLiveControl(inControl) ? &inControl->target : nullptr;
}

QV_API EventTargetRef GetMenuEventTarget(MenuRef inMenu)
{
    return inMenu && TargetAlive(&inMenu->target) ? &inMenu->target : nullptr;
}

QV_API OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                                    const EventTypeSpec *inList, void *inUserData, EventHandlerRef *outRef)
{
    if (!inTarget || !inHandler || (inNumTypes > 0 && !inList) || !TargetAlive(inTarget))
        return paramErr;
    auto h = std::make_shared<OpaqueEventHandlerRef>();
    h->target = inTarget;
    h->proc = inHandler;
    h->types.assign(inList, inList + inNumTypes);
    h->userData = inUserData;
    inTarget->handlers.push_back(h);
    gHandlers[h.get()] = h;
    if (outRef)
        *outRef = h.get();
    return noErr;
}

QV_API OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef)
{
    auto it = gHandlers.find(inHandlerRef);
    if (it == gHandlers.end())
        return paramErr;
    std::shared_ptr<OpaqueEventHandlerRef> h = it->second;
    h->removed = true;
    auto &list = h->target->handlers;
    list.erase(std::remove(list.begin(), list.end(), h), list.end());
    gHandlers.erase(it);
    return noErr;
}

QV_API OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent)
{
    if (!inCallRef || !inEvent)
        return paramErr;
    return RunChain(*inCallRef, inEvent);
}

QV_API OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget)
{
    if (!inEvent || !inTarget || !TargetAlive(inTarget))
        return paramErr;
    OpaqueEventHandlerCallRef call;
    const bool propagates = inEvent->eventClass == kEventClassCommand;
    for (EventTargetRef t = inTarget; t; t = propagates ? ParentTarget(t) : nullptr)
        AddSteps(call, t, inEvent->eventClass, inEvent->eventKind);
    RetainEvent(inEvent);
    OSStatus status = RunChain(call, inEvent);
    ReleaseEvent(inEvent);
    return status;
}

QV_API OSStatus ProcessHICommand(const HICommand *inCommand)
{
    if (!inCommand)
        return paramErr;
    WindowRef focus = qvtb::UserFocusWindow();
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
    HICommand command = *inCommand;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    OSStatus status = SendEventToEventTarget(e, focus ? &focus->target : &gApplicationTarget);
    ReleaseEvent(e);
    return status;
}

QV_API OSStatus RunAppModalLoopForWindow(WindowRef inWindow)
{
    if (!qvtb::IsLiveWindow(inWindow))
        return errInvalidWindowRef;
    if (inWindow->modal)
        return eventTargetBusyErr;
    qvtb::ModalFrame frame{inWindow};
    inWindow->modal = &frame;
    gModalStack.push_back(&frame);
    qvtb::CurrentFrontEnd().runModalLoop(frame);
    gModalStack.erase(std::remove(gModalStack.begin(), gModalStack.end(), &frame), gModalStack.end());
    if (!frame.windowGone && qvtb::IsLiveWindow(inWindow))
        inWindow->modal = nullptr;
    return noErr;
}

QV_API OSStatus QuitAppModalLoopForWindow(WindowRef inWindow)
{
    if (!qvtb::IsLiveWindow(inWindow))
        return errInvalidWindowRef;
    if (!inWindow->modal)
        return errWindowNotModal;
    inWindow->modal->quit = true;
    qvtb::CurrentFrontEnd().modalLoopQuitRequested(*inWindow->modal);
    return noErr;
}

QV_API UInt32 GetCurrentKeyModifiers(void)
{
    return qvtb::CurrentFrontEnd().keyModifiers();
}

QV_API OSStatus QVToolboxCancelOnSignals(const int *inSignals, size_t inCount)
{
    if (inCount > 0 && !inSignals)
        return paramErr;
    for (size_t i = 0; i < inCount; ++i)
        if (inSignals[i] <= 0 || inSignals[i] >= NSIG || inSignals[i] == SIGKILL || inSignals[i] == SIGSTOP)
            return paramErr;
    if (gInterruptPipe[0] < 0) {
        if (pipe(gInterruptPipe) != 0)
            return -1;
        for (int fd : gInterruptPipe) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
    for (size_t i = 0; i < inCount; ++i) {
        const int sig = inSignals[i];
        struct sigaction current {};
        sigaction(sig, nullptr, &current);
        if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == OnInterrupt)
            continue; // already ours
        struct sigaction ours {};
        ours.sa_handler = OnInterrupt;
        sigemptyset(&ours.sa_mask);
        ours.sa_flags = SA_RESTART;
        sigaction(sig, &ours, &gPreviousAction[sig]);
    }
    return noErr;
}

QV_API int QVToolboxInterruptSignal(void)
{
    return gInterruptSignal;
}

} // extern "C"

namespace qvtb {

WindowRef InnermostModalWindow()
{
    for (auto it = gModalStack.rbegin(); it != gModalStack.rend(); ++it)
        if (!(*it)->windowGone && !(*it)->quit)
            return (*it)->window;
    return nullptr;
}

WindowRef UserFocusWindow()
{
    if (WindowRef w = InnermostModalWindow())
        return w;
    for (WindowRef w : WindowsFrontToBack())
        if (w->visible)
            return w;
    return nullptr;
}

void RegisterTarget(EventTargetRef target)
{
    gLiveTargets.insert(target);
}

// Drops the handlers of a target that goes away.
void UnregisterTarget(EventTargetRef target)
{
    gLiveTargets.erase(target);
    for (auto &h : target->handlers) {
        h->removed = true;
        gHandlers.erase(h.get());
    }
    target->handlers.clear();
}

OSStatus SendControlEvent(ControlRef c, UInt32 kind, EventRef *keep)
{
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kind, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof c, &c);
    OSStatus status = SendEventToEventTarget(e, &c->target);
    if (keep)
        *keep = e;
    else
        ReleaseEvent(e);
    return status;
}

OSStatus SendCommand(EventTargetRef target, UInt32 commandID, UInt32 attributes, ControlRef fromControl)
{
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
    HICommand command{};
    command.attributes = attributes;
    command.commandID = commandID;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof command, &command);
    if (fromControl)
        SetEventParameter(e, kEventParamControlRef, typeControlRef, sizeof fromControl, &fromControl);
    OSStatus status = SendEventToEventTarget(e, target);
    ReleaseEvent(e);
    return status;
}

void UserCancelWindow(WindowRef w, bool force)
{
    if (!IsLiveWindow(w))
        return;
    ControlRef cancel = nullptr;
    for (ControlRef c : w->controls)
        if (c->type == ControlType::PushButton && c->isCancel) {
            cancel = c;
            break;
        }
    if (cancel) {
        const Point centre{static_cast<SInt16>((cancel->bounds.top + cancel->bounds.bottom) / 2),
                           static_cast<SInt16>((cancel->bounds.left + cancel->bounds.right) / 2)};
        UserClick(cancel, centre, 0);
    } else {
        SendCommand(&w->target, kHICommandCancel, kHICommandFromWindow, nullptr);
    }
    if (force && IsLiveWindow(w) && w->modal && !w->modal->quit)
        QuitAppModalLoopForWindow(w);
}

int InterruptSignal()
{
    return gInterruptSignal;
}

int InterruptDescriptor()
{
    return gInterruptPipe[0];
}

void CancelForInterrupt()
{
    if (gInterruptSignal == 0)
        return;
    if (gInterruptPipe[0] >= 0) {
        char drain[64];
        while (read(gInterruptPipe[0], drain, sizeof drain) > 0) {
        }
    }
    if (WindowRef w = InnermostModalWindow())
        UserCancelWindow(w, true);
}

void EndModalLoopsOf(WindowRef w)
{
    for (ModalFrame *f : gModalStack)
        if (f->window == w) {
            f->windowGone = true;
            f->quit = true;
            CurrentFrontEnd().modalLoopQuitRequested(*f);
        }
}

} // namespace qvtb
