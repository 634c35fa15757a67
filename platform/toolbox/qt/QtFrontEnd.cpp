// QtFrontEnd.cpp: the on-screen front end of the toolbox, on Qt Widgets.
//
// Each toolbox window is a top-level dialog whose background is the
// window's port (so what custom controls drew shows), with one stock widget
// per standard control placed at the control's bounds: QPushButton,
// QSlider, QComboBox, QCheckBox, QLabel, QLineEdit, QGroupBox. A custom
// control is a widget that shows its area of the port and forwards mouse
// presses, moves and releases to the toolbox (hit test, track, hit). Every
// change of a port is repainted in the window, custom controls included.
// Signals are connected to lambdas, so no meta-object compiler is needed.
//
// Windows are fixed-size dialogs without minimise and maximise buttons,
// modal, transient for the window they were first shown over. Return presses
// the default button, Escape the cancel button, and the window manager's
// close button cancels too and, if that does not end the window's modal
// loop, ends it. Alerts, the colour picker and the file chooser open over
// the window of the innermost modal loop.
//
// Application modality: while a modal loop runs, an application-wide event
// filter drops mouse and keyboard input to every window except the one of
// the innermost loop (and the dialogs it opens).
//
// Ownership: the widgets belong to this front end. They are deleted when
// the toolbox disposes of their window; when that happens inside one of
// their own event handlers, they are hidden at once and deleted later.
#include "toolbox/ToolboxInternal.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <cstdlib>
#include <cstring>

namespace qvtb {
namespace {

int gDispatchDepth = 0; // > 0 while a widget's event handler calls into the toolbox

struct DispatchScope {
    DispatchScope() { ++gDispatchDepth; }
    ~DispatchScope() { --gDispatchDepth; }
};

QString FromBytes(const std::string &s)
{
    QString u = QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    if (u.contains(QChar::ReplacementCharacter))
        return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    return u;
}

std::string ToBytes(const QString &s)
{
    QByteArray b = s.toUtf8();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

UInt32 Modifiers(Qt::KeyboardModifiers m)
{
    UInt32 out = 0;
    if (m & Qt::ShiftModifier)
        out |= shiftKey;
    if (m & Qt::ControlModifier)
        out |= cmdKey; // the command key of Linux desktops
    if (m & Qt::AltModifier)
        out |= optionKey;
    if (m & Qt::MetaModifier)
        out |= controlKey;
    return out;
}

// Paints the area (port coordinates) of a window's port at `at` of a widget.
void PaintPort(QPainter &painter, WindowRef window, QRect area, QPoint at)
{
    if (!IsLiveWindow(window) || !window->port) {
        painter.fillRect(QRect(at, area.size()), Qt::white);
        return;
    }
    PixMapHandle pm = GetGWorldPixMap(window->port);
    const UInt8 *base = pm ? reinterpret_cast<const UInt8 *>(GetPixBaseAddr(pm)) : nullptr;
    Rect bounds;
    GetPortBounds(window->port, &bounds);
    QRect inside = area.intersected(QRect(0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top));
    painter.fillRect(QRect(at, area.size()), Qt::white);
    if (!base || inside.isEmpty())
        return;
    const long rowBytes = GetPixRowBytes(pm);
    QImage image(inside.size(), QImage::Format_RGB32);
    for (int y = 0; y < inside.height(); ++y) {
        const UInt8 *src = base + (inside.top() + y) * rowBytes + inside.left() * 4;
        QRgb *dst = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < inside.width(); ++x)
            dst[x] = qRgb(src[x * 4 + 1], src[x * 4 + 2], src[x * 4 + 3]);
    }
    painter.drawImage(at + (inside.topLeft() - area.topLeft()), image);
}

// The window: a dialog that paints the port and holds the control widgets.
class PortView final : public QDialog {
public:
    explicit PortView(WindowRef w)
        : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
          window(w)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setWindowModality(Qt::ApplicationModal);
    }
    WindowRef window;

