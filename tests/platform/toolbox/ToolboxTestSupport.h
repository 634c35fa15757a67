// Shared pieces of the toolbox tests: a description with one window of every
// kind of control, a custom control class, and helpers.
#pragma once

#include "toolbox/CarbonEvents.h"
#include "toolbox/Controls.h"
#include "toolbox/MacWindows.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tbtest {

inline constexpr const char *kTestClass = "test.recording.box";

// Window "panel": every kind of control.
inline const char kPanelNib[] = R"(# test windows
window panel
    title "Test Panel"
    bounds 100 100 340 500
    control slider
        id Sldr 1
        bounds 10 10 30 210
        minimum -100
        maximum 400
        value 120
        live
    end
    control statictext id Lgnd 1 bounds 10 220 30 300 text "120%" end
    control popup
        id Medi 1
        bounds 40 10 60 150
        item NTSC item PAL item "HD 16:9"
        command Medi
    end
    control checkbox id Prop 1 bounds 70 10 90 150 title "Keep proportions" command Prop end
    control edittext id Name 1 bounds 100 10 120 200 text "abc" end
    control groupbox bounds 130 5 235 395 title "Preview" end
    control custom id Colr 1 bounds 140 10 200 110 class "test.recording.box" command Col1 maximum 16777215 end
    control pushbutton id "ok  " 1 bounds 205 300 225 380 title OK command "ok  " default end
    control pushbutton id Canc 1 bounds 205 210 225 290 title Cancel command "not!" cancel end
    control pushbutton id Info 1 bounds 205 10 225 90 title "About..." command Info end
    control slider id Hide 1 bounds 40 200 60 390 hidden end
end
)";

inline IBNibRef MakeNib(const char *text = kPanelNib)
{
    IBNibRef nib = nullptr;
    char error[256];
    OSStatus s = QVCreateNibReferenceFromText("test", text, std::strlen(text), &nib, error, sizeof error);
    EXPECT_EQ(s, noErr) << error;
    return nib;
}

inline ControlRef Find(WindowRef w, const char *sig, SInt32 id)
{
    ControlID cid{QV_FOURCC(sig[0], sig[1], sig[2], sig[3]), id};
    ControlRef c = nullptr;
    GetControlByID(w, &cid, &c);
    return c;
}

inline UInt32 CommandOf(EventRef e)
{
    HICommand command{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    return command.commandID;
}

// The custom control class the panel's box belongs to; it draws nothing.
struct Recorder {
    ToolboxObjectClassRef cls = nullptr;

    static OSStatus Handler(EventHandlerCallRef, EventRef, void *) { return noErr; }
    void Register()
    {
        static const EventTypeSpec draw{kEventClassControl, kEventControlDraw};
        ASSERT_EQ(QVRegisterToolboxObjectClass(kTestClass, 1, &draw, NewEventHandlerUPP(Handler), this, &cls), noErr);
    }
    void Unregister()
    {
        if (cls) {
            EXPECT_EQ(UnregisterToolboxObjectClass(cls), noErr);
        }
        cls = nullptr;
    }
};

// The "panel" window made for each test, with the recording class registered.
class PanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rec.Register();
        nib = MakeNib();
        ASSERT_EQ(QVCreateWindowFromNibNamed(nib, "panel", &w), noErr);
    }
    void TearDown() override
    {
        QVToolboxClearScript();
        if (w)
            DisposeWindow(w);
        DisposeNibReference(nib);
        rec.Unregister();
    }
    Recorder rec;
    IBNibRef nib = nullptr;
    WindowRef w = nullptr;
};

// Loads a script and fails the test when it is refused.
inline void LoadScript(const std::string &text)
{
    char error[256];
    ASSERT_EQ(QVToolboxLoadScript(text.data(), text.size(), error, sizeof error), noErr) << error;
}

// Collects report lines.
struct ReportLines {
    std::vector<std::string> lines;
    ReportLines() { QVToolboxSetReportProc(&Add, this); }
    ~ReportLines() { QVToolboxSetReportProc(nullptr, nullptr); }
    static void Add(const char *line, void *self) { static_cast<ReportLines *>(self)->lines.push_back(line); }
    std::string all() const
    {
        std::string s;
        for (auto &l : lines)
            s += l + "\n";
        return s;
    }
};

} // namespace tbtest
