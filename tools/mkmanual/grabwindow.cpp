// grabwindow: pictures of the plug-in's real windows for the manual. Build-time
// tool: it opens the settings window exactly as `quelvane-host settings`
// does (the built bundle, the demo clip, the saved settings of
// $XDG_CONFIG_HOME) on the toolbox's on-screen front end, on Qt's offscreen
// platform, and writes what the window shows, controls and all, as PNG
// files; with a second file it also opens the about window from the
// settings window's button and pictures it. Then it cancels.
//
// Usage: grabwindow SETTINGS.png [ABOUT.png]
#include "Commands.h"
#include "HostError.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// The shown toolbox window whose title starts with the text.
QWidget *Shown(const QString &title)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->property("quelvaneWindow").toBool() && w->isVisible() && w->windowTitle().startsWith(title))
            return w;
    return nullptr;
}

void Press(QWidget *window, const QString &title)
{
    for (QPushButton *b : window->findChildren<QPushButton *>())
        if (b->text() == title)
            return b->click();
    std::fprintf(stderr, "grabwindow: no button %s\n", qPrintable(title));
    std::exit(1);
}

// Waits (on the running modal loop) for a window, lets it paint, grabs it.
void Grab(const QString &title, const char *path, std::function<void(QWidget *)> then, int tries = 200)
{
    QTimer::singleShot(20, [=] {
        QWidget *w = Shown(title);
        if (!w) {
            if (tries == 0) {
                std::fprintf(stderr, "grabwindow: the window %s did not open\n", qPrintable(title));
                std::exit(1);
            }
            return Grab(title, path, then, tries - 1);
        }
        if (!w->grab().save(QString::fromLocal8Bit(path), "PNG")) {
            std::fprintf(stderr, "grabwindow: cannot write %s\n", path);
            std::exit(1);
        }
        then(w);
    });
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: grabwindow SETTINGS.png [ABOUT.png]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (QVToolboxSelectFrontEnd(kQVFrontEndScreen) != noErr) {
        std::fprintf(stderr, "grabwindow: Qt's offscreen platform is not available\n");
        return 1;
    }
    const char *about = argc == 3 ? argv[2] : nullptr;
    Grab("Quelvane Settings", argv[1], [about](QWidget *settings) {
        if (!about)
            return Press(settings, "Cancel");
        // The button runs the about window's loop: its grab waits in there.
        Grab("About Quelvane", about, [settings](QWidget *window) {
            Press(window, "OK");
            // The settings window takes the click once the about window is gone.
            QTimer::singleShot(100, [settings] { Press(settings, "Cancel"); });
        });
        Press(settings, "About...");
    });
    try {
        qvhost::CommandOptions options;
        qvhost::RunSettings(options);
    } catch (const qvhost::HostError &e) {
        std::fprintf(stderr, "grabwindow: %s\n", e.what());
        return 1;
    }
    return 0;
}