    // Escape (QDialog's own key handling): the cancel button.
    void reject() override
    {
        if (!window)
            return;
        DispatchScope scope;
        UserCancelWindow(window, false);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        PaintPort(painter, window, event->rect(), event->rect().topLeft());
    }
    // The window manager's close button. The toolbox hides the window when
    // its owner disposes of it.
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        if (!window)
            return;
        DispatchScope scope;
        UserCancelWindow(window, true);
    }
};

// A custom control: shows its area of the port (what its class drew there),
// forwards the mouse.
class CustomView final : public QWidget {
public:
    // Not opaque: a repaint of the window under it repaints it too.
    CustomView(ControlRef c, QWidget *parent) : QWidget(parent), control(c) {}
    ControlRef control;
    ControlPartCode pressed = kControlNoPart;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        WindowRef window = IsLiveControl(control) ? control->window : nullptr;
        PaintPort(painter, window, event->rect().translated(pos()), event->rect().topLeft());
    }
    Point where(QMouseEvent *e) const
    {
        QPoint p = mapTo(parentWidget(), e->position().toPoint());
        return Point{static_cast<SInt16>(p.y()), static_cast<SInt16>(p.x())};
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() != Qt::LeftButton || !UserCanUse(control))
            return;
        DispatchScope scope;
        ControlRef c = control;
        const Point at = where(e);
        const UInt32 mods = Modifiers(e->modifiers());
        ControlPartCode part = UserHitTest(c, at);
        if (part == kControlNoPart || !IsLiveControl(c))
            return;
        if (UserTrack(c, at, mods, part)) {
            UserHit(c, part, mods);
            return;
        }
        pressed = part;
        HiliteControl(c, part);
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        if (pressed == kControlNoPart || !IsLiveControl(control))
            return;
        DispatchScope scope;
        bool inside = UserHitTest(control, where(e)) == pressed;
        if (IsLiveControl(control))
            HiliteControl(control, inside ? pressed : ControlPartCode(kControlNoPart));
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (pressed == kControlNoPart || !IsLiveControl(control))
            return;
        DispatchScope scope;
        ControlRef c = control;
        ControlPartCode part = pressed;
        pressed = kControlNoPart;
        HiliteControl(c, kControlNoPart);
        if (IsLiveControl(c) && UserHitTest(c, where(e)) == part && IsLiveControl(c))
            UserHit(c, part, Modifiers(e->modifiers()));
    }
};

struct WindowView {
    QPointer<PortView> widget;
};

struct ControlView {
    QPointer<QWidget> widget;
    bool updating = false;
};

ControlView *ViewOf(ControlRef c)
{
    return static_cast<ControlView *>(c->frontData);
}

// Drops input to windows other than the innermost modal one.
class ModalFilter final : public QObject {
public:
    QPointer<QWidget> modal;

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (!modal)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
            break;
        default:
            return false;
        }
        QWidget *w = qobject_cast<QWidget *>(object);
        if (!w)
            return false;
        QWidget *top = w->window();
        // Our own windows other than the modal one are blocked; dialogs
        // (alerts, pickers) opened from inside the loop are not ours.
        if (top != modal && top->property("quelvaneWindow").toBool())
            return true;
        return false;
    }
};

class ScreenFrontEnd final : public FrontEnd {
public:
    ScreenFrontEnd() { qApp->installEventFilter(&filter); }
    ~ScreenFrontEnd() override
    {
        qApp->removeEventFilter(&filter);
        delete interrupts;
    }

    QVFrontEndKind kind() const override { return kQVFrontEndScreen; }

    void windowCreated(WindowRef w) override
    {
        auto *view = new WindowView;
        PortView *top = new PortView(w);
        view->widget = top;
        top->setProperty("quelvaneWindow", true);
        top->setWindowTitle(FromBytes(w->title));
        w->frontData = view;
        placeWindow(w);
        for (ControlRef c : w->controls)
            makeControl(c, top);
    }

