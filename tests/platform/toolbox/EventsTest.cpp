// Events: handler chains and their order, passing on with
// eventNotHandledErr, removal, the way of commands
// from control to window to application, standard hit handling, and
// application-modal loops nested inside each other.
#include "ToolboxTestSupport.h"

using namespace tbtest;

namespace {

struct Log {
    std::vector<std::string> entries;
    OSStatus answer = noErr;
};

// A handler that logs its name (userData = {log, name}) and answers log.answer.
struct Named {
    Log *log;
    std::string name;
    OSStatus answer;
    EventHandlerRef self = nullptr;
    bool removeSelf = false;
};

OSStatus NamedHandler(EventHandlerCallRef, EventRef e, void *userData)
{
    auto *n = static_cast<Named *>(userData);
    n->log->entries.push_back(n->name + ":" + std::to_string(CommandOf(e)));
    if (n->removeSelf)
        RemoveEventHandler(n->self);
    return n->answer;
}

const EventTypeSpec kCommand{kEventClassCommand, kEventCommandProcess};

// Ends the modal loop of the window given as userData on Cancel.
OSStatus QuitOnCancel(EventHandlerCallRef, EventRef e, void *userData)
{
    if (CommandOf(e) == kHICommandCancel)
        QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
    return eventNotHandledErr;
}

OSStatus SendCommandTo(EventTargetRef target, UInt32 id)
{
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
    HICommand c{};
    c.commandID = id;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof c, &c);
    OSStatus s = SendEventToEventTarget(e, target);
    ReleaseEvent(e);
    return s;
}

using Events = PanelTest;

} // namespace

TEST_F(Events, ChainRunsNewestFirstAndNotHandledPassesOn)
{
    Log log;
    Named first{&log, "first", noErr}, second{&log, "second", eventNotHandledErr}, app{&log, "app", noErr};
    EventHandlerRef h1, h2, ha;
    ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(w), NewEventHandlerUPP(NamedHandler), 1, &kCommand, &first, &h1),
              noErr);
    ASSERT_EQ(InstallEventHandler(GetWindowEventTarget(w), NamedHandler, 1, &kCommand, &second, &h2), noErr);
    ASSERT_EQ(InstallEventHandler(GetApplicationEventTarget(), NamedHandler, 1, &kCommand, &app, &ha), noErr);

    const std::string info = std::to_string(QV_FOURCC('I', 'n', 'f', 'o'));
    EXPECT_EQ(SendCommandTo(GetWindowEventTarget(w), QV_FOURCC('I', 'n', 'f', 'o')), noErr);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"second:" + info, "first:" + info}));

    // Nobody on the window handles it: it reaches the application.
    log.entries.clear();
    first.answer = eventNotHandledErr;
    EXPECT_EQ(SendCommandTo(GetWindowEventTarget(w), QV_FOURCC('H','e','l','p')), noErr);
    ASSERT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(log.entries[2].rfind("app:", 0), 0u);

    // And when the application does not handle it either, the sender hears so.
    log.entries.clear();
    app.answer = eventNotHandledErr;
    EXPECT_EQ(SendCommandTo(GetWindowEventTarget(w), QV_FOURCC('H','e','l','p')), eventNotHandledErr);

    // Events of other types do not reach command handlers.
    log.entries.clear();
    EventRef draw = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlDraw, 0, 0, &draw);
    SendEventToEventTarget(draw, GetWindowEventTarget(w));
    ReleaseEvent(draw);
    EXPECT_TRUE(log.entries.empty());

    EXPECT_EQ(RemoveEventHandler(h1), noErr);
    EXPECT_EQ(RemoveEventHandler(h1), paramErr);
    RemoveEventHandler(h2);
    RemoveEventHandler(ha);
}

