// XScreen.cpp: Xvfb, openbox, XTest input and root-window captures.
#include "XScreen.h"

#include <X11/Xlib.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace xscreen {
namespace {

using Clock = std::chrono::steady_clock;

void Pause()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// In a child: dies with the test, output to /dev/null or errPath.
[[noreturn]] void Exec(const std::vector<std::string> &argv, const std::string &errPath)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    const int err = errPath.empty() ? null : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void Stop(pid_t pid)
{
    // Only a child of ours that is still running (one already waited for
    // is not ours any more, whatever its number names now).
    if (pid <= 0 || waitpid(pid, nullptr, WNOHANG) != 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 500; ++i) {
        const pid_t ended = waitpid(pid, nullptr, WNOHANG);
        if (ended == pid || ended < 0)
            return;
        Pause();
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// A window property's items: bytes for format 8, longs for format 32.
template <class T> std::vector<T> Property(::Display *x, Window w, const char *name, Atom type)
{
    Atom got = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    std::vector<T> out;
    if (XGetWindowProperty(x, w, XInternAtom(x, name, False), 0, 4096, False, type, &got, &format, &count, &after,
                           &data) == Success &&
        data)
        out.assign(reinterpret_cast<T *>(data), reinterpret_cast<T *>(data) + count);
    XFree(data);
    return out;
}

template <class F> bool Until(F done, double seconds)
{
    const auto start = Clock::now();
    for (;; Pause()) {
        if (done())
            return true;
        if (Seconds(start) >= seconds)
            return false;
    }
}

// Windows come and go while we look at them: errors about vanished ones
// are expected, not fatal.
int IgnoreErrors(::Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

int Program::wait(double seconds)
{
    const auto start = Clock::now();
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid) {
        if (Seconds(start) > seconds) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
            return -1;
        }
        Pause();
    }
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Program::err() const
{
    std::ifstream in(errPath);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::unique_ptr<XScreen> XScreen::Start(int width, int height, std::string *why)
{
    std::unique_ptr<XScreen> s(new XScreen);
    int fds[2];
    if (pipe(fds) != 0)
        return nullptr;
    s->server_ = fork();
    if (s->server_ == 0) {
        close(fds[0]);
        Exec({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
              std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp", "-noreset"},
             "");
    }
    close(fds[1]);
    // Xvfb writes the display number it chose once it accepts clients.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char ch = 0;
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &ch, 1) == 1 && ch != '\n')
        number.push_back(ch);
    close(fds[0]);
    if (number.empty()) {
        if (why)
            *why = "Xvfb did not start (is it installed?)";
        return nullptr;
    }
    s->name_ = ":" + number;
    XSetErrorHandler(IgnoreErrors);
    s->x_ = XOpenDisplay(s->name_.c_str());
    if (!s->x_) {
        if (why)
            *why = "cannot open display " + s->name_;
        return nullptr;
    }
    s->manager_ = fork();
    if (s->manager_ == 0) {
        setenv("DISPLAY", s->name_.c_str(), 1);
        Exec({"openbox", "--sm-disable"}, "");
    }
    // The window manager is there once it owns the screen's selection.
    const Atom selection = XInternAtom(s->x_, "WM_S0", False);
    if (!Until([&] { return XGetSelectionOwner(s->x_, selection) != None; }, 10)) {
        if (why)
            *why = "openbox did not start (is it installed?)";
        return nullptr;
    }
    return s;
}

XScreen::~XScreen()
{
    for (Program &p : programs_)
        if (p.pid > 0)
            Stop(p.pid);
    for (Program &p : programs_)
        unlink(p.errPath.c_str());
    Stop(manager_);
    if (x_)
        XCloseDisplay(x_);
    Stop(server_);
}

Program XScreen::run(const std::vector<std::string> &argv, const std::vector<std::string> &env)
{
    char errPath[] = "/tmp/quelvane-screen-err-XXXXXX";
    close(mkstemp(errPath));
    Program p;
    p.errPath = errPath;
    p.pid = fork();
    if (p.pid == 0) {
        setenv("DISPLAY", name_.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        for (const std::string &e : env)
            putenv(const_cast<char *>(e.c_str()));
        Exec(argv, errPath);
    }
    programs_.push_back(p);
    return p;
}

// The mapped client window with this title, or 0.
XWindow XScreen::find(const std::string &title)
{
    for (long w : Property<long>(x_, DefaultRootWindow(x_), "_NET_CLIENT_LIST", XA_WINDOW)) {
        const auto name = Property<char>(x_, w, "_NET_WM_NAME", XInternAtom(x_, "UTF8_STRING", False));
        XWindowAttributes a;
        if (std::string(name.begin(), name.end()) == title && XGetWindowAttributes(x_, w, &a) &&
            a.map_state == IsViewable)
            return static_cast<XWindow>(w);
    }
    return 0;
}

XWindow XScreen::waitForWindow(const std::string &title, double seconds)
{
    XWindow w = 0;
    Until([&] { return (w = find(title)) != 0; }, seconds);
    return w;
}

bool XScreen::waitForNoWindow(const std::string &title, double seconds)
{
    return Until([&] { return find(title) == 0; }, seconds);
}

bool XScreen::waitForFocus(XWindow w, double seconds)
{
    return Until(
        [&] {
            Window focus = 0;
            int revert = 0;
            XGetInputFocus(x_, &focus, &revert);
            return focus == w;
        },
        seconds);
}

Box XScreen::contentOf(XWindow w)
{
    XWindowAttributes a{};
    XGetWindowAttributes(x_, w, &a);
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(x_, w, DefaultRootWindow(x_), 0, 0, &rx, &ry, &child);
    return Box{rx, ry, a.width, a.height};
}

Box XScreen::frameOf(XWindow w)
{
    const Box c = contentOf(w);
    const std::vector<long> e = Property<long>(x_, w, "_NET_FRAME_EXTENTS", XA_CARDINAL); // left, right, top, bottom
    if (e.size() != 4)
        return c;
    return Box{c.left - static_cast<int>(e[0]), c.top - static_cast<int>(e[2]), c.width + static_cast<int>(e[0] + e[1]),
               c.height + static_cast<int>(e[2] + e[3])};
}

XWindow XScreen::transientFor(XWindow w)
{
    Window parent = 0;
    return XGetTransientForHint(x_, w, &parent) ? parent : 0;
}

std::vector<std::string> XScreen::atoms(XWindow w, const char *property)
{
    std::vector<std::string> names;
    for (long a : Property<long>(x_, w, property, XA_ATOM)) {
        char *name = XGetAtomName(x_, static_cast<Atom>(a));
        names.push_back(name ? name : "");
        XFree(name);
    }
    return names;
}

Capture XScreen::grab(const Box &box)
{
    Capture c;
    c.box = box;
    XImage *image = XGetImage(x_, DefaultRootWindow(x_), box.left, box.top, static_cast<unsigned>(box.width),
                              static_cast<unsigned>(box.height), AllPlanes, ZPixmap);
    if (!image)
        return c;
    c.pixels.resize(static_cast<size_t>(box.width) * box.height);
    for (int y = 0; y < box.height; ++y)
        for (int x = 0; x < box.width; ++x) {
            uint32_t p = image->bits_per_pixel == 32
                             ? reinterpret_cast<const uint32_t *>(image->data + y * image->bytes_per_line)[x]
                             : static_cast<uint32_t>(XGetPixel(image, x, y));
            c.pixels[static_cast<size_t>(y) * box.width + x] = p & 0xFFFFFF;
        }
    XDestroyImage(image);
    return c;
}

Capture XScreen::waitFor(const Box &box, const std::function<bool(const Capture &)> &check, double seconds)
{
    Capture c;
    Until([&] { return check(c = grab(box)); }, seconds);
    return c;
}

Capture XScreen::waitForStill(const Box &box, double still, double seconds)
{
    Capture last = grab(box);
    auto since = Clock::now();
    Until([&] {
        Capture c = grab(box);
        if (c != last) {
            last = std::move(c);
            since = Clock::now();
        }
        return Seconds(since) >= still;
    }, seconds);
    return last;
}

void XScreen::sync()
{
    XSync(x_, False);
}

void XScreen::move(int x, int y)
{
    XTestFakeMotionEvent(x_, -1, x, y, CurrentTime);
    XFlush(x_);
}

void XScreen::press(int button)
{
    XTestFakeButtonEvent(x_, static_cast<unsigned>(button), True, CurrentTime);
    XFlush(x_);
}

void XScreen::release(int button)
{
    XTestFakeButtonEvent(x_, static_cast<unsigned>(button), False, CurrentTime);
    XFlush(x_);
}

void XScreen::click(int x, int y)
{
    move(x, y);
    press();
    release();
    XSync(x_, False);
}

void XScreen::key(const char *keysym, const char *modifier)
{
    const KeyCode code = XKeysymToKeycode(x_, XStringToKeysym(keysym));
    const KeyCode mod = modifier ? XKeysymToKeycode(x_, XStringToKeysym(modifier)) : 0;
    if (mod)
        XTestFakeKeyEvent(x_, mod, True, CurrentTime);
    XTestFakeKeyEvent(x_, code, True, CurrentTime);
    XTestFakeKeyEvent(x_, code, False, CurrentTime);
    if (mod)
        XTestFakeKeyEvent(x_, mod, False, CurrentTime);
    XSync(x_, False);
}

void XScreen::type(const std::string &text)
{
    for (char ch : text) {
        const std::string plain(1, static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
        const char *name = ch == '/' ? "slash" : ch == '.' ? "period" : ch == '-' ? "minus" : ch == '_' ? "underscore"
                                                                                                     : plain.c_str();
        key(name, std::isupper(static_cast<unsigned char>(ch)) || ch == '_' ? "Shift_L" : nullptr);
    }
}

void XScreen::clickCloseButton(XWindow w)
{
    const Box c = contentOf(w), f = frameOf(w);
    const int title = c.top - f.top;
    click(f.right() - (f.right() - c.right()) - title / 2 - 2, f.top + title / 2);
}

} // namespace xscreen
