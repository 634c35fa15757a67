// Window descriptions: what a good description makes, and the refusal of
// damaged ones with the line and the reason.
#include "ToolboxTestSupport.h"

using namespace tbtest;

namespace {

struct Refused {
    const char *text;
    const char *reasonPart;
    int line;
};

std::string Refusal(const char *text)
{
    IBNibRef nib = nullptr;
    char error[256] = "";
    OSStatus s = QVCreateNibReferenceFromText("bad", text, std::strlen(text), &nib, error, sizeof error);
    EXPECT_EQ(s, kIBCarbonRuntimeCantFindNibFile) << text;
    EXPECT_EQ(nib, nullptr);
    if (nib)
        DisposeNibReference(nib);
    return error;
}

} // namespace

TEST(NibDescription, MakesEveryKindOfControlWithItsProperties)
{
    Recorder rec;
    rec.Register();
    IBNibRef nib = MakeNib();
    WindowRef w = nullptr;
    ASSERT_EQ(QVCreateWindowFromNibNamed(nib, "panel", &w), noErr);
    DisposeNibReference(nib); // windows outlive their nib reference

    Rect r;
    ASSERT_EQ(GetWindowBounds(w, kWindowStructureRgn, &r), noErr);
    EXPECT_EQ(r.top, 100 - kQVTitleBarHeight) << "the title bar lies above the content";
    EXPECT_EQ(r.bottom, 340);
    EXPECT_EQ(r.right, 500);
    EXPECT_FALSE(IsWindowVisible(w));
    Str255 title;
    GetWTitle(w, title);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(title + 1), title[0]), "Test Panel");

    ControlRef slider = Find(w, "Sldr", 1);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(GetControl32BitMinimum(slider), -100);
    EXPECT_EQ(GetControl32BitValue(slider), 120);
    ControlRef popup = Find(w, "Medi", 1);
    EXPECT_EQ(GetControl32BitMaximum(popup), 3); // one per item
    Str255 item;
    GetMenuItemText(GetControlPopupMenuHandle(popup), 3, item);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(item + 1), item[0]), "HD 16:9");
    GetMenuItemText(GetControlPopupMenuHandle(popup), 4, item);
    EXPECT_EQ(item[0], 0);
    EXPECT_EQ(GetControlPopupMenuHandle(slider), nullptr);
    EXPECT_EQ(GetControl32BitMaximum(Find(w, "Prop", 1)), 1);
    EXPECT_EQ(Text(Find(w, "Lgnd", 1)), "120%");
    EXPECT_FALSE(IsControlVisible(Find(w, "Hide", 1)));
    UInt32 command = 0;
    GetControlCommandID(Find(w, "ok  ", 1), &command);
    EXPECT_EQ(command, (UInt32)kHICommandOK);
    EXPECT_EQ(GetControl32BitMaximum(Find(w, "Colr", 1)), 16777215);
    EXPECT_EQ(Find(w, "colr", 1), nullptr); // signatures compare exactly
    DisposeWindow(w);
    rec.Unregister();
}

TEST(NibDescription, QuotingCommentsAndControlsWithoutId)
{
    const char *text = "# a comment\nwindow \"two words\" # trailing comment\n"
                       " title \"say \\\"hi\\\" \\\\ now\" bounds 0 0 20 20\n"
                       " control groupbox bounds 1 1 10 10 end\n"
                       " control pushbutton id \"ok  \" 1 bounds 0 0 5 5 command \"ok  \" end\nend\n";
    IBNibRef nib = MakeNib(text);
    WindowRef w = nullptr;
    ASSERT_EQ(QVCreateWindowFromNibNamed(nib, "two words", &w), noErr);
    Str255 title;
    GetWTitle(w, title);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(title + 1), title[0]), "say \"hi\" \\ now");
    EXPECT_NE(Find(w, "ok  ", 1), nullptr);
    char description[512]; // the control without an ID is not addressable, but exists
    QVToolboxDescribeWindow(w, description, sizeof description);
    EXPECT_NE(std::string(description).find("groupbox"), std::string::npos);
    DisposeWindow(w);
    DisposeNibReference(nib);
}

