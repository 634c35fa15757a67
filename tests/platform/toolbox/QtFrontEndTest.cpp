// The on-screen front end on Qt's offscreen platform: real mouse presses,
// drags and clicks through QTest reach the toolbox, custom controls show what
// their class drew into the port, modal loops nest, and alerts and the colour
// picker are real dialogs.
#include "ToolboxTestSupport.h"

#include "toolbox/Alerts.h"
#include "toolbox/ColorPicker.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace tbtest;

namespace {

const EventTypeSpec kCommand{kEventClassCommand, kEventCommandProcess};

QWidget *TopOf(const char *title)
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

// The centre of a horizontal slider's thumb.
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

struct Dialog {
    WindowRef w = nullptr;
    IBNibRef nib = nullptr;
    std::vector<UInt32> commands;
    std::vector<SInt32> dragValues;
    std::vector<std::string> legendsDuringDrag;
    std::function<void(UInt32)> onCommand;
};
Dialog *gDialog = nullptr;

void SliderAction(ControlRef c, ControlPartCode)
{
    SInt32 v = GetControl32BitValue(c);
    gDialog->dragValues.push_back(v);
    std::string text = std::to_string(v) + "%";
    SetControlData(Find(gDialog->w, "Lgnd", 1), 0, kControlStaticTextTextTag, static_cast<Size>(text.size()),
                   text.data());
    // What the window shows while the thumb moves.
    QWidget *top = TopOf("Test Panel");
    QLabel *legend = top ? WidgetAt<QLabel>(top, 230, 15) : nullptr;
    gDialog->legendsDuringDrag.push_back(legend ? legend->text().toStdString() : "?");
}

OSStatus Handler(EventHandlerCallRef, EventRef e, void *userData)
{
    auto *d = static_cast<Dialog *>(userData);
    UInt32 id = CommandOf(e);
    d->commands.push_back(id);
    if (d->onCommand)
        d->onCommand(id);
    if (id == kHICommandOK || id == kHICommandCancel) {
        QuitAppModalLoopForWindow(d->w);
        return noErr;
    }
    return eventNotHandledErr;
}

class Screen : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(QVToolboxSelectFrontEnd(kQVFrontEndScreen), noErr); }
    void SetUp() override
    {
        ASSERT_EQ(QVToolboxGetFrontEnd(), kQVFrontEndScreen);
        rec.Register();
        d.nib = MakeNib();
        ASSERT_EQ(QVCreateWindowFromNibNamed(d.nib, "panel", &d.w), noErr);
        gDialog = &d;
        SetControlAction(Find(d.w, "Sldr", 1), SliderAction);
        InstallEventHandler(GetWindowEventTarget(d.w), Handler, 1, &kCommand, &d, nullptr);
        ShowWindow(d.w);
        top = TopOf("Test Panel");
        ASSERT_NE(top, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(top));
    }
    void TearDown() override
    {
        DisposeWindow(d.w);
        DisposeNibReference(d.nib);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        rec.Unregister();
        gDialog = nullptr;
    }
    // Runs the window's modal loop while `steps` play from the event loop.
    void RunWith(std::function<void()> steps)
    {
        QTimer::singleShot(0, [steps] { steps(); });
        // A loop left waiting would hang the test: end it after a while.
        QTimer::singleShot(20000, [this] {
            ADD_FAILURE() << "modal loop still waiting";
            QuitAppModalLoopForWindow(d.w);
        });
        EXPECT_EQ(RunAppModalLoopForWindow(d.w), noErr);
    }
    Recorder rec;
    Dialog d;
    QWidget *top = nullptr;
};

} // namespace