TEST_F(Events, HandlerMayRemoveItselfAndHandlersGoWithTheirWindow)
{
    Log log;
    Named once{&log, "once", eventNotHandledErr}, stays{&log, "stays", noErr};
    once.removeSelf = true;
    InstallEventHandler(GetWindowEventTarget(w), NamedHandler, 1, &kCommand, &stays, nullptr);
    InstallEventHandler(GetWindowEventTarget(w), NamedHandler, 1, &kCommand, &once, &once.self);
    SendCommandTo(GetWindowEventTarget(w), QV_FOURCC('A','d','v','a'));
    SendCommandTo(GetWindowEventTarget(w), QV_FOURCC('A','d','v','a'));
    EXPECT_EQ(log.entries.size(), 3u); // once, stays, stays
    EventHandlerRef onWindow = nullptr;
    InstallEventHandler(GetWindowEventTarget(w), NamedHandler, 1, &kCommand, &stays, &onWindow);
    DisposeWindow(w);
    w = nullptr;
    EXPECT_EQ(RemoveEventHandler(onWindow), paramErr); // already gone with the window
    EXPECT_EQ(InstallEventHandler(nullptr, NamedHandler, 1, &kCommand, &stays, nullptr), paramErr);
}

TEST_F(Events, StandardHitHandlingSendsTheControlsCommandUpToTheWindow)
{
    Log log;
    Named onWindow{&log, "window", noErr}, onControl{&log, "control", eventNotHandledErr};
    InstallEventHandler(GetWindowEventTarget(w), NamedHandler, 1, &kCommand, &onWindow, nullptr);
    ControlRef ok = Find(w, "ok  ", 1);
    InstallEventHandler(GetControlEventTarget(ok), NamedHandler, 1, &kCommand, &onControl, nullptr);
    EventRef hit = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &hit);
    SetEventParameter(hit, kEventParamDirectObject, typeControlRef, sizeof ok, &ok);
    ControlPartCode part = kControlButtonPart;
    SetEventParameter(hit, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    EXPECT_EQ(SendEventToEventTarget(hit, GetControlEventTarget(ok)), noErr);
    ReleaseEvent(hit);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"control:" + std::to_string(kHICommandOK),
                                                      "window:" + std::to_string(kHICommandOK)}));
}

TEST_F(Events, ProcessHICommandGoesToTheUserFocus)
{
    Log log;
    Named onWindow{&log, "window", noErr}, app{&log, "app", noErr};
    EventHandlerRef ha = nullptr;
    InstallEventHandler(GetWindowEventTarget(w), NamedHandler, 1, &kCommand, &onWindow, nullptr);
    InstallEventHandler(GetApplicationEventTarget(), NamedHandler, 1, &kCommand, &app, &ha);
    HICommand c{};
    c.commandID = QV_FOURCC('S','a','l','l');
    EXPECT_EQ(ProcessHICommand(&c), noErr); // no visible window: the application
    ShowWindow(w);
    EXPECT_EQ(ProcessHICommand(&c), noErr);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"app:" + std::to_string(QV_FOURCC('S','a','l','l')), "window:" + std::to_string(QV_FOURCC('S','a','l','l'))}));
    EXPECT_EQ(ProcessHICommand(nullptr), paramErr);
    RemoveEventHandler(ha);
}

namespace {
struct ModalRun {
    WindowRef panel = nullptr, other = nullptr;
    IBNibRef nib = nullptr;
    std::vector<std::string> order;
};

OSStatus OtherHandler(EventHandlerCallRef, EventRef e, void *userData)
{
    auto *run = static_cast<ModalRun *>(userData);
    run->order.push_back("other:" + std::to_string(CommandOf(e)));
    if (CommandOf(e) == kHICommandOK) {
        QuitAppModalLoopForWindow(run->other);
        return noErr;
    }
    return eventNotHandledErr;
}

OSStatus PanelHandler(EventHandlerCallRef, EventRef e, void *userData)
{
    auto *run = static_cast<ModalRun *>(userData);
    UInt32 id = CommandOf(e);
    run->order.push_back("panel:" + std::to_string(id));
    if (id == QV_FOURCC('I','n','f','o')) {
        QVCreateWindowFromNibNamed(run->nib, "other", &run->other);
        InstallEventHandler(GetWindowEventTarget(run->other), OtherHandler, 1, &kCommand, run, nullptr);
        ShowWindow(run->other);
        EXPECT_FALSE(IsWindowActive(run->panel));
        RunAppModalLoopForWindow(run->other);
        run->order.push_back("other closed");
        DisposeWindow(run->other);
        EXPECT_TRUE(IsWindowActive(run->panel));
        return noErr;
    }
    if (id == kHICommandOK || id == kHICommandCancel) {
        QuitAppModalLoopForWindow(run->panel);
        return noErr;
    }
    return eventNotHandledErr;
}
} // namespace

