// Windows.cpp: window records and their ports, the nib references made from
// window descriptions, activation and ordering, the choice of front end,
// window descriptions as text and port images as PNG files.
#include "toolbox/ToolboxInternal.h"

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_set>

namespace qvtb {
OpaqueToolboxObjectClassRef *FindClass(const std::string &classID);
ControlRef MakeControl(WindowRef w, const ControlDescription &d, OpaqueToolboxObjectClassRef *cls);
void DestroyControl(ControlRef c);
void SetControlActive(ControlRef c, bool active);
} // namespace qvtb

namespace {

std::unordered_set<WindowRef> gLiveWindows;
std::vector<WindowRef> gZOrder; // front to back
std::unordered_set<IBNibRef> gLiveNibs;
qvtb::FrontEnd *gFrontEnd = nullptr;
QVFrontEndKind gWanted = kQVFrontEndAutomatic;
QVToolboxReportProc gReportProc = nullptr;
void *gReportData = nullptr;

void CopyOut(const std::string &text, char *out, size_t size)
{
    if (!out || size == 0)
        return;
    size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = 0;
}

// Fills a rectangle of a window's port with opaque white, directly in its
// pixels (the window background), without touching the current port.
void FillWhite(GWorldPtr port, Rect r)
{
    if (!port)
        return;
    PixMapHandle pm = GetGWorldPixMap(port);
    Rect bounds;
    GetPortBounds(port, &bounds);
    Rect clipped;
    if (!pm || !SectRect(&r, &bounds, &clipped))
        return;
    UInt8 *base = reinterpret_cast<UInt8 *>(GetPixBaseAddr(pm));
    long rowBytes = GetPixRowBytes(pm);
    if (!base)
        return;
    for (int y = clipped.top; y < clipped.bottom; ++y)
        std::memset(base + (y - bounds.top) * rowBytes + (clipped.left - bounds.left) * 4, 0xFF,
                    static_cast<size_t>(clipped.right - clipped.left) * 4);
}

// The front end shows every change of a window's port.
void PortDrawn(CGrafPtr, const Rect *area, Boolean, void *refCon)
{
    WindowRef w = static_cast<WindowRef>(refCon);
    if (area && qvtb::IsLiveWindow(w))
        qvtb::CurrentFrontEnd().portChanged(w, *area);
}

GWorldPtr MakePort(int width, int height)
{
    CGrafPtr port = nullptr;
    if (QVNewWindowPort(&port, static_cast<SInt16>(width), static_cast<SInt16>(height)) != noErr)
        return nullptr;
    return port;
}

void Deactivate(WindowRef w)
{
    if (!w->active)
        return;
    w->active = false;
    std::vector<ControlRef> controls = w->controls;
    for (ControlRef c : controls)
        if (qvtb::IsLiveControl(c))
            qvtb::SetControlActive(c, false);
}

void Activate(WindowRef w)
{
    if (w->active)
        return;
    w->active = true;
    std::vector<ControlRef> controls = w->controls;
    for (ControlRef c : controls)
        if (qvtb::IsLiveControl(c))
            qvtb::SetControlActive(c, true);
}

// The front-most visible window is the active one.
void UpdateActivation()
{
    WindowRef front = nullptr;
    for (WindowRef w : gZOrder)
        if (w->visible) {
            front = w;
            break;
        }
    std::vector<WindowRef> order = gZOrder;
    for (WindowRef w : order)
        if (w != front && qvtb::IsLiveWindow(w))
            Deactivate(w);
    if (front && qvtb::IsLiveWindow(front))
        Activate(front);
}

// A window shown for the first time opens over the window of the innermost
// modal loop, else over the front visible window; a centred one is placed in
// the middle of that window, or of the screen, inside the screen where it fits.
void FirstShown(WindowRef w)
{
    w->shown = true;
    WindowRef parent = qvtb::InnermostModalWindow();
    if (parent == w)
        parent = nullptr;
    for (size_t i = 0; !parent && i < gZOrder.size(); ++i)
        if (gZOrder[i] != w && gZOrder[i]->visible)
            parent = gZOrder[i];
    w->parent = parent;
    if (!w->centered)
        return;
    const Rect screen = qvtb::CurrentFrontEnd().screenBounds();
    const Rect around = parent ? parent->content : screen;
    const int width = w->content.right - w->content.left, height = w->content.bottom - w->content.top;
    int left = (around.left + around.right - width) / 2, top = (around.top + around.bottom - height) / 2;
    left = std::max<int>(screen.left, std::min(left, screen.right - width));
    top = std::max<int>(screen.top + kQVTitleBarHeight, std::min(top, screen.bottom - height));
    w->content = Rect{static_cast<SInt16>(top), static_cast<SInt16>(left), static_cast<SInt16>(top + height),
                      static_cast<SInt16>(left + width)};
    qvtb::CurrentFrontEnd().windowBoundsChanged(w);
}

bool DisplayAvailable()
{
    const char *qpa = std::getenv("QT_QPA_PLATFORM");
    if (qpa && *qpa)
        return std::strncmp(qpa, "offscreen", 9) != 0 && std::strncmp(qpa, "minimal", 7) != 0;
    const char *x = std::getenv("DISPLAY");
    const char *wl = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wl && *wl);
}

