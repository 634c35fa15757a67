// The settings window on screen (Qt's offscreen platform), for what only real
// widgets show: each window opens, paints the preview in its frame and is
// grabbed to a PNG file; a real slider drag changes the record, the value
// text and the painted preview while the thumb moves; OK and Cancel clicked
// end the modal loop.
//
// The grabs go to $QUELVANE_BINARY_DIR/dialog-screens (or the temporary
// folder).
#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "SessionSupport.h"
#include "TestHost.h"
#include "dialog/carbonmacros.h"
#include "dialog/configdlghandler.h"
#include "engine/DataHandling.h"
#include "host/EffectRun.h"
#include "host/PluginEntry.h"
#include "store/prefsloader.h"
#include "toolbox/ToolboxFrontEnd.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace dlgtest;

namespace {

// One preferences folder for the whole process, with the file start-up makes.
const qvtest::PrivatePreferences kPrefs;
const bool kPrefsFile = MakeSurePrefsFileExists();

QString ScreensFolder()
{
    const char *build = std::getenv("QUELVANE_BINARY_DIR");
    QString folder = QString::fromLocal8Bit(build ? build : QDir::tempPath().toLocal8Bit().constData()) +
                     QStringLiteral("/dialog-screens");
    QDir().mkpath(folder);
    return folder;
}

QWidget *TopOf(const QString &title)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->property("quelvaneWindow").toBool() && w->isVisible() && w->windowTitle() == title)
            return w;
    return nullptr;
}

template <class T> T *WidgetAt(QWidget *top, int h, int v)
{
    QWidget *child = top->childAt(h, v);
    while (child && !qobject_cast<T *>(child))
        child = child->parentWidget();
    return qobject_cast<T *>(child);
}

QPushButton *ButtonTitled(QWidget *top, const QString &title)
{
    for (QPushButton *b : top->findChildren<QPushButton *>())
        if (b->text() == title && b->isVisible())
            return b;
    return nullptr;
}

// The centre of a slider's thumb, from the style's measures.
QPoint ThumbCentre(QSlider *slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    const int length = slider->style()->pixelMetric(QStyle::PM_SliderLength, &option, slider);
    const int x = QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), slider->value(),
                                                  slider->width() - length);
    return QPoint(x + length / 2, slider->height() / 2);
}

// What the window shows at (h, v) of its content, as 0xRRGGBB.
UInt32 Shown(QWidget *top, int h, int v)
{
    const QImage image = top->grab(QRect(h, v, 1, 1)).toImage();
    return image.pixel(0, 0) & 0xFFFFFF;
}

class Screen : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndScreen), noErr); }
    void SetUp() override
    {
        ASSERT_EQ(QVToolboxGetFrontEnd(), kQVFrontEndScreen);
        ASSERT_TRUE(kPrefsFile);
        params = qvtest::MakeParams(host, kPlugCustomButtonClick);
        pNewConfig(config);
        ResetConfig(config, true);
        shared = gPascalData;
        gPascalData = config;
        gMostRecentStartFrame = 0;
        gMostRecentFrameCount = 30;
    }
    void TearDown() override
    {
        gPascalData = shared;
        pDestroyConfig(config);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Opens the settings window through the custom-button request and plays
    // `steps` from its event loop; a loop left waiting is cancelled.
    void RunDialog(std::function<void()> steps)
    {
        QTimer::singleShot(0, [steps] { steps(); });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            ADD_FAILURE() << "the settings window was still open";
            HICommand cancel{};
            cancel.commandID = kHICommandCancel;
            ProcessHICommand(&cancel);
        });
        guard.start(30000);
        EXPECT_EQ(CustomButton(0, params.get()), kPluginOK);
        EXPECT_EQ(FrontWindow(), nullptr);
        EXPECT_EQ(host.FramesOutstanding(), 0);
    }

    // The window of a format, once shown and exposed.
    static QWidget *Window(const char *title)
    {
        QWidget *top = TopOf(QString::fromUtf8(title));
        EXPECT_NE(top, nullptr) << title;
        if (top) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(top));
        }
        return top;
    }

    qvtest::TestHost host;
    std::unique_ptr<PluginParams> params;
    PluginDataRec *config = nullptr;
    PluginDataRec *shared = nullptr;
};

struct WindowCase {
    SInt16 mediaType;
    const char *title;
    const char *file;
    int previewLeft, previewTop, previewWidth, previewHeight;
};