    void windowDisposing(WindowRef w) override
    {
        auto *view = static_cast<WindowView *>(w->frontData);
        if (!view)
            return;
        for (ControlRef c : w->controls) {
            if (ControlView *cv = ViewOf(c)) {
                if (auto *custom = dynamic_cast<CustomView *>(cv->widget.data()))
                    custom->control = nullptr;
                delete cv;
                c->frontData = nullptr;
            }
        }
        if (PortView *top = view->widget) {
            top->window = nullptr;
            top->hide();
            if (gDispatchDepth > 0)
                top->deleteLater();
            else
                delete top;
        }
        delete view;
        w->frontData = nullptr;
    }

    void windowVisibilityChanged(WindowRef w) override
    {
        if (PortView *top = topOf(w)) {
            if (w->visible) {
                PortView *parent = w->parent ? topOf(w->parent) : nullptr;
                if (parent && top->winId() && parent->winId())
                    top->windowHandle()->setTransientParent(parent->windowHandle());
                top->show();
                top->raise();
                top->activateWindow();
            } else {
                top->hide();
            }
        }
    }

    void windowBoundsChanged(WindowRef w) override { placeWindow(w); }

    void windowTitleChanged(WindowRef w) override
    {
        if (PortView *top = topOf(w))
            top->setWindowTitle(FromBytes(w->title));
    }

    void windowOrderChanged(WindowRef w) override
    {
        if (PortView *top = topOf(w); top && w->visible) {
            top->raise();
            top->activateWindow();
        }
    }

    // The window repaints the area, custom controls over it included (they
    // are not opaque, so Qt repaints them with the window).
    void portChanged(WindowRef w, const Rect &r) override
    {
        if (PortView *top = topOf(w))
            top->update(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
    }

    void controlChanged(ControlRef c, unsigned what) override
    {
        ControlView *cv = ViewOf(c);
        if (!cv || !cv->widget)
            return;
        QWidget *widget = cv->widget;
        cv->updating = true;
        if (what & kChangedVisibility)
            widget->setVisible(c->visible);
        if (what & kChangedEnabling)
            widget->setEnabled(c->enabled);
        if (what & kChangedBounds)
            widget->setGeometry(c->bounds.left, c->bounds.top, c->bounds.right - c->bounds.left,
                                c->bounds.bottom - c->bounds.top);
        if (what & kChangedFocus) {
            if (c->window && c->window->focus == c)
                widget->setFocus(Qt::OtherFocusReason);
            else
                widget->clearFocus();
        }
        syncContent(c, widget);
        cv->updating = false;
    }

    void runModalLoop(ModalFrame &frame) override
    {
        if (frame.quit)
            return;
        watchInterrupts();
        QEventLoop loop;
        frame.frontData = &loop;
        QPointer<QWidget> previous = filter.modal;
        filter.modal = topOf(frame.window);
        if (InterruptSignal())
            QTimer::singleShot(0, CancelPending);
        loop.exec();
        frame.frontData = nullptr;
        filter.modal = previous;
        // The loop around this one is cancelled next.
        if (InterruptSignal())
            QTimer::singleShot(0, CancelPending);
    }

    void modalLoopQuitRequested(ModalFrame &frame) override
    {
        if (auto *loop = static_cast<QEventLoop *>(frame.frontData))
            loop->quit();
    }

    UInt32 keyModifiers() override { return Modifiers(QGuiApplication::keyboardModifiers()); }

    Rect screenBounds() override
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        if (!screen)
            return FrontEnd::screenBounds();
        const QRect r = screen->availableGeometry();
        return Rect{static_cast<SInt16>(r.top()), static_cast<SInt16>(r.left()),
                    static_cast<SInt16>(r.top() + r.height()), static_cast<SInt16>(r.left() + r.width())};
    }

