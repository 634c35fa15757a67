// Headless.cpp: the headless front end. It shows nothing; each time a modal
// loop waits for the user it plays the next action of the loaded script
// (format in ToolboxFrontEnd.h and HeadlessScripts.md), answers alerts,
// colour pickers and file choosers from the script, and reports through the
// report procedure.
#include "toolbox/HeadlessScript.h"
#include "toolbox/ToolboxInternal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvtb {
namespace {

struct Script {
    std::deque<Action> actions;
    UInt32 problems = 0;
    UInt32 modifiers = 0;
} gScript;

void Problem(const Action &a, const std::string &what)
{
    ++gScript.problems;
    Report("script line " + std::to_string(a.line) + ": " + what);
}

WindowRef ScriptWindow()
{
    if (WindowRef w = InnermostModalWindow())
        return w;
    return UserFocusWindow();
}

ControlRef FindControl(const Action &a, WindowRef w)
{
    ControlID id{a.signature, a.id};
    ControlRef c = nullptr;
    if (!w || GetControlByID(w, &id, &c) != noErr) {
        Problem(a, "no control " + FourCCText(a.signature) + " " + std::to_string(a.id) + " in window \"" +
                       (w ? w->name : std::string("(none)")) + "\"");
        return nullptr;
    }
    return c;
}

Point Centre(ControlRef c)
{
    return Point{static_cast<SInt16>((c->bounds.top + c->bounds.bottom) / 2),
                 static_cast<SInt16>((c->bounds.left + c->bounds.right) / 2)};
}

void Play(const Action &a)
{
    WindowRef w = ScriptWindow();
    const UInt32 mods = gScript.modifiers;
    switch (a.verb) {
    case Verb::Set: {
        ControlRef c = FindControl(a, w);
        if (!c)
            return;
        if (!UserCanUse(c)) {
            Problem(a, "control cannot be used (hidden, disabled or inactive)");
            return;
        }
        SInt32 target = 0, steps = 1;
        ParseNumber(a.args[0], target);
        if (a.args.size() == 3)
            ParseNumber(a.args[2], steps);
        if (!c->live)
            steps = 1; // without live tracking the value changes once, on release
        const SInt64 from = c->value;
        HiliteControl(c, kControlIndicatorPart);
        for (SInt32 s = 1; s <= steps && IsLiveControl(c); ++s) {
            SInt64 v = from + (static_cast<SInt64>(target) - from) * s / steps;
            UserDragTo(c, static_cast<SInt32>(v));
        }
        if (IsLiveControl(c)) {
            HiliteControl(c, kControlNoPart);
            UserDragEnd(c, mods);
        }
        return;
    }
    case Verb::Click: {
        ControlRef c = FindControl(a, w);
        if (!c)
            return;
        Point where = Centre(c);
        if (a.args.size() == 3) {
            SInt32 h = 0, v = 0;
            ParseNumber(a.args[1], h);
            ParseNumber(a.args[2], v);
            where = Point{static_cast<SInt16>(v), static_cast<SInt16>(h)};
        }
        if (UserClick(c, where, mods) != noErr)
            Problem(a, "control cannot be used (hidden, disabled or inactive)");
        return;
    }
    case Verb::Choose: {
        ControlRef c = FindControl(a, w);
        if (!c)
            return;
        if (c->type != ControlType::Popup || !c->menu) {
            Problem(a, "not a popup");
            return;
        }
        if (!UserCanUse(c)) {
            Problem(a, "control cannot be used (hidden, disabled or inactive)");
            return;
        }
        SInt32 item = 0;
        if (a.quoted[0] || !ParseNumber(a.args[0], item)) {
            item = 0;
            for (size_t k = 0; k < c->menu->items.size(); ++k)
                if (c->menu->items[k] == a.args[0]) {
                    item = static_cast<SInt32>(k + 1);
                    break;
                }
        }
        if (UserChoosePopupItem(c, item, mods) != noErr)
            Problem(a, "the popup has no item " + a.args[0]);
        return;
    }
    case Verb::Type: {
        ControlRef c = FindControl(a, w);
        if (!c)
            return;
        if (c->type != ControlType::EditText || !UserCanUse(c)) {
            Problem(a, "not a usable edit text");
            return;
        }
        UserSetText(c, a.args[0]);
        return;
    }
    case Verb::Command: {
        HICommand command{};
        command.commandID = a.signature;
        ProcessHICommand(&command);
        return;
    }
    case Verb::Keys: {
        UInt32 m = 0;
        for (const std::string &k : a.args) {
            if (k == "shift")
                m |= shiftKey;
            else if (k == "option")
                m |= optionKey;
            else if (k == "control")
                m |= controlKey;
            else if (k == "command")
                m |= cmdKey;
            else if (k == "capslock")
                m |= alphaLock;
        }
        gScript.modifiers = m;
        return;
    }
    case Verb::Alert:
    case Verb::Color:
    case Verb::File:
        Problem(a, "answer given but no alert, colour picker or file chooser is open");
        return;
    case Verb::Show:
        Report(DescribeWindow(w));
        return;
    case Verb::Save: {
        OSStatus s = QVToolboxSavePortImage(w, a.args[0].c_str());
        if (s != noErr)
            Problem(a, "cannot save the port image to " + a.args[0]);
        return;
    }
    case Verb::Expect: {
        ControlRef c = FindControl(a, w);
        if (!c)
            return;
        const std::string &what = a.args[0], &want = a.args[1];
        std::string have;
        if (what == "value")
            have = std::to_string(c->value);
        else if (what == "text")
            have = c->text;
        else if (what == "visible")
            have = c->visible ? "yes" : "no";
        else
            have = c->enabled ? "yes" : "no";
        if (what == "value") {
            SInt32 n = 0;
            ParseNumber(want, n);
            if (n == c->value)
                return;
        } else if (have == want) {
            return;
        }
        Problem(a, "expected " + what + " of " + FourCCText(a.signature) + " " + std::to_string(a.id) + " to be \"" +
                       want + "\", it is \"" + have + "\"");
        return;
    }
    }
}

// Takes the next action when it is the answer of the given verb.
bool TakeAnswer(Verb verb, Action &out)
{
    if (gScript.actions.empty() || gScript.actions.front().verb != verb)
        return false;
    out = std::move(gScript.actions.front());
    gScript.actions.pop_front();
    return true;
}

class HeadlessFrontEnd final : public FrontEnd {
public:
    QVFrontEndKind kind() const override { return kQVFrontEndHeadless; }

