// Window descriptions from outside the program: damaged ones are refused
// with the line and the reason, before anything is made. (Good descriptions:
// the bundle's own windows, in the dialog and screen tests.)
#include "ToolboxTestSupport.h"

using namespace tbtest;

TEST(NibDescription, DamagedDescriptionsAreRefusedWithLineAndReason)
{
    const std::string longTitle = "window w title \"" + std::string(300, 'x') + "\" bounds 0 0 1 1 end";
    std::string many = "window w bounds 0 0 10 10\n";
    for (int i = 0; i < 1001; ++i)
        many += "control statictext bounds 0 0 1 1 end\n";
    const struct {
        std::string text;
        const char *reasonPart;
        int line;
    } cases[] = {
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
        {longTitle, "longer than 255", 1},
        {many + "end\n", "more than 1000 controls", 1002},
    };
    for (const auto &c : cases) {
        IBNibRef nib = nullptr;
        char error[256] = "";
        EXPECT_EQ(QVCreateNibReferenceFromText("bad", c.text.data(), c.text.size(), &nib, error, sizeof error),
                  kIBCarbonRuntimeCantFindNibFile);
        EXPECT_EQ(nib, nullptr);
        const std::string said = error;
        EXPECT_NE(said.find(c.reasonPart), std::string::npos) << c.text.substr(0, 80) << " gave: " << said;
        EXPECT_EQ(said.rfind("line " + std::to_string(c.line) + ":", 0), 0u) << said;
    }
}