TEST_F(Screen, ControlsFollowTheToolboxAndClicksSendTheirCommands)
{
    QSlider *slider = WidgetAt<QSlider>(top, 100, 20);
    QComboBox *popup = WidgetAt<QComboBox>(top, 50, 50);
    QPushButton *ok = WidgetAt<QPushButton>(top, 340, 215), *cancel = WidgetAt<QPushButton>(top, 250, 215);
    QCheckBox *check = WidgetAt<QCheckBox>(top, 20, 80);
    ASSERT_TRUE(slider && popup && ok && cancel && check) << "every control at its bounds";
    EXPECT_EQ(top->size(), QSize(400, 240));
    EXPECT_TRUE(slider->maximum() == 400 && slider->value() == 120 && popup->itemText(2) == "HD 16:9");
    EXPECT_TRUE(ok->isDefault());
    SetControl32BitValue(Find(d.w, "Sldr", 1), 300);
    EXPECT_EQ(slider->value(), 300);
    DisableControl(Find(d.w, "ok  ", 1));
    EXPECT_FALSE(ok->isEnabled());
    RunWith([&] {
        QTest::mouseClick(check, Qt::LeftButton);
        popup->activated(1); // as when the user picks the second item
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    const UInt32 prop = QV_FOURCC('P', 'r', 'o', 'p'), medi = QV_FOURCC('M', 'e', 'd', 'i');
    EXPECT_EQ(d.commands, (std::vector<UInt32>{prop, medi, kHICommandCancel}));
    EXPECT_EQ(GetControl32BitValue(Find(d.w, "Prop", 1)), 1);
    EXPECT_EQ(GetControl32BitValue(Find(d.w, "Medi", 1)), 2);
    HideControl(Find(d.w, "Medi", 1));
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(Screen, DraggingTheThumbCallsTheActionProcedureLive)
{
    QSlider *slider = WidgetAt<QSlider>(top, 100, 20);
    ASSERT_NE(slider, nullptr);
    RunWith([&] {
        QPoint at = ThumbCentre(slider);
        QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, at);
        for (int step = 1; step <= 5; ++step)
            QTest::mouseMove(slider, at + QPoint(step * 12, 0));
        QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, at + QPoint(60, 0));
        HICommand ok{};
        ok.commandID = kHICommandOK;
        ProcessHICommand(&ok);
    });
    ASSERT_GE(d.dragValues.size(), 3u) << "the action procedure was not called while dragging";
    for (size_t i = 1; i < d.dragValues.size(); ++i)
        EXPECT_GT(d.dragValues[i], d.dragValues[i - 1]);
    EXPECT_GT(d.dragValues.front(), 120);
    EXPECT_EQ(GetControl32BitValue(Find(d.w, "Sldr", 1)), d.dragValues.back());
    // The legend on screen followed every step.
    ASSERT_EQ(d.legendsDuringDrag.size(), d.dragValues.size());
    for (size_t i = 0; i < d.dragValues.size(); ++i)
        EXPECT_EQ(d.legendsDuringDrag[i], std::to_string(d.dragValues[i]) + "%");
    EXPECT_EQ(GetControlHilite(Find(d.w, "Sldr", 1)), 0);
}

TEST_F(Screen, CustomControlShowsWhatItsClassDrewAndTakesClicks)
{
    SetControl32BitValue(Find(d.w, "Colr", 1), 0xFF8000);
    QImage shown = top->grab().toImage();
    EXPECT_EQ(shown.pixel(50, 170) & 0xFFFFFF, 0xFF8000u);
    EXPECT_EQ(shown.pixel(10, 140) & 0xFFFFFF, 0x000000u); // the class's frame
    EXPECT_EQ(shown.pixel(50, 170) & 0xFFFFFF, PortPixel(GetWindowPort(d.w), 50, 170));
    if (const char *dir = std::getenv("QUELVANE_BINARY_DIR"))
        shown.save(QString::fromLocal8Bit(dir) + "/toolbox-panel.png");

    rec.events.clear();
    QWidget *box = top->childAt(50, 170);
    ASSERT_NE(box, nullptr);
    bool invertedWhilePressed = false;
    RunWith([&] {
        QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        // Standard tracking highlights the pressed part; the class inverts.
        invertedWhilePressed = PortPixel(GetWindowPort(d.w), 50, 170) == (0xFF8000u ^ 0xFFFFFFu);
        QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseClick(top->childAt(340, 215), Qt::LeftButton);
    });
    EXPECT_TRUE(invertedWhilePressed);
    EXPECT_EQ(d.commands, (std::vector<UInt32>{QV_FOURCC('C', 'o', 'l', '1'), kHICommandOK}));
    ASSERT_FALSE(rec.mouse.empty());
    EXPECT_EQ(rec.mouse.front().h, 30); // window coordinates: the box starts at 10, 140
    EXPECT_EQ(rec.mouse.front().v, 160);
    EXPECT_EQ(PortPixel(GetWindowPort(d.w), 50, 170), 0xFF8000u);
}

TEST_F(Screen, NestedModalWindowTakesTheInputUntilItCloses)
{
    WindowRef other = nullptr;
    int okClicksOnPanelWhileBlocked = 0;
    d.onCommand = [&](UInt32 id) {
        if (id != QV_FOURCC('I', 'n', 'f', 'o'))
            return;
        ASSERT_EQ(QVCreateWindowFromNibNamed(d.nib, "other", &other), noErr);
        static Dialog inner;
        inner = Dialog{};
        inner.w = other;
        InstallEventHandler(GetWindowEventTarget(other), Handler, 1, &kCommand, &inner, nullptr);
        ShowWindow(other);
        QWidget *otherTop = TopOf("Other");
        ASSERT_NE(otherTop, nullptr);
        QTimer::singleShot(0, [&, otherTop] {
            // The panel is blocked while the other window is modal.
            size_t before = d.commands.size();
            QTest::mouseClick(top->childAt(340, 215), Qt::LeftButton);
            okClicksOnPanelWhileBlocked = static_cast<int>(d.commands.size() - before);
            QTest::mouseClick(otherTop->childAt(150, 70), Qt::LeftButton);
        });
        EXPECT_EQ(RunAppModalLoopForWindow(other), noErr);
        DisposeWindow(other);
    };
    RunWith([&] {
        QTest::mouseClick(top->childAt(50, 215), Qt::LeftButton); // "About..."
        QTest::mouseClick(top->childAt(340, 215), Qt::LeftButton);
    });
    EXPECT_EQ(okClicksOnPanelWhileBlocked, 0);
    EXPECT_EQ(d.commands, (std::vector<UInt32>{QV_FOURCC('I', 'n', 'f', 'o'), kHICommandOK}));
}

TEST_F(Screen, AlertsAndTheColourPickerAreRealDialogs)
{
    QString seenHeadline, seenDescription;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenHeadline = box->text();
        seenDescription = box->informativeText();
        for (QAbstractButton *b : box->buttons())
            if (b->text() == "Cancel")
                b->click();
    });
    AlertStdCFStringAlertParamRec param;
    GetStandardAlertDefaultParams(&param, kStdCFStringAlertVersionOne);
    param.defaultText = CFSTR("ok");
    param.cancelText = CFSTR("Cancel");
    param.cancelButton = 2;
    DialogRef alert = nullptr;
    ASSERT_EQ(CreateStandardAlert(kAlertCautionAlert, CFSTR("Internal Notification:"),
                                  CFSTR("Cannot locate manual in bundle"), &param, &alert),
              noErr);
    DialogItemIndex hit = 0;
    ASSERT_EQ(RunStandardAlert(alert, nullptr, &hit), noErr);
    EXPECT_EQ(hit, 2);
    EXPECT_EQ(seenHeadline, "Internal Notification:");
    EXPECT_EQ(seenDescription, "Cannot locate manual in bundle");

    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setCurrentColor(QColor(255, 128, 0));
        dialog->accept();
    });
    NColorPickerInfo info{};
    info.theColor.color.rgb = {0, 0, 0};
    ASSERT_EQ(NPickColor(&info), noErr);
    EXPECT_TRUE(info.newColorChosen);
    EXPECT_EQ(info.theColor.color.rgb.red >> 8, 255);
    EXPECT_EQ(info.theColor.color.rgb.green >> 8, 128);
    EXPECT_EQ(info.theColor.color.rgb.blue >> 8, 0);
}