    void runModalLoop(ModalFrame &frame) override
    {
        while (!frame.quit) {
            if (InterruptSignal()) {
                CancelForInterrupt();
                frame.quit = true;
                break;
            }
            if (gScript.actions.empty()) {
                WindowRef w = frame.window;
                if (!frame.windowGone && IsLiveWindow(w)) {
                    Report("script: no more actions while window \"" + w->name +
                           "\" waits; sending the cancel command");
                    ++gScript.problems;
                    SendCommand(&w->target, kHICommandCancel, kHICommandFromWindow, nullptr);
                }
                if (!frame.quit) {
                    Report("script: the cancel command did not end the loop; ending it");
                    frame.quit = true;
                }
                break;
            }
            Action a = std::move(gScript.actions.front());
            gScript.actions.pop_front();
            Play(a);
        }
    }

    UInt32 keyModifiers() override { return gScript.modifiers; }

    bool pickColor(const std::string &prompt, RGBColor &color) override
    {
        Action a;
        if (!TakeAnswer(Verb::Color, a)) {
            Report("colour picker \"" + prompt + "\": no answer in the script, cancelled");
            return false;
        }
        if (a.args.size() == 1)
            return false;
        SInt32 r = 0, g = 0, b = 0;
        ParseNumber(a.args[0], r);
        ParseNumber(a.args[1], g);
        ParseNumber(a.args[2], b);
        color = RGBColor{static_cast<UInt16>(r), static_cast<UInt16>(g), static_cast<UInt16>(b)};
        return true;
    }

    bool chooseFiles(const FileRequest &request, std::vector<std::string> &paths) override
    {
        Action a;
        if (!TakeAnswer(Verb::File, a)) {
            Report(std::string(request.save ? "save" : "open") + " dialog \"" + request.message +
                   "\": no answer in the script, cancelled");
            return false;
        }
        if (a.args.size() == 1 && a.args[0] == "cancel" && !a.quoted[0])
            return false;
        paths = a.args;
        return true;
    }

