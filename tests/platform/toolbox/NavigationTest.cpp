// Descriptor lists, alerts answered by script, and nibs and classes found
// through bundles and string objects. (The open and save dialogs answered by
// script: tests/plugin/dialog/FileChooserTest.cpp.)
#include "ToolboxTestSupport.h"

#include "corefoundation/CFBundle.h"
#include "toolbox/Alerts.h"
#include "toolbox/Navigation.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace tbtest;
namespace fs = std::filesystem;

namespace {

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/qvtb-navXXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string &name, const std::string &content = "x") const
    {
        std::string p = path + "/" + name;
        fs::create_directories(fs::path(p).parent_path());
        std::ofstream(p) << content;
        return p;
    }
    std::string path;
};

} // namespace

TEST(DescriptorLists, HoldItemsByIndexWithTheirTypesAndNeverOverrunABuffer)
{
    AEDescList list;
    ASSERT_EQ(AECreateList(nullptr, 0, false, &list), noErr);
    FSSpec spec{};
    for (int i = 0; i < 6; ++i) {
        spec.parID = 100 + i;
        EXPECT_EQ(AEPutPtr(&list, 0, typeFSS, &spec, sizeof spec), noErr);
    }
    long count = 0;
    EXPECT_TRUE(AECountItems(&list, &count) == noErr && count == 6);
    Size size = 0;
    EXPECT_EQ(AEGetNthPtr(&list, 6, typeFSS, nullptr, nullptr, &spec, sizeof spec, &size), noErr);
    const SInt32 parID = spec.parID; // FSSpec is packed: no reference to its fields
    EXPECT_EQ(parID, 105);
    EXPECT_EQ(AEGetNthPtr(&list, 7, typeFSS, nullptr, nullptr, &spec, sizeof spec, &size), errAEIllegalIndex);
    EXPECT_EQ(AEGetNthPtr(&list, 1, typeFSRef, nullptr, nullptr, &spec, sizeof spec, &size), errAECoercionFail);
    UInt8 small[4] = {0, 0, 0, 0};
    EXPECT_EQ(AEGetNthPtr(&list, 2, typeWildCardDesc, nullptr, nullptr, small, 2, &size), noErr);
    EXPECT_TRUE(size == 70 && small[2] == 0);
    EXPECT_EQ(AEPutPtr(&list, 9, typeFSS, &spec, sizeof spec), errAEIllegalIndex);
    AEDesc plain;
    ASSERT_EQ(AECreateDesc(typeFSS, &spec, sizeof spec, &plain), noErr);
    EXPECT_EQ(AECountItems(&plain, &count), errAEWrongDataType);
    AEDisposeDesc(&plain);
    AEDisposeDesc(&list);
    EXPECT_EQ(AECountItems(&list, &count), errAEWrongDataType);
}

TEST(ScriptedAlerts, TheAnswerAfterTheActionChoosesTheButton)
{
    ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndHeadless), noErr);
    LoadScript("alert 2\nalert 3\n");
    AlertStdCFStringAlertParamRec param;
    GetStandardAlertDefaultParams(&param, kStdCFStringAlertVersionOne);
    param.cancelText = CFSTR("Cancel");
    param.cancelButton = 2;
    DialogRef alert = nullptr;
    ASSERT_EQ(CreateStandardAlert(kAlertCautionAlert, CFSTR("Headline"), CFSTR("Description"), &param, &alert),
              noErr);
    DialogItemIndex hit = 0;
    ASSERT_EQ(RunStandardAlert(alert, nullptr, &hit), noErr);
    EXPECT_EQ(hit, 2);
    // Button 3 does not exist: the default answers and the script notes it.
    ASSERT_EQ(CreateStandardAlert(kAlertCautionAlert, CFSTR("Again"), nullptr, &param, &alert), noErr);
    ASSERT_EQ(RunStandardAlert(alert, nullptr, &hit), noErr);
    EXPECT_EQ(hit, 1);
    EXPECT_EQ(QVToolboxScriptProblems(), 1u);
    // No answer left: the default button.
    ASSERT_EQ(CreateStandardAlert(kAlertStopAlert, CFSTR("Last"), nullptr, nullptr, &alert), noErr);
    ASSERT_EQ(RunStandardAlert(alert, nullptr, &hit), noErr);
    EXPECT_EQ(hit, 1);
    QVToolboxClearScript();
}

TEST(BundleNibs, WindowsComeFromTheBundlesNibFiles)
{
    TempDir dir;
    dir.file("Test.bundle/Contents/Info", "CFBundleIdentifier = test.toolbox.bundle\n");
    dir.file("Test.bundle/Contents/Resources/panel.nib", kPanelNib);
    dir.file("Test.bundle/Contents/Resources/broken.nib", "window w bounds 0 0 1 1\n");
    std::string bundlePath = dir.path + "/Test.bundle";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(bundlePath.c_str()),
                                                           static_cast<CFIndex>(bundlePath.size()), true);
    ASSERT_NE(url, nullptr);
    CFBundleRef bundle = CFBundleCreate(nullptr, url);
    CFRelease(url);
    ASSERT_NE(bundle, nullptr);

    const EventTypeSpec draw{kEventClassControl, kEventControlDraw};
    ToolboxObjectClassRef cls = nullptr;
    ASSERT_EQ(RegisterToolboxObjectClass(CFSTR("test.recording.box"), nullptr, 1, &draw, Recorder::Handler, nullptr,
                                         &cls),
              noErr);
    IBNibRef nib = nullptr;
    ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("panel"), &nib), noErr);
    WindowRef w = nullptr;
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("other"), &w), noErr);
    EXPECT_STREQ(QVGetWindowName(w), "other");
    DisposeWindow(w);
    EXPECT_EQ(CreateWindowFromNib(nib, CFSTR("absent"), &w), kIBCarbonRuntimeCantFindObject);
    EXPECT_EQ(w, nullptr);
    DisposeNibReference(nib);
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("absent"), &nib), kIBCarbonRuntimeCantFindNibFile);
    EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("broken"), &nib), kIBCarbonRuntimeCantFindNibFile);
    EXPECT_EQ(CreateNibReferenceWithCFBundle(nullptr, CFSTR("panel"), &nib), kIBCarbonRuntimeCantFindNibFile);
    EXPECT_EQ(nib, nullptr);
    EXPECT_EQ(UnregisterToolboxObjectClass(cls), noErr);
    ToolboxObjectClassRef base = cls;
    EXPECT_EQ(RegisterToolboxObjectClass(CFSTR("x.y"), base, 1, &draw, Recorder::Handler, nullptr, &cls), paramErr);
}