TEST_F(Events, ModalLoopsNestAndEachEndsOnItsOwnQuit)
{
    ModalRun run;
    run.panel = w;
    run.nib = nib;
    InstallEventHandler(GetWindowEventTarget(w), PanelHandler, 1, &kCommand, &run, nullptr);
    ShowWindow(w);
    // The about-like window takes the clicks while it is up; a command of
    // its own it does not know goes on to the application unanswered.
    LoadScript("click Info 1\ncommand Help\nclick \"ok  \" 1\nclick \"ok  \" 1\n");
    EXPECT_EQ(QuitAppModalLoopForWindow(w), errWindowNotModal);
    EXPECT_EQ(RunAppModalLoopForWindow(w), noErr);
    const std::string ok = std::to_string(kHICommandOK);
    EXPECT_EQ(run.order, (std::vector<std::string>{"panel:" + std::to_string(QV_FOURCC('I','n','f','o')), "other:" + std::to_string(QV_FOURCC('H','e','l','p')),
                                                    "other:" + ok, "other closed", "panel:" + ok}));
    EXPECT_EQ(QVToolboxScriptActionsLeft(), 0u);
    EXPECT_EQ(QVToolboxScriptProblems(), 0u);
}

TEST_F(Events, LoopWhoseWindowIsDisposedEnds)
{
    struct Ctx {
        WindowRef w;
    } ctx{w};
    auto disposer = [](EventHandlerCallRef, EventRef, void *ud) -> OSStatus {
        DisposeWindow(static_cast<Ctx *>(ud)->w);
        return noErr;
    };
    InstallEventHandler(GetWindowEventTarget(w), disposer, 1, &kCommand, &ctx, nullptr);
    ShowWindow(w);
    LoadScript("command Dspo\n");
    EXPECT_EQ(RunAppModalLoopForWindow(w), noErr);
    w = nullptr;
    EXPECT_EQ(QVToolboxScriptProblems(), 0u);
}

TEST_F(Events, CustomClassGetsItsEventsInOrder)
{
    ShowWindow(w);
    rec.events.clear();
    Log log;
    Named onWindow{&log, "window", noErr};
    InstallEventHandler(GetWindowEventTarget(w), NamedHandler, 1, &kCommand, &onWindow, nullptr);
    LoadScript("click Colr 1 at 20 150\nclick Colr 1 at 300 20\n"); // inside, then outside the box
    InstallEventHandler(GetWindowEventTarget(w), QuitOnCancel, 1, &kCommand, w, nullptr);
    RunAppModalLoopForWindow(w); // the script runs out: cancel ends the loop
    // Inside: hit test, track (not handled: standard tracking highlights and
    // redraws twice), hit; the command reaches the window. Outside: hit test only.
    std::vector<UInt32> kinds;
    for (auto &e : rec.events)
        kinds.push_back(e.second);
    EXPECT_EQ(kinds, (std::vector<UInt32>{kEventControlHitTest, kEventControlTrack, kEventControlDraw, kEventControlDraw,
                                          kEventControlHit, kEventControlHitTest}));
    ASSERT_EQ(rec.mouse.size(), 2u);
    EXPECT_EQ(rec.mouse[0].h, 20);
    ASSERT_GE(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0], "window:" + std::to_string(QV_FOURCC('C', 'o', 'l', '1')));

    // A class that tracks itself gets the hit without standard tracking's redraws.
    rec.handleTrack = true;
    rec.events.clear();
    LoadScript("click Colr 1\ncommand \"not!\"\n");
    RunAppModalLoopForWindow(w);
    EXPECT_EQ(rec.Count(kEventControlDraw), 0);
    EXPECT_EQ(rec.Count(kEventControlHit), 1);
}