std::string ReadFile(const char *path, bool &ok)
{
    ok = false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::string data;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        data.append(buffer, static_cast<size_t>(in.gcount()));
        if (data.size() > qvtb::kMaxDescriptionBytes + 1)
            break;
    }
    ok = !in.bad();
    return data;
}

} // namespace

namespace qvtb {

bool IsLiveWindow(WindowRef w)
{
    return w && gLiveWindows.count(w) != 0;
}

const std::vector<WindowRef> &WindowsFrontToBack()
{
    return gZOrder;
}

FrontEnd &CurrentFrontEnd()
{
    if (!gFrontEnd) {
        if (gWanted == kQVFrontEndScreen || (gWanted == kQVFrontEndAutomatic && DisplayAvailable()))
            gFrontEnd = CreateScreenFrontEnd();
        if (!gFrontEnd)
            gFrontEnd = CreateHeadlessFrontEnd();
        InstallAlertPresenter();
    }
    return *gFrontEnd;
}

void ErasePortRect(WindowRef w, const Rect &r)
{
    if (!IsLiveWindow(w))
        return;
    FillWhite(w->port, r);
    CurrentFrontEnd().portChanged(w, r);
}

std::string FourCCText(UInt32 code)
{
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char ch = static_cast<char>((code >> shift) & 0xFF);
        s.push_back(ch >= ' ' && ch < 127 ? ch : '?');
    }
    return s;
}

namespace {
std::string Quoted(const std::string &text)
{
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"' || ch == '\\')
            out.push_back('\\');
        if (ch == '\n') {
            out += "\\n";
            continue;
        }
        out.push_back(ch);
    }
    return out + "\"";
}
} // namespace