    DialogItemIndex presentAlert(const QVAlertContent &alert) override
    {
        Action a;
        if (!TakeAnswer(Verb::Alert, a))
            return QVHeadlessAlertPresenter(&alert, nullptr);
        SInt32 n = 1;
        ParseNumber(a.args[0], n);
        std::fprintf(stderr, "Alert: %s\n  %s\n  answered by the script: %d\n", Utf8(alert.messageText).c_str(),
                     Utf8(alert.explanationText).c_str(), static_cast<int>(n));
        if (n < 1 || n > 3 || !alert.buttonText[n - 1]) {
            Problem(a, "the alert has no button " + a.args[0]);
            return alert.defaultButton;
        }
        return static_cast<DialogItemIndex>(n);
    }
};

} // namespace

FrontEnd *CreateHeadlessFrontEnd()
{
    return new HeadlessFrontEnd;
}

namespace {
DialogItemIndex ToolboxAlertPresenter(const QVAlertContent *alert, void *)
{
    return CurrentFrontEnd().presentAlert(*alert);
}
} // namespace

void InstallAlertPresenter()
{
    void *refCon = nullptr;
    if (QVGetAlertPresenter(&refCon) == &QVHeadlessAlertPresenter)
        QVSetAlertPresenter(&ToolboxAlertPresenter, nullptr);
}

std::string Utf8(CFStringRef text)
{
    if (!text)
        return std::string();
    CFIndex needed = QVCFStringGetUTF8(text, nullptr, 0);
    if (needed <= 0)
        return std::string();
    std::string out(static_cast<size_t>(needed) + 1, '\0');
    QVCFStringGetUTF8(text, out.data(), needed + 1);
    out.resize(static_cast<size_t>(needed));
    return out;
}

} // namespace qvtb

extern "C" {

QV_API OSStatus QVToolboxLoadScript(const char *inText, size_t inLength, char *outError, size_t outErrorSize)
{
    if (outError && outErrorSize)
        outError[0] = 0;
    if (!inText && inLength)
        return paramErr;
    if (inLength > kQVMaxScriptBytes) {
        if (outError && outErrorSize)
            std::snprintf(outError, outErrorSize, "larger than 1 MiB, the most a script may hold");
        return paramErr;
    }
    std::deque<qvtb::Action> actions;
    std::string error;
    if (!qvtb::ParseScript(std::string_view(inText ? inText : "", inLength), actions, error)) {
        if (outError && outErrorSize) {
            size_t n = std::min(error.size(), outErrorSize - 1);
            error.copy(outError, n);
            outError[n] = 0;
        }
        return paramErr;
    }
    if (QVToolboxSelectFrontEnd(kQVFrontEndHeadless) != noErr)
        return paramErr;
    qvtb::gScript.actions = std::move(actions);
    qvtb::gScript.problems = 0;
    qvtb::InstallAlertPresenter();
    return noErr;
}

QV_API OSStatus QVToolboxLoadScriptFile(const char *inPath, char *outError, size_t outErrorSize)
{
    if (!inPath)
        return paramErr;
    auto refuse = [&](const char *why, OSStatus status) {
        if (outError && outErrorSize)
            std::snprintf(outError, outErrorSize, "%s", why);
        return status;
    };
    // Opened without waiting (a FIFO must not block us), then checked: a
    // script is a regular file of at most kQVMaxScriptBytes.
    const int fd = open(inPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(errno == ENOENT ? "no such file" : std::strerror(errno), fnfErr);
    struct stat st;
    std::string text;
    OSStatus status = noErr;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        status = refuse("not a regular file", paramErr);
    } else if (st.st_size > static_cast<off_t>(kQVMaxScriptBytes)) {
        status = refuse("larger than 1 MiB, the most a script may hold", paramErr);
    } else {
        char buffer[65536];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0 && text.size() <= kQVMaxScriptBytes)
            text.append(buffer, static_cast<size_t>(n));
        if (n < 0)
            status = refuse(std::strerror(errno), ioErr);
        else if (text.size() > kQVMaxScriptBytes)
            status = refuse("larger than 1 MiB, the most a script may hold", paramErr);
    }
    close(fd);
    if (status != noErr)
        return status;
    return QVToolboxLoadScript(text.data(), text.size(), outError, outErrorSize);
}

QV_API void QVToolboxClearScript(void)
{
    qvtb::gScript.actions.clear();
}

QV_API size_t QVToolboxScriptActionsLeft(void)
{
    return qvtb::gScript.actions.size();
}

QV_API UInt32 QVToolboxScriptProblems(void)
{
    return qvtb::gScript.problems;
}

QV_API void QVToolboxSetKeyModifiers(UInt32 inModifiers)
{
    qvtb::gScript.modifiers = inModifiers;
}

} // extern "C"
