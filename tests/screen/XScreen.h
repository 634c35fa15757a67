// XScreen.h: a private X display for tests and benchmarks that look at the
// program as a person does. It starts Xvfb (a free display number) with the
// openbox window manager, runs programs on it, sends real input through the
// XTest extension, finds windows by title and captures what the screen
// shows (XGetImage on the root window), and stops everything at the end.
//
// Ownership: the display, its server, its window manager and the programs
// started with Run() belong to the XScreen; the destructor ends them.
#ifndef QUELVANE_TESTS_XSCREEN_H
#define QUELVANE_TESTS_XSCREEN_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay;

namespace xscreen {

// An X window (Xlib's Window; Xlib itself is kept out of the users, whose
// names it would clash with).
using XWindow = unsigned long;

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    int centreX() const { return left + width / 2; }
    int centreY() const { return top + height / 2; }
    Box inset(int d) const { return Box{left + d, top + d, width - 2 * d, height - 2 * d}; }
    Box at(int dx, int dy) const { return Box{left + dx, top + dy, width, height}; }
};

// Screen pixels as 0xRRGGBB, row by row.
struct Capture {
    Box box;
    std::vector<uint32_t> pixels;
    bool operator==(const Capture &o) const { return box.width == o.box.width && pixels == o.pixels; }
    bool operator!=(const Capture &o) const { return !(*this == o); }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * box.width + x]; }
};

// A program started on the display.
struct Program {
    pid_t pid = -1;
    std::string errPath; // its standard error
    // Waits for its end: the exit status, 128 + signal, or -1 when it did
    // not end in time (it is killed then).
    int wait(double seconds);
    std::string err() const;
};

class XScreen {
public:
    // Starts Xvfb and openbox; nullptr (and why in *why) when they cannot run.
    static std::unique_ptr<XScreen> Start(int width, int height, std::string *why);
    ~XScreen();

    const std::string &name() const { return name_; }
    _XDisplay *display() const { return x_; }

    // Runs a program on the display with extra environment entries.
    Program run(const std::vector<std::string> &argv, const std::vector<std::string> &env);

    // The mapped client window with this title (0: none), and the same
    // once it is there (0 on time-out).
    XWindow find(const std::string &title);
    XWindow waitForWindow(const std::string &title, double seconds);
    // True once no mapped client window has this title.
    bool waitForNoWindow(const std::string &title, double seconds);
    // True once the window has the keyboard focus (keys go to it).
    bool waitForFocus(XWindow w, double seconds);
    // The client window's content on the root, and its frame.
    Box contentOf(XWindow w);
    Box frameOf(XWindow w);
    XWindow transientFor(XWindow w);
    std::vector<std::string> atoms(XWindow w, const char *property);

    Capture grab(const Box &box);
    // Captures box until check accepts it; the last capture either way.
    Capture waitFor(const Box &box, const std::function<bool(const Capture &)> &check, double seconds);
    // Captures box until it differs from before.
    // Waits until box has shown one picture for `still` seconds (at most
    // `seconds` in all): the program has taken in the input sent so far.
    Capture waitForStill(const Box &box, double still, double seconds);
    Capture waitForChange(const Capture &before, double seconds)
    {
        return waitFor(before.box, [&](const Capture &c) { return c != before; }, seconds);
    }

    // Waits until the server has handled every request sent so far.
    void sync();

    // Real input, through XTest.
    void move(int x, int y);
    void press(int button = 1);
    void release(int button = 1);
    void click(int x, int y);
    void key(const char *keysym, const char *modifier = nullptr);
    // Types text of letters, digits and / . - _ (each key pressed and released).
    void type(const std::string &text);
    // The window manager's close button of a client window (openbox's
    // default theme puts it at the right end of the title bar).
    void clickCloseButton(XWindow w);

private:
    XScreen() = default;
    std::string name_;
    pid_t server_ = -1, manager_ = -1;
    _XDisplay *x_ = nullptr;
    std::vector<Program> programs_;
};

double Seconds(std::chrono::steady_clock::time_point since);

} // namespace xscreen

#endif // QUELVANE_TESTS_XSCREEN_H