std::string DescribeWindow(WindowRef w)
{
    if (!IsLiveWindow(w))
        return "no window\n";
    std::ostringstream out;
    out << "window " << Quoted(w->name) << " title " << Quoted(w->title) << (w->visible ? " visible" : " hidden")
        << (w->active ? " active" : " inactive") << " bounds " << w->content.top << ' ' << w->content.left << ' '
        << w->content.bottom << ' ' << w->content.right << '\n';
    for (ControlRef c : w->controls) {
        out << "  " << ControlTypeName(c->type);
        if (c->id.signature || c->id.id)
            out << " id " << Quoted(FourCCText(c->id.signature)) << ' ' << c->id.id;
        switch (c->type) {
        case ControlType::Slider:
        case ControlType::CheckBox:
        case ControlType::Custom:
            out << " value " << c->value << " range " << c->minimum << ".." << c->maximum;
            break;
        case ControlType::Popup: {
            out << " value " << c->value << " range " << c->minimum << ".." << c->maximum;
            if (c->menu && c->value >= 1 && c->value <= static_cast<SInt32>(c->menu->items.size()))
                out << " item " << Quoted(c->menu->items[c->value - 1]);
            break;
        }
        case ControlType::StaticText:
        case ControlType::EditText:
            out << " text " << Quoted(c->text);
            break;
        default:
            break;
        }
        if (!c->title.empty())
            out << " title " << Quoted(c->title);
        if (c->command)
            out << " command " << Quoted(FourCCText(c->command));
        if (c->objectClass)
            out << " class " << Quoted(c->objectClass->classID);
        out << (c->visible ? " visible" : " hidden") << (c->enabled ? " enabled" : " disabled");
        if (c->hilite)
            out << " hilite " << c->hilite;
        if (w->focus == c)
            out << " focus";
        out << '\n';
    }
    return out.str();
}