TEST(NibDescription, MissingFileWindowOrClassFailsWithStatusAndMakesNothing)
{
    IBNibRef nib = MakeNib();
    WindowRef w = reinterpret_cast<WindowRef>(1);
    EXPECT_EQ(QVCreateWindowFromNibNamed(nib, "nosuch", &w), kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(w, nullptr);
    // The panel names a class nobody registered.
    EXPECT_EQ(QVCreateWindowFromNibNamed(nib, "panel", &w), hiObjectClassNotFoundErr);
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(FrontWindow(), nullptr);
    DisposeNibReference(nib);
    EXPECT_EQ(QVCreateWindowFromNibNamed(nib, "other", &w), paramErr); // disposed reference
    char error[256];
    EXPECT_EQ(QVCreateNibReferenceFromFile("/nonexistent/dir/x.nib", &nib, error, sizeof error),
              kIBCarbonRuntimeCantFindNibFile);
    EXPECT_EQ(nib, nullptr);
    EXPECT_NE(std::string(error).find("cannot read"), std::string::npos);
}

TEST(NibDescription, DamagedDescriptionsAreRefusedWithLineAndReason)
{
    const Refused cases[] = {
        {"window w\n bounds 0 0 10 10\n", "not closed", 2},
        {"window w bounds 0 0 10 10 end\nwindow w bounds 0 0 10 10 end\n", "two windows", 2},
        {"window w end", "without bounds", 1},
        {"window w bounds 0 0 10 10 control custom bounds 0 0 1 1 end end", "without class", 1},
        {"window w bounds 10 0 0 10 end", "bottom >= top", 1},
        {"window w bounds 0 0 5000 10 end", "window size", 1},
        {"window w bounds 0 0 10 10\n\n control slider bounds 0 0 40000 1 end end", "-32768..32767", 3},
        {"window w bounds 0 0 10 10 control slider bounds 0 0 1 1 value 5 maximum 4 end end", "outside", 1},
        {"window w bounds 0 0 10 10 control slider bounds 0 0 1 1 value 99999999999 end end", "32 bits", 1},
        {"window w bounds 0 0 10 10 control slider id Sld 1 bounds 0 0 1 1 end end", "four characters", 1},
        {"window w bounds 0 0 10 10 control pushbutton id Butn 1 bounds 0 0 1 1 end\n"
         "control pushbutton id Butn 1 bounds 0 0 1 1 end end",
         "two controls with the ID Butn 1", 2},
        {"window w bounds 0 0 10 10 control statictext bounds 0 0 1 1 item x end end", "has no property \"item\"",
         1},
        {"window w bounds 0 0 10 10 control slider bounds 0 0 1 1 bounds 0 0 1 1 end end", "given twice", 1},
        {"window w bounds 0 0 10 10 control knob bounds 0 0 1 1 end end", "unknown control kind", 1},
        {"button w", "expected \"window\"", 1},
        {"window w title \"unterminated\n bounds 0 0 1 1 end", "not closed before the end of the line", 1},
        {"window w bounds 0 0 10 10 \x01 end", "control character", 1},
    };
    for (const Refused &c : cases) {
        std::string error = Refusal(c.text);
        EXPECT_NE(error.find(c.reasonPart), std::string::npos) << c.text << " gave: " << error;
        EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ":", 0), 0u) << c.text << " gave: " << error;
    }
}

TEST(NibDescription, LimitsAreEnforcedBeforeAllocation)
{
    std::string longText = "window w title \"" + std::string(300, 'x') + "\" bounds 0 0 1 1 end";
    EXPECT_NE(Refusal(longText.c_str()).find("longer than 255"), std::string::npos);
    std::string many = "window w bounds 0 0 10 10\n";
    for (int i = 0; i < 1001; ++i)
        many += "control statictext bounds 0 0 1 1 end\n";
    many += "end\n";
    EXPECT_NE(Refusal(many.c_str()).find("more than 1000 controls"), std::string::npos);
}