    bool pickColor(const std::string &prompt, RGBColor &color) override
    {
        QColorDialog dialog(ModalParent());
        dialog.setOption(QColorDialog::DontUseNativeDialog);
        dialog.setWindowTitle(FromBytes(prompt));
        dialog.setCurrentColor(QColor(QRgba64::fromRgba64(color.red, color.green, color.blue, 65535)));
        DispatchScope scope;
        if (dialog.exec() != QDialog::Accepted)
            return false;
        QRgba64 c = dialog.selectedColor().rgba64();
        color = RGBColor{c.red(), c.green(), c.blue()};
        return true;
    }

    bool chooseFiles(const FileRequest &request, std::vector<std::string> &paths) override
    {
        QFileDialog dialog(ModalParent());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setWindowTitle(FromBytes(request.title.empty() ? request.message : request.title));
        if (!request.message.empty())
            dialog.setLabelText(QFileDialog::LookIn, FromBytes(request.message));
        if (request.save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            if (!request.defaultName.empty())
                dialog.selectFile(FromBytes(request.defaultName));
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(request.allowMultiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
            // What the platform's image reader opens first, anything second.
            QStringList patterns;
            for (const QByteArray &format : QImageReader::supportedImageFormats())
                patterns << QStringLiteral("*.") + QString::fromLatin1(format).toLower()
                         << QStringLiteral("*.") + QString::fromLatin1(format).toUpper();
            dialog.setNameFilters({QStringLiteral("Images (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'),
                                   QStringLiteral("All Files (*)")});
        }
        DispatchScope scope;
        if (dialog.exec() != QDialog::Accepted)
            return false;
        for (const QString &f : dialog.selectedFiles())
            paths.push_back(ToBytes(f));
        return !paths.empty();
    }

    DialogItemIndex presentAlert(const QVAlertContent &alert) override
    {
        QMessageBox box(ModalParent());
        box.setIcon(alert.alertType == kAlertStopAlert      ? QMessageBox::Critical
                    : alert.alertType == kAlertCautionAlert ? QMessageBox::Warning
                                                            : QMessageBox::Information);
        box.setWindowTitle(QStringLiteral("Quelvane"));
        box.setText(FromBytes(Utf8(alert.messageText)));
        box.setInformativeText(FromBytes(Utf8(alert.explanationText)));
        QPushButton *made[3] = {nullptr, nullptr, nullptr};
        static const QMessageBox::ButtonRole roles[3] = {QMessageBox::AcceptRole, QMessageBox::RejectRole,
                                                         QMessageBox::DestructiveRole};
        for (int i = 0; i < 3; ++i)
            if (alert.buttonText[i])
                made[i] = box.addButton(FromBytes(Utf8(alert.buttonText[i])), roles[i]);
        if (alert.defaultButton >= 1 && alert.defaultButton <= 3 && made[alert.defaultButton - 1])
            box.setDefaultButton(made[alert.defaultButton - 1]);
        if (alert.cancelButton >= 1 && alert.cancelButton <= 3 && made[alert.cancelButton - 1])
            box.setEscapeButton(made[alert.cancelButton - 1]);
        DispatchScope scope;
        box.exec();
        for (int i = 0; i < 3; ++i)
            if (made[i] && box.clickedButton() == made[i])
                return static_cast<DialogItemIndex>(i + 1);
        return alert.cancelButton >= 1 ? alert.cancelButton : alert.defaultButton;
    }

private:
    ModalFilter filter;
    QSocketNotifier *interrupts = nullptr;

    // An alert or file chooser open over the window is cancelled with it.
    static void CancelPending()
    {
        DispatchScope scope;
        if (InterruptSignal())
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                if (!dialog->property("quelvaneWindow").toBool())
                    dialog->reject();
        CancelForInterrupt();
    }

    // Wakes up when a signal set up with QVToolboxCancelOnSignals arrives.
    void watchInterrupts()
    {
        if (interrupts || InterruptDescriptor() < 0)
            return;
        interrupts = new QSocketNotifier(InterruptDescriptor(), QSocketNotifier::Read, qApp);
        QObject::connect(interrupts, &QSocketNotifier::activated, qApp, CancelPending);
    }

    // Dialogs of the platform open over the window of the innermost loop.
    static QWidget *ModalParent() { return topOf(InnermostModalWindow()); }

    static PortView *topOf(WindowRef w)
    {
        auto *view = w ? static_cast<WindowView *>(w->frontData) : nullptr;
        return view ? view->widget.data() : nullptr;
    }

    static void placeWindow(WindowRef w)
    {
        PortView *top = topOf(w);
        if (!top)
            return;
        const QRect content(w->content.left, w->content.top, w->content.right - w->content.left,
                            w->content.bottom - w->content.top);
        top->setFixedSize(content.size());
        top->setGeometry(content);
    }

    void makeControl(ControlRef c, PortView *top)
    {
        auto *cv = new ControlView;
        c->frontData = cv;
        QWidget *widget = nullptr;
        switch (c->type) {
        case ControlType::PushButton: {
            auto *b = new QPushButton(top);
            b->setAutoDefault(false);
            b->setDefault(c->isDefault); // Return, through the dialog
            QObject::connect(b, &QPushButton::clicked, b, [c]() {
                if (!UserCanUse(c))
                    return;
                DispatchScope scope;
                UserHit(c, kControlButtonPart, Modifiers(QGuiApplication::keyboardModifiers()));
            });
            widget = b;
            break;
        }
        case ControlType::Slider: {
            const int width = c->bounds.right - c->bounds.left, height = c->bounds.bottom - c->bounds.top;
            auto *s = new QSlider(height > width ? Qt::Vertical : Qt::Horizontal, top);
            s->setTracking(true);
            QObject::connect(s, &QSlider::sliderPressed, s, [c]() {
                if (!UserCanUse(c))
                    return;
                DispatchScope scope;
                HiliteControl(c, kControlIndicatorPart);
            });
            QObject::connect(s, &QSlider::valueChanged, s, [c, s, cv](int v) {
                if (cv->updating || !IsLiveControl(c) || v == c->value)
                    return;
                DispatchScope scope;
                if (s->isSliderDown()) {
                    if (c->live)
                        UserDragTo(c, v);
                } else {
                    // Keyboard, wheel or a click beside the thumb: one step.
                    UserDragTo(c, v);
                    if (IsLiveControl(c))
                        UserDragEnd(c, Modifiers(QGuiApplication::keyboardModifiers()));
                }
            });
            QObject::connect(s, &QSlider::sliderReleased, s, [c, s]() {
                if (!IsLiveControl(c))
                    return;
                DispatchScope scope;
                if (!c->live)
                    UserDragTo(c, s->value());
                if (IsLiveControl(c))
                    HiliteControl(c, kControlNoPart);
                if (IsLiveControl(c))
                    UserDragEnd(c, Modifiers(QGuiApplication::keyboardModifiers()));
            });
            widget = s;
            break;
        }
        case ControlType::Popup: {
            auto *box = new QComboBox(top);
            QObject::connect(box, &QComboBox::activated, box, [c](int index) {
                if (!UserCanUse(c))
                    return;
                DispatchScope scope;
                UserChoosePopupItem(c, index + 1, Modifiers(QGuiApplication::keyboardModifiers()));
            });
            widget = box;
            break;
        }
        case ControlType::CheckBox: {
            auto *box = new QCheckBox(top);
            QObject::connect(box, &QCheckBox::clicked, box, [c]() {
                if (!UserCanUse(c))
                    return;
                DispatchScope scope;
                UserToggleCheckBox(c, Modifiers(QGuiApplication::keyboardModifiers()));
            });
            widget = box;
            break;
        }
        case ControlType::StaticText: {
            auto *label = new QLabel(top);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = label;
            break;
        }
        case ControlType::EditText: {
            auto *edit = new QLineEdit(top);
            QObject::connect(edit, &QLineEdit::textEdited, edit, [c](const QString &text) {
                DispatchScope scope;
                UserSetText(c, ToBytes(text));
            });
            widget = edit;
            break;
        }
        case ControlType::GroupBox: {
            auto *group = new QGroupBox(top);
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            widget = group;
            break;
        }
        case ControlType::Custom:
            widget = new CustomView(c, top);
            break;
        }
        cv->widget = widget;
        widget->setGeometry(c->bounds.left, c->bounds.top, c->bounds.right - c->bounds.left,
                            c->bounds.bottom - c->bounds.top);
        widget->setVisible(c->visible);
        widget->setEnabled(c->enabled);
        cv->updating = true;
        syncContent(c, widget);
        cv->updating = false;
    }

    static void syncContent(ControlRef c, QWidget *widget)
    {
        switch (c->type) {
        case ControlType::PushButton:
            static_cast<QPushButton *>(widget)->setText(FromBytes(c->title));
            static_cast<QPushButton *>(widget)->setDown(c->hilite == kControlButtonPart);
            break;
        case ControlType::Slider: {
            auto *s = static_cast<QSlider *>(widget);
            QSignalBlocker block(s);
            s->setRange(c->minimum, c->maximum);
            if (!s->isSliderDown() || s->value() != c->value)
                s->setValue(c->value);
            break;
        }
        case ControlType::Popup: {
            auto *box = static_cast<QComboBox *>(widget);
            QSignalBlocker block(box);
            if (c->menu) {
                bool same = box->count() == static_cast<int>(c->menu->items.size());
                for (int i = 0; same && i < box->count(); ++i)
                    same = box->itemText(i) == FromBytes(c->menu->items[static_cast<size_t>(i)]);
                if (!same) {
                    box->clear();
                    for (const std::string &item : c->menu->items)
                        box->addItem(FromBytes(item));
                }
            }
            box->setCurrentIndex(c->value >= 1 && c->value <= box->count() ? c->value - 1 : -1);
            break;
        }
        case ControlType::CheckBox: {
            auto *box = static_cast<QCheckBox *>(widget);
            QSignalBlocker block(box);
            box->setText(FromBytes(c->title));
            box->setChecked(c->value != 0);
            break;
        }
        case ControlType::StaticText:
            static_cast<QLabel *>(widget)->setText(FromBytes(c->text));
            break;
        case ControlType::EditText: {
            auto *edit = static_cast<QLineEdit *>(widget);
            QSignalBlocker block(edit);
            QString text = FromBytes(c->text);
            if (edit->text() != text)
                edit->setText(text);
            if (c->selection.selEnd > c->selection.selStart)
                edit->setSelection(c->selection.selStart, c->selection.selEnd - c->selection.selStart);
            break;
        }
        case ControlType::GroupBox:
            static_cast<QGroupBox *>(widget)->setTitle(FromBytes(c->title));
            break;
        case ControlType::Custom:
            break;
        }
    }
};

} // namespace

bool ScreenAvailable()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        return true;
    if (QCoreApplication::instance())
        return false; // a non-widget application object exists
    const char *qpa = std::getenv("QT_QPA_PLATFORM");
    const char *x = std::getenv("DISPLAY");
    const char *wl = std::getenv("WAYLAND_DISPLAY");
    return (qpa && *qpa) || (x && *x) || (wl && *wl);
}

FrontEnd *CreateScreenFrontEnd()
{
    if (!ScreenAvailable())
        return nullptr;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "quelvane";
        static char *argv[] = {name, nullptr};
        // Lives for the rest of the process, as the platform's application does.
        static QApplication *application = new QApplication(argc, argv);
        // Windows end when their owner disposes of them, never by Qt's choice.
        application->setQuitOnLastWindowClosed(false);
    }
    return new ScreenFrontEnd;
}

} // namespace qvtb
