// Shared pieces of the toolbox tests: a description with one window of every
// kind of control, a recording custom control class, and helpers.
#pragma once

#include "quickdraw/QuickDraw.h"
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

// Window "panel": every kind of control; window "other": a second window.
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
window other
    title Other
    bounds 150 150 250 350
    control pushbutton id "ok  " 1 bounds 60 110 80 190 title Close command "ok  " end
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

inline std::string Text(ControlRef c)
{
    char buffer[256];
    Size size = 0;
    if (GetControlData(c, 0, kControlEditTextTextTag, sizeof buffer, buffer, &size) != noErr)
        return "<error>";
    return std::string(buffer, static_cast<size_t>(std::min<Size>(size, sizeof buffer)));
}

inline UInt32 CommandOf(EventRef e)
{
    HICommand command{};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    return command.commandID;
}

// The colour of a port pixel as 0xRRGGBB.
inline UInt32 PortPixel(CGrafPtr port, int h, int v)
{
    PixMapHandle pm = GetPortPixMap(port);
    const UInt8 *p = reinterpret_cast<const UInt8 *>(GetPixBaseAddr(pm)) + v * GetPixRowBytes(pm) + h * 4;
    return (UInt32(p[1]) << 16) | (UInt32(p[2]) << 8) | p[3];
}

// A custom control class that records every event it gets and, on draw,
// paints its bounds in the colour of its value (0xRRGGBB) with a black frame
// unless it is inactive or disabled.
struct Recorder {
    std::vector<std::pair<UInt32, UInt32>> events; // class, kind
    std::vector<Point> mouse;
    bool handleTrack = false;
    ToolboxObjectClassRef cls = nullptr;

    static OSStatus Handler(EventHandlerCallRef, EventRef e, void *userData)
    {
        auto *self = static_cast<Recorder *>(userData);
        self->events.push_back({GetEventClass(e), GetEventKind(e)});
        ControlRef c = nullptr;
        GetEventParameter(e, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
        switch (GetEventKind(e)) {
        case kEventControlDraw: {
            GrafPtr saved = nullptr;
            GetPort(&saved);
            SetPort(GetWindowPort(GetControlOwner(c)));
            Rect r;
            GetControlBounds(c, &r);
            UInt16 hilite = GetControlHilite(c);
            if (hilite != kControlInactivePart && hilite != kControlDisabledPart) {
                UInt32 v = static_cast<UInt32>(GetControl32BitValue(c));
                RGBColor color{UInt16(((v >> 16) & 0xFF) * 257), UInt16(((v >> 8) & 0xFF) * 257),
                               UInt16((v & 0xFF) * 257)};
                RGBForeColor(&color);
                PaintRect(&r);
                RGBColor black{0, 0, 0};
                RGBForeColor(&black);
                FrameRect(&r);
                if (hilite > 0)
                    InvertRect(&r);
            }
            SetPort(saved);
            return noErr;
        }
        case kEventControlHitTest: {
            Point where{0, 0};
            GetEventParameter(e, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where);
            self->mouse.push_back(where);
            Rect r;
            GetControlBounds(c, &r);
            ControlPartCode part = PtInRect(where, &r) ? 1 : 0;
            SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
            return noErr;
        }
        case kEventControlTrack:
            return self->handleTrack ? noErr : eventNotHandledErr;
        case kEventControlHit:
            return eventNotHandledErr; // standard handling sends the command
        default:
            return noErr;
        }
    }

    void Register()
    {
        static const EventTypeSpec kinds[] = {
            {kEventClassControl, kEventControlDraw},     {kEventClassControl, kEventControlHitTest},
            {kEventClassControl, kEventControlHit},      {kEventClassControl, kEventControlActivate},
            {kEventClassControl, kEventControlOwningWindowChanged}, {kEventClassControl, kEventControlTrack}};
        ASSERT_EQ(QVRegisterToolboxObjectClass(kTestClass, 6, kinds, NewEventHandlerUPP(Handler), this, &cls), noErr);
    }
    void Unregister()
    {
        if (cls) {
            EXPECT_EQ(UnregisterToolboxObjectClass(cls), noErr);
        }
        cls = nullptr;
    }
    int Count(UInt32 kind) const
    {
        int n = 0;
        for (auto &e : events)
            n += e.second == kind;
        return n;
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