void Report(const std::string &line)
{
    if (gReportProc) {
        gReportProc(line.c_str(), gReportData);
    } else {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

} // namespace qvtb

extern "C" {

QV_API OSStatus QVCreateNibReferenceFromText(const char *inNibName, const char *inText, size_t inLength,
                                             IBNibRef *outNibRef, char *outError, size_t outErrorSize)
{
    if (outNibRef)
        *outNibRef = nullptr;
    CopyOut("", outError, outErrorSize);
    if (!outNibRef || (!inText && inLength > 0))
        return paramErr;
    qvtb::NibDescription description;
    std::string error;
    if (!qvtb::ParseNibDescription(std::string_view(inText ? inText : "", inLength), description, error)) {
        CopyOut(error, outError, outErrorSize);
        return kIBCarbonRuntimeCantFindNibFile;
    }
    IBNibRef nib = new OpaqueIBNibRef;
    nib->name = inNibName ? inNibName : "";
    nib->description = std::move(description);
    gLiveNibs.insert(nib);
    *outNibRef = nib;
    return noErr;
}

QV_API OSStatus QVCreateNibReferenceFromFile(const char *inPath, IBNibRef *outNibRef, char *outError,
                                             size_t outErrorSize)
{
    if (outNibRef)
        *outNibRef = nullptr;
    if (!inPath || !outNibRef)
        return paramErr;
    bool ok = false;
    std::string text = ReadFile(inPath, ok);
    if (!ok) {
        CopyOut(std::string("cannot read ") + inPath, outError, outErrorSize);
        return kIBCarbonRuntimeCantFindNibFile;
    }
    std::string name = inPath;
    if (size_t slash = name.rfind('/'); slash != std::string::npos)
        name = name.substr(slash + 1);
    if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name = name.substr(0, dot);
    OSStatus status = QVCreateNibReferenceFromText(name.c_str(), text.data(), text.size(), outNibRef, outError,
                                                   outErrorSize);
    if (status != noErr && outError && outErrorSize) {
        std::string message = std::string(inPath) + ": " + outError;
        CopyOut(message, outError, outErrorSize);
    }
    return status;
}

QV_API void DisposeNibReference(IBNibRef inNibRef)
{
    if (gLiveNibs.erase(inNibRef))
        delete inNibRef;
}

QV_API OSStatus QVCreateWindowFromNibNamed(IBNibRef inNibRef, const char *inName, WindowRef *outWindow)
{
    if (outWindow)
        *outWindow = nullptr;
    if (!gLiveNibs.count(inNibRef) || !inName || !outWindow)
        return paramErr;
    const qvtb::WindowDescription *d = inNibRef->description.find(inName);
    if (!d)
        return kIBCarbonRuntimeCantFindObject;
    // Every class must be registered before anything is made.
    std::vector<OpaqueToolboxObjectClassRef *> classes;
    for (const qvtb::ControlDescription &cd : d->controls) {
        OpaqueToolboxObjectClassRef *cls = nullptr;
        if (cd.type == qvtb::ControlType::Custom) {
            cls = qvtb::FindClass(cd.classID);
            if (!cls) {
                std::fprintf(stderr, "toolbox: window \"%s\" of nib \"%s\": control class \"%s\" is not registered\n",
                             inName, inNibRef->name.c_str(), cd.classID.c_str());
                return hiObjectClassNotFoundErr;
            }
        }
        classes.push_back(cls);
    }
    const int width = d->bounds.right - d->bounds.left, height = d->bounds.bottom - d->bounds.top;
    GWorldPtr port = MakePort(width, height);
    if (!port)
        return memFullErr;
    WindowRef w = new OpaqueWindowPtr;
    w->name = d->name;
    w->title = d->title;
    w->content = d->bounds;
    w->centered = d->centered;
    w->port = port;
    QVSetPortDrawnProc(port, PortDrawn, w);
    w->target.owner = w;
    gLiveWindows.insert(w);
    qvtb::RegisterTarget(&w->target);
    gZOrder.push_back(w); // new windows stay behind until shown
    for (size_t i = 0; i < d->controls.size(); ++i)
        w->controls.push_back(qvtb::MakeControl(w, d->controls[i], classes[i]));
    qvtb::CurrentFrontEnd().windowCreated(w);
    std::vector<ControlRef> controls = w->controls;
    for (ControlRef c : controls) {
        if (c->type != qvtb::ControlType::Custom || !qvtb::IsLiveControl(c))
            continue;
        qvtb::SendControlEvent(c, kEventControlInitialize);
        if (qvtb::IsLiveControl(c))
            qvtb::SendControlEvent(c, kEventControlOwningWindowChanged);
    }
    if (!qvtb::IsLiveWindow(w))
        return paramErr; // a class disposed of the window while it was made
    *outWindow = w;
    return noErr;
}

QV_API const char *QVGetWindowName(WindowRef inWindow)
{
    return qvtb::IsLiveWindow(inWindow) ? inWindow->name.c_str() : "";
}

QV_API void DisposeWindow(WindowRef w)
{
    if (!qvtb::IsLiveWindow(w))
        return;
    qvtb::EndModalLoopsOf(w);
    const bool wasVisible = w->visible;
    w->visible = false;
    // Controls first, while the window is still there for their handlers.
    std::vector<ControlRef> controls = w->controls;
    for (ControlRef c : controls)
        if (qvtb::IsLiveControl(c) && c->type == qvtb::ControlType::Custom)
            qvtb::SendControlEvent(c, kEventControlDispose);
    if (!qvtb::IsLiveWindow(w))
        return;
    for (WindowRef other : gLiveWindows)
        if (other->parent == w)
            other->parent = nullptr;
    qvtb::CurrentFrontEnd().windowDisposing(w);
    for (ControlRef c : w->controls)
        if (qvtb::IsLiveControl(c))
            qvtb::DestroyControl(c);
    w->controls.clear();
    qvtb::UnregisterTarget(&w->target);
    gLiveWindows.erase(w);
    gZOrder.erase(std::remove(gZOrder.begin(), gZOrder.end(), w), gZOrder.end());
    if (w->port) {
        QVSetPortDrawnProc(w->port, nullptr, nullptr);
        QVDisposeWindowPort(w->port);
    }
    delete w;
    if (wasVisible)
        UpdateActivation();
}

QV_API void ShowWindow(WindowRef w)
{
    if (!qvtb::IsLiveWindow(w))
        return;
    if (!w->shown)
        FirstShown(w);
    if (!w->visible) {
        w->visible = true;
        qvtb::CurrentFrontEnd().windowVisibilityChanged(w);
    }
    SelectWindow(w);
    DrawControls(w);
}

QV_API void HideWindow(WindowRef w)
{
    if (!qvtb::IsLiveWindow(w) || !w->visible)
        return;
    w->visible = false;
    qvtb::CurrentFrontEnd().windowVisibilityChanged(w);
    UpdateActivation();
}

QV_API Boolean IsWindowVisible(WindowRef w)
{
    return qvtb::IsLiveWindow(w) && w->visible;
}

QV_API void BringToFront(WindowRef w)
{
    if (!qvtb::IsLiveWindow(w))
        return;
    gZOrder.erase(std::remove(gZOrder.begin(), gZOrder.end(), w), gZOrder.end());
    gZOrder.insert(gZOrder.begin(), w);
    qvtb::CurrentFrontEnd().windowOrderChanged(w);
}

QV_API void SelectWindow(WindowRef w)
{
    if (!qvtb::IsLiveWindow(w))
        return;
    BringToFront(w);
    UpdateActivation();
}

QV_API Boolean IsWindowActive(WindowRef w)
{
    return qvtb::IsLiveWindow(w) && w->active;
}

QV_API WindowRef FrontWindow(void)
{
    for (WindowRef w : gZOrder)
        if (w->visible)
            return w;
    return nullptr;
}

QV_API CGrafPtr GetWindowPort(WindowRef w)
{
    return qvtb::IsLiveWindow(w) ? w->port : nullptr;
}

QV_API OSStatus GetWindowBounds(WindowRef w, WindowRegionCode regionCode, Rect *globalBounds)
{
    if (!globalBounds)
        return paramErr;
    if (!qvtb::IsLiveWindow(w))
        return errInvalidWindowRef;
    Rect r = w->content;
    switch (regionCode) {
    case kWindowContentRgn:
    case kWindowGlobalPortRgn:
        break;
    case kWindowStructureRgn:
        r.top = static_cast<SInt16>(std::max(-32768, r.top - kQVTitleBarHeight));
        break;
    case kWindowTitleBarRgn:
        r.bottom = r.top;
        r.top = static_cast<SInt16>(std::max(-32768, r.top - kQVTitleBarHeight));
        break;
    default:
        return paramErr;
    }
    *globalBounds = r;
    return noErr;
}

QV_API OSStatus SetWindowBounds(WindowRef w, WindowRegionCode inRegionCode, const Rect *inGlobalBounds)
{
    if (!inGlobalBounds)
        return paramErr;
    if (!qvtb::IsLiveWindow(w))
        return errInvalidWindowRef;
    Rect content = *inGlobalBounds;
    if (inRegionCode == kWindowStructureRgn)
        content.top = static_cast<SInt16>(std::min(32767, content.top + kQVTitleBarHeight));
    else if (inRegionCode != kWindowContentRgn && inRegionCode != kWindowGlobalPortRgn)
        return paramErr;
    const int width = content.right - content.left, height = content.bottom - content.top;
    if (width < 1 || height < 1 || width > qvtb::kMaxWindowSide || height > qvtb::kMaxWindowSide)
        return paramErr;
    const int oldWidth = w->content.right - w->content.left, oldHeight = w->content.bottom - w->content.top;
    if (width != oldWidth || height != oldHeight) {
        GWorldPtr port = MakePort(width, height);
        if (!port)
            return memFullErr;
        Rect common{0, 0, static_cast<SInt16>(std::min(height, oldHeight)),
                    static_cast<SInt16>(std::min(width, oldWidth))};
        CopyBits(GetPortBitMapForCopyBits(w->port), GetPortBitMapForCopyBits(port), &common, &common, srcCopy,
                 nullptr);
        GWorldPtr old = w->port;
        // Nobody may keep drawing into the old port.
        CGrafPtr current = nullptr;
        GDHandle device = nullptr;
        GetGWorld(&current, &device);
        if (current == old)
            SetGWorld(port, nullptr);
        w->port = port;
        QVSetPortDrawnProc(old, nullptr, nullptr);
        QVDisposeWindowPort(old);
        QVSetPortDrawnProc(port, PortDrawn, w);
    }
    w->content = content;
    qvtb::CurrentFrontEnd().windowBoundsChanged(w);
    if (width != oldWidth || height != oldHeight)
        DrawControls(w);
    return noErr;
}

QV_API void SetWTitle(WindowRef w, ConstStr255Param title)
{
    if (!qvtb::IsLiveWindow(w))
        return;
    w->title = title ? std::string(reinterpret_cast<const char *>(title + 1), title[0]) : std::string();
    qvtb::CurrentFrontEnd().windowTitleChanged(w);
}

QV_API void GetWTitle(WindowRef w, Str255 title)
{
    if (!title)
        return;
    std::string t = qvtb::IsLiveWindow(w) ? w->title : std::string();
    size_t n = std::min<size_t>(t.size(), 255);
    title[0] = static_cast<unsigned char>(n);
    std::memcpy(title + 1, t.data(), n);
}

QV_API OSStatus QVToolboxSelectFrontEnd(QVFrontEndKind inKind)
{
    if (inKind != kQVFrontEndAutomatic && inKind != kQVFrontEndHeadless && inKind != kQVFrontEndScreen)
        return paramErr;
    if (gFrontEnd) {
        QVFrontEndKind current = gFrontEnd->kind();
        bool same = inKind == current ||
                    (inKind == kQVFrontEndAutomatic &&
                     current == (DisplayAvailable() ? kQVFrontEndScreen : kQVFrontEndHeadless));
        if (same) {
            gWanted = inKind;
            return noErr;
        }
        if (!gLiveWindows.empty())
            return paramErr;
        if (inKind == kQVFrontEndScreen || (inKind == kQVFrontEndAutomatic && DisplayAvailable())) {
            qvtb::FrontEnd *screen = qvtb::CreateScreenFrontEnd();
            if (!screen)
                return -1;
            delete gFrontEnd;
            gFrontEnd = screen;
        } else {
            delete gFrontEnd;
            gFrontEnd = qvtb::CreateHeadlessFrontEnd();
        }
        gWanted = inKind;
        qvtb::InstallAlertPresenter();
        return noErr;
    }
    if (inKind == kQVFrontEndScreen) {
        gFrontEnd = qvtb::CreateScreenFrontEnd();
        if (!gFrontEnd)
            return -1;
        qvtb::InstallAlertPresenter();
    }
    gWanted = inKind;
    return noErr;
}

QV_API QVFrontEndKind QVToolboxGetFrontEnd(void)
{
    return qvtb::CurrentFrontEnd().kind();
}

QV_API void QVToolboxSetReportProc(QVToolboxReportProc inProc, void *inUserData)
{
    gReportProc = inProc;
    gReportData = inUserData;
}

QV_API size_t QVToolboxDescribeWindow(WindowRef inWindow, char *outText, size_t outSize)
{
    std::string text = qvtb::DescribeWindow(inWindow);
    CopyOut(text, outText, outSize);
    return text.size();
}

QV_API OSStatus QVToolboxSavePortImage(WindowRef inWindow, const char *inPath)
{
    if (!inPath)
        return paramErr;
    if (!qvtb::IsLiveWindow(inWindow))
        return errInvalidWindowRef;
    PixMapHandle pm = GetGWorldPixMap(inWindow->port);
    Rect bounds;
    GetPortBounds(inWindow->port, &bounds);
    const UInt8 *base = pm ? reinterpret_cast<const UInt8 *>(GetPixBaseAddr(pm)) : nullptr;
    if (!base)
        return paramErr;
    const long rowBytes = GetPixRowBytes(pm);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const UInt8 *src = base + y * rowBytes;
        QRgb *dst = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            dst[x] = qRgb(src[x * 4 + 1], src[x * 4 + 2], src[x * 4 + 3]);
    }
    return image.save(QString::fromLocal8Bit(inPath), "PNG") ? noErr : ioErr;
}

} // extern "C"
