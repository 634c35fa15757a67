// The alert procedures: an assertion that holds shows nothing, a stop alert
// shows its texts, and the fatal stops end the process after their alert.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "common/commonprocs.h"
#include "toolbox/Alerts.h"

namespace {

std::string Text(CFStringRef s) {
    if (!s) return "<none>";
    char buffer[1024];
    QVCFStringGetUTF8(s, buffer, sizeof buffer);
    return buffer;
}

struct Shown {
    int count = 0;
    AlertType type = -1;
    std::string headline, description, ok, cancel;
};

DialogItemIndex Record(const QVAlertContent *alert, void *refCon) {
    auto *shown = static_cast<Shown *>(refCon);
    ++shown->count;
    shown->type = alert->alertType;
    shown->headline = Text(alert->messageText);
    shown->description = Text(alert->explanationText);
    shown->ok = Text(alert->buttonText[0]);
    shown->cancel = Text(alert->buttonText[1]);
    return kAlertStdAlertOKButton;
}

// For the fatal stops, which end the process: the presenter reports what it
// was shown on standard error, where the death test reads it.
DialogItemIndex Report(const QVAlertContent *alert, void *) {
    std::fprintf(stderr, "kind=%d headline=[%s] description=[%s] length=%ld\n", alert->alertType,
                 Text(alert->messageText).c_str(), Text(alert->explanationText).c_str(),
                 static_cast<long>(CFStringGetLength(alert->explanationText)));
    return kAlertStdAlertOKButton;
}

class AlertProcs : public ::testing::Test {
protected:
    void SetUp() override { QVSetAlertPresenter(&Record, &shown); }
    void TearDown() override { QVSetAlertPresenter(nullptr, nullptr); }
    Shown shown;
};

} // namespace

TEST_F(AlertProcs, AHoldingAssertionShowsNothingAndAStopShowsItsTexts) {
    int x = 0;
    Assert(&x, "anywhere");
    EXPECT_EQ(shown.count, 0) << "an assertion that holds shows nothing";
    StandardStop("Stopped", "Because.");
    EXPECT_EQ(shown.count, 1);
    EXPECT_EQ(shown.type, kAlertStopAlert);
    EXPECT_EQ(shown.headline, "Stopped");
    EXPECT_EQ(shown.description, "Because.");
    EXPECT_EQ(shown.ok, "OK");
    EXPECT_EQ(shown.cancel, "<none>");
}

TEST(AlertProcsDeathTest, AssertAndTerminateEndTheProcessAfterAStopAlert) {
    const auto exits = ::testing::ExitedWithCode(kQVExitToShellStatus);
    EXPECT_EXIT(Assert(nullptr, "DoEffect"), exits,
                "Alert \\(stop\\): Assertion Failure\n  Assertion failed in: DoEffect\n");
    const std::string location(250, 'L');
    EXPECT_EXIT(
        {
            QVSetAlertPresenter(&Report, nullptr);
            Assert(nullptr, location.c_str());
        },
        exits, "kind=0 headline=\\[Assertion Failure\\] description=\\[Assertion failed in: L+\\] length=255");
    EXPECT_EXIT(Terminate("Non-Matching Blocks", "The Size of Source and Dest do not match"), exits,
                "Alert \\(stop\\): Non-Matching Blocks\n  The Size of Source and Dest do not match\n  \\[OK\\]");
}
