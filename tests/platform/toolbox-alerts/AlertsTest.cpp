// Standard alerts: buttons and answers, presenters, and ending the process.
// (The headless output: the end-to-end settings tests.)
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "toolbox/Alerts.h"

namespace {

std::string Text(CFStringRef s) {
    if (!s) return "<none>";
    char buffer[512];
    QVCFStringGetUTF8(s, buffer, sizeof buffer);
    return buffer;
}

// Records what it was shown and answers a planned item.
struct Recorder {
    DialogItemIndex answer = 1;
    int calls = 0;
    std::string message;
    std::vector<std::string> buttons;
    DialogItemIndex cancelButton = -1;

    static DialogItemIndex Present(const QVAlertContent *alert, void *refCon) {
        auto *self = static_cast<Recorder *>(refCon);
        ++self->calls;
        self->message = Text(alert->messageText);
        self->buttons.clear();
        for (CFStringRef b : alert->buttonText) self->buttons.push_back(Text(b));
        self->cancelButton = alert->cancelButton;
        return self->answer;
    }
};

class Alerts : public ::testing::Test {
protected:
    void SetUp() override { QVSetAlertPresenter(&Recorder::Present, &recorder); }
    void TearDown() override { QVSetAlertPresenter(nullptr, nullptr); }

    DialogItemIndex Run(AlertType type, CFStringRef message, CFStringRef explanation,
                        const AlertStdCFStringAlertParamRec *param) {
        DialogRef alert = nullptr;
        EXPECT_EQ(CreateStandardAlert(type, message, explanation, param, &alert), noErr);
        DialogItemIndex hit = -1;
        EXPECT_EQ(RunStandardAlert(alert, nullptr, &hit), noErr);
        return hit;
    }

    Recorder recorder;
};

} // namespace

TEST_F(Alerts, DefaultParametersGiveOneOKButton) {
    AlertStdCFStringAlertParamRec param;
    ASSERT_EQ(GetStandardAlertDefaultParams(&param, kStdCFStringAlertVersionOne), noErr);
    EXPECT_EQ(GetStandardAlertDefaultParams(&param, 2), paramErr);
    EXPECT_EQ(GetStandardAlertDefaultParams(nullptr, 1), paramErr);

    recorder.answer = kAlertStdAlertCancelButton; // not offered: the default answers instead
    EXPECT_EQ(Run(kAlertStopAlert, CFSTR("Headline"), CFSTR("Description"), nullptr), kAlertStdAlertOKButton);
    EXPECT_EQ(recorder.message, "Headline");
    EXPECT_EQ(recorder.buttons, (std::vector<std::string>{"OK", "<none>", "<none>"}));
    EXPECT_EQ(recorder.cancelButton, 0);

    param.cancelButton = kAlertStdAlertCancelButton; // a cancel item without cancel text is no button
    EXPECT_EQ(Run(kAlertCautionAlert, CFSTR("H"), CFSTR("D"), &param), kAlertStdAlertOKButton);
    EXPECT_EQ(recorder.cancelButton, 0);
}

TEST_F(Alerts, GivenButtonsAnswerTheirItems) {
    AlertStdCFStringAlertParamRec param;
    GetStandardAlertDefaultParams(&param, kStdCFStringAlertVersionOne);
    param.defaultText = CFSTR("Go");
    param.cancelText = kAlertDefaultCancelText;
    param.otherText = CFSTR("Later");
    param.cancelButton = kAlertStdAlertCancelButton;
    recorder.answer = kAlertStdAlertOtherButton;
    EXPECT_EQ(Run(kAlertCautionAlert, CFSTR("H"), nullptr, &param), kAlertStdAlertOtherButton);
    EXPECT_EQ(recorder.buttons, (std::vector<std::string>{"Go", "Cancel", "Later"}));
    EXPECT_EQ(recorder.cancelButton, kAlertStdAlertCancelButton);

    recorder.answer = 9; // no such item
    EXPECT_EQ(Run(kAlertCautionAlert, CFSTR("H"), nullptr, &param), kAlertStdAlertOKButton);
}

TEST_F(Alerts, AlertsHoldTheirStringsUntilTheyAreDisposedOf) {
    CFStringRef message = CFStringCreateWithCString(kCFAllocatorDefault, "kept", kCFStringEncodingUTF8);
    const CFIndex before = CFGetRetainCount(message);
    DialogRef alert = nullptr;
    ASSERT_EQ(CreateStandardAlert(kAlertNoteAlert, message, nullptr, nullptr, &alert), noErr);
    EXPECT_EQ(CFGetRetainCount(message), before + 1);
    DisposeDialog(alert);
    EXPECT_EQ(CFGetRetainCount(message), before);

    ASSERT_EQ(CreateStandardAlert(kAlertNoteAlert, message, nullptr, nullptr, &alert), noErr);
    CFRelease(message); // the alert still holds it
    DialogItemIndex hit = 0;
    EXPECT_EQ(RunStandardAlert(alert, nullptr, &hit), noErr);
    EXPECT_EQ(recorder.message, "kept");
}

TEST(ExitToShellDeathTest, EndsTheProcessWithItsDocumentedStatus) {
    EXPECT_EXIT(
        {
            std::fputs("before the end\n", stderr);
            ExitToShell();
        },
        ::testing::ExitedWithCode(kQVExitToShellStatus), "before the end");
}