class EachWindow : public Screen, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(EachWindow, OpensShowsTheFrameAndIsGrabbed)
{
    const WindowCase c = GetParam();
    config->MediaType = c.mediaType;
    config->Sliders[0] = 120;
    RunDialog([&] {
        QWidget *top = Window(c.title);
        if (!top)
            return;
        const QImage grab = top->grab().toImage();
        EXPECT_TRUE(grab.save(ScreensFolder() + "/" + c.file + ".png"));
        // The preview shows the clip's frame inside its black frame.
        const int h = c.previewLeft + c.previewWidth / 2, v = c.previewTop + c.previewHeight / 2;
        EXPECT_EQ(grab.pixel(h, v) & 0xFFFFFF, FrameColour(0));
        EXPECT_EQ(grab.pixel(c.previewLeft, v) & 0xFFFFFF, 0x000000u);
        EXPECT_EQ(grab.pixel(c.previewLeft + c.previewWidth - 1, v) & 0xFFFFFF, 0x000000u);
        QSlider *zoom = WidgetAt<QSlider>(top, c.previewLeft + c.previewWidth + 60, 47);
        ASSERT_NE(zoom, nullptr);
        EXPECT_EQ(zoom->value(), 120);
        EXPECT_EQ(zoom->minimum(), -500);
        EXPECT_EQ(zoom->maximum(), 2000);

        QTest::mouseClick(ButtonTitled(top, "Cancel"), Qt::LeftButton);
    });
}

INSTANTIATE_TEST_SUITE_P(Formats, EachWindow,
                         ::testing::Values(WindowCase{1, "Quelvane Settings (NTSC)", "configNTSC", 16, 16, 480, 320},
                                           WindowCase{2, "Quelvane Settings (PAL)", "configPAL", 16, 16, 450, 360},
                                           WindowCase{3, "Quelvane Settings (HD)", "configHD", 16, 16, 512, 288}),
                         [](const auto &info) { return std::string(info.param.file); });

TEST_F(Screen, DraggingAZoomSliderChangesRecordTextAndPreviewAsTheThumbMoves)
{
    struct Step {
        SInt32 widget;
        SInt16 record;
        std::string legend;
        UInt32 portEdge, shownEdge;
    };
    std::vector<Step> steps;
    UInt32 edgeBefore = 0;
    RunDialog([&] {
        QWidget *top = Window("Quelvane Settings (NTSC)");
        if (!top)
            return;
        QSlider *zoom = WidgetAt<QSlider>(top, 600, 47);
        QLabel *legend = WidgetAt<QLabel>(top, 750, 47);
        ASSERT_NE(zoom, nullptr);
        ASSERT_NE(legend, nullptr);
        CGrafPtr port = GetWindowPort(FrontWindow());
        // Near the preview's left edge: the frame now, the fill colour once
        // the picture shrinks.
        edgeBefore = PixelAt(port, 22, 176);
        const QPoint at = ThumbCentre(zoom);
        QTest::mousePress(zoom, Qt::LeftButton, Qt::NoModifier, at);
        for (int i = 1; i <= 4; ++i) {
            QTest::mouseMove(zoom, at - QPoint(i * 4, 0));
            steps.push_back({zoom->value(), config->Sliders[0], legend->text().toStdString(),
                             PixelAt(port, 22, 176), Shown(top, 22, 176)});
        }
        QTest::mouseRelease(zoom, Qt::LeftButton, Qt::NoModifier, at - QPoint(16, 0));
        QTest::mouseClick(ButtonTitled(top, "OK"), Qt::LeftButton);
    });
    EXPECT_EQ(edgeBefore, FrameColour(0));
    ASSERT_EQ(steps.size(), 4u);
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(steps[i].widget, 0);
        EXPECT_EQ(steps[i].record, steps[i].widget); // the record follows each step
        EXPECT_EQ(steps[i].legend, std::to_string(steps[i].widget) + "%");
        EXPECT_EQ(steps[i].portEdge, 0xFFFFFFu); // re-rendered: the picture shrank
        EXPECT_EQ(steps[i].shownEdge, 0xFFFFFFu);
        if (i > 0) {
            EXPECT_LT(steps[i].widget, steps[i - 1].widget);
        }
    }
    // OK kept and saved the last value.
    EXPECT_EQ(config->Sliders[0], steps.back().widget);
    PluginDataRec *stored = nullptr;
    pNewConfig(stored);
    ASSERT_TRUE(ReadConfig(stored));
    EXPECT_EQ(stored->Sliders[0], steps.back().widget);
    pDestroyConfig(stored);
}

} // namespace
