// Controls.cpp: control records, their values, state, data and menus, the
// custom control classes, drawing custom controls into the window's port,
// and the user actions that the front ends turn input into.
#include "toolbox/ToolboxInternal.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace {

std::unordered_set<ControlRef> gLiveControls;
std::unordered_map<std::string, OpaqueToolboxObjectClassRef *> gClasses;

bool IsCustom(ControlRef c)
{
    return c->type == qvtb::ControlType::Custom;
}

bool WindowShowsControls(ControlRef c)
{
    return c->window && c->visible;
}

void Changed(ControlRef c, unsigned what)
{
    qvtb::CurrentFrontEnd().controlChanged(c, what);
}

// Redraws a visible custom control after a change of its state.
void Redraw(ControlRef c)
{
    if (IsCustom(c) && WindowShowsControls(c))
        qvtb::DrawCustomControl(c);
}

std::string FromPascal(ConstStr255Param s)
{
    return s ? std::string(reinterpret_cast<const char *>(s + 1), s[0]) : std::string();
}

void ToPascal(const std::string &text, Str255 out)
{
    size_t n = std::min<size_t>(text.size(), 255);
    out[0] = static_cast<unsigned char>(n);
    std::memcpy(out + 1, text.data(), n);
}

void SetValueInternal(ControlRef c, SInt32 v)
{
    v = std::clamp(v, c->minimum, c->maximum);
    if (v == c->value)
        return;
    c->value = v;
    Changed(c, qvtb::kChangedValue);
    Redraw(c);
}

} // namespace

namespace qvtb {

bool IsLiveControl(ControlRef c)
{
    return c && gLiveControls.count(c) != 0;
}

const char *ControlTypeName(ControlType t)
{
    switch (t) {
    case ControlType::PushButton:
        return "pushbutton";
    case ControlType::Slider:
        return "slider";
    case ControlType::Popup:
        return "popup";
    case ControlType::CheckBox:
        return "checkbox";
    case ControlType::StaticText:
        return "statictext";
    case ControlType::EditText:
        return "edittext";
    case ControlType::GroupBox:
        return "groupbox";
    case ControlType::Custom:
        return "custom";
    }
    return "?";
}

OpaqueToolboxObjectClassRef *FindClass(const std::string &classID)
{
    auto it = gClasses.find(classID);
    return it == gClasses.end() ? nullptr : it->second;
}

// Makes a control from its description (classes looked up by the caller).
ControlRef MakeControl(WindowRef w, const ControlDescription &d, OpaqueToolboxObjectClassRef *cls)
{
    ControlRef c = new OpaqueControlRef;
    c->type = d.type;
    c->id = {d.signature, d.id};
    c->command = d.command;
    c->bounds = d.bounds;
    c->value = d.value;
    c->minimum = d.minimum;
    c->maximum = d.maximum;
    c->title = d.title;
    c->text = d.text;
    c->visible = !d.hidden;
    c->enabled = !d.disabled;
    c->live = d.live;
    c->isDefault = d.isDefault;
    c->isCancel = d.isCancel;
    c->window = w;
    c->target.owner = c;
    c->objectClass = cls;
    if (cls)
        ++cls->instances;
    if (d.type == ControlType::Popup) {
        c->menu = new OpaqueMenuRef;
        c->menu->items = d.items;
        c->menu->owner = c;
        c->menu->target.owner = c->menu;
        RegisterTarget(&c->menu->target);
    }
    gLiveControls.insert(c);
    RegisterTarget(&c->target);
    return c;
}

void DestroyControl(ControlRef c)
{
    if (c->objectClass)
        --c->objectClass->instances;
    if (c->menu) {
        UnregisterTarget(&c->menu->target);
        delete c->menu;
    }
    UnregisterTarget(&c->target);
    gLiveControls.erase(c);
    delete c;
}

void SetControlActive(ControlRef c, bool active)
{
    if (c->active == active)
        return;
    c->active = active;
    Changed(c, kChangedHilite);
    if (!IsCustom(c))
        return;
    OSStatus handled = SendControlEvent(c, active ? kEventControlActivate : kEventControlDeactivate);
    if (handled == eventNotHandledErr && IsLiveControl(c))
        Redraw(c);
}

void DrawCustomControl(ControlRef c)
{
    if (!IsLiveControl(c) || !c->visible || !c->window)
        return;
    WindowRef w = c->window;
    Rect bounds = c->bounds;
    SendControlEvent(c, kEventControlDraw);
    if (IsLiveWindow(w))
        CurrentFrontEnd().portChanged(w, bounds);
}

bool UserCanUse(ControlRef c)
{
    return IsLiveControl(c) && c->visible && c->enabled && c->active && c->window && c->window->visible;
}

ControlPartCode UserHitTest(ControlRef c, Point where)
{
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHitTest, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof c, &c);
    SetEventParameter(e, kEventParamMouseLocation, typeQDPoint, sizeof where, &where);
    ControlPartCode part = kControlNoPart;
    SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    SendEventToEventTarget(e, &c->target);
    GetEventParameter(e, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
    ReleaseEvent(e);
    return part;
}

bool UserTrack(ControlRef c, Point where, UInt32 modifiers, ControlPartCode &part)
{
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlTrack, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof c, &c);
    SetEventParameter(e, kEventParamMouseLocation, typeQDPoint, sizeof where, &where);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    OSStatus status = SendEventToEventTarget(e, &c->target);
    bool handled = status != eventNotHandledErr;
    if (handled)
        GetEventParameter(e, kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr, &part);
    ReleaseEvent(e);
    return handled;
}

void UserHit(ControlRef c, ControlPartCode part, UInt32 modifiers)
{
    if (!IsLiveControl(c) || part == kControlNoPart)
        return;
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof c, &c);
    SetEventParameter(e, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    SendEventToEventTarget(e, &c->target);
    ReleaseEvent(e);
}

OSStatus UserClick(ControlRef c, Point where, UInt32 modifiers)
{
    if (!UserCanUse(c))
        return paramErr;
    ControlPartCode part = UserHitTest(c, where);
    if (part == kControlNoPart || !IsLiveControl(c))
        return noErr;
    if (!UserTrack(c, where, modifiers, part)) {
        // Standard tracking: the part is highlighted while the mouse is
        // down and released inside.
        HiliteControl(c, part);
        if (!IsLiveControl(c))
            return noErr;
        HiliteControl(c, kControlNoPart);
    }
    if (!IsLiveControl(c) || part == kControlNoPart)
        return noErr;
    if (c->type == ControlType::CheckBox) {
        SetValueInternal(c, c->value == 0 ? 1 : 0);
    }
    UserHit(c, part, modifiers);
    return noErr;
}

void UserDragTo(ControlRef c, SInt32 value)
{
    if (!IsLiveControl(c))
        return;
    SetValueInternal(c, value);
    if (c->action && IsLiveControl(c))
        c->action(c, kControlIndicatorPart);
}

void UserDragEnd(ControlRef c, UInt32 modifiers)
{
    UserHit(c, kControlIndicatorPart, modifiers);
}

OSStatus UserChoosePopupItem(ControlRef c, SInt32 item, UInt32 modifiers)
{
    if (!IsLiveControl(c) || c->type != ControlType::Popup || !c->menu)
        return paramErr;
    if (item < 1 || item > static_cast<SInt32>(c->menu->items.size()) || item < c->minimum || item > c->maximum)
        return paramErr;
    SetValueInternal(c, item);
    UserHit(c, kControlMenuPart, modifiers);
    return noErr;
}

void UserToggleCheckBox(ControlRef c, UInt32 modifiers)
{
    if (!IsLiveControl(c))
        return;
    SetValueInternal(c, c->value == 0 ? 1 : 0);
    UserHit(c, kControlCheckBoxPart, modifiers);
}

void UserSetText(ControlRef c, const std::string &text)
{
    if (!IsLiveControl(c) || c->text == text)
        return;
    c->text = text;
    Changed(c, kChangedText);
}

} // namespace qvtb

extern "C" {

QV_API OSStatus GetControlByID(WindowRef inWindow, const ControlID *inID, ControlRef *outControl)
{
    if (outControl)
        *outControl = nullptr;
    if (!inID || !outControl)
        return paramErr;
    if (!qvtb::IsLiveWindow(inWindow))
        return errInvalidWindowRef;
    for (ControlRef c : inWindow->controls)
        if (c->id.signature == inID->signature && c->id.id == inID->id) {
            *outControl = c;
            return noErr;
        }
    return errUnknownControl;
}

QV_API OSStatus GetControlID(ControlRef inControl, ControlID *outID)
{
    if (!qvtb::IsLiveControl(inControl) || !outID)
        return errUnknownControl;
    *outID = inControl->id;
    return noErr;
}

QV_API OSStatus GetControlKind(ControlRef inControl, ControlKind *outKind)
{
    if (!qvtb::IsLiveControl(inControl) || !outKind)
        return errUnknownControl;
    static const OSType kinds[] = {kControlKindPushButton, kControlKindSlider,     kControlKindPopupButton,
                                   kControlKindCheckBox,   kControlKindStaticText, kControlKindEditText,
                                   kControlKindGroupBox,   kControlKindCustom};
    outKind->signature = kControlKindSignatureApple;
    outKind->kind = kinds[static_cast<int>(inControl->type)];
    return noErr;
}

QV_API OSStatus GetControlCommandID(ControlRef inControl, UInt32 *outCommandID)
{
    if (!qvtb::IsLiveControl(inControl) || !outCommandID)
        return errUnknownControl;
    *outCommandID = inControl->command;
    return noErr;
}

QV_API OSStatus SetControlCommandID(ControlRef inControl, UInt32 inCommandID)
{
    if (!qvtb::IsLiveControl(inControl))
        return errUnknownControl;
    inControl->command = inCommandID;
    return noErr;
}

QV_API WindowRef GetControlOwner(ControlRef inControl)
{
    return qvtb::IsLiveControl(inControl) ? inControl->window : nullptr;
}

QV_API SInt32 GetControl32BitValue(ControlRef c)
{
    return qvtb::IsLiveControl(c) ? c->value : 0;
}

QV_API void SetControl32BitValue(ControlRef c, SInt32 newValue)
{
    if (qvtb::IsLiveControl(c))
        SetValueInternal(c, newValue);
}

QV_API SInt32 GetControl32BitMinimum(ControlRef c)
{
    return qvtb::IsLiveControl(c) ? c->minimum : 0;
}

QV_API SInt32 GetControl32BitMaximum(ControlRef c)
{
    return qvtb::IsLiveControl(c) ? c->maximum : 0;
}

// Changing one end of the range moves the other end and the value along
// when they would fall outside it.
QV_API void SetControl32BitMinimum(ControlRef c, SInt32 newMinimum)
{
    if (!qvtb::IsLiveControl(c))
        return;
    c->minimum = newMinimum;
    if (c->maximum < newMinimum)
        c->maximum = newMinimum;
    Changed(c, qvtb::kChangedRange);
    if (c->value < newMinimum)
        SetValueInternal(c, newMinimum);
}

QV_API void SetControl32BitMaximum(ControlRef c, SInt32 newMaximum)
{
    if (!qvtb::IsLiveControl(c))
        return;
    c->maximum = newMaximum;
    if (c->minimum > newMaximum)
        c->minimum = newMaximum;
    Changed(c, qvtb::kChangedRange);
    if (c->value > newMaximum)
        SetValueInternal(c, newMaximum);
}

QV_API SInt16 GetControlValue(ControlRef c)
{
    return static_cast<SInt16>(std::clamp<SInt32>(GetControl32BitValue(c), -32768, 32767));
}

QV_API void SetControlValue(ControlRef c, SInt16 newValue)
{
    SetControl32BitValue(c, newValue);
}

QV_API SInt16 GetControlMaximum(ControlRef c)
{
    return static_cast<SInt16>(std::clamp<SInt32>(GetControl32BitMaximum(c), -32768, 32767));
}

QV_API SInt16 GetControlMinimum(ControlRef c)
{
    return static_cast<SInt16>(std::clamp<SInt32>(GetControl32BitMinimum(c), -32768, 32767));
}

QV_API SInt64 GetControlReference(ControlRef c)
{
    return qvtb::IsLiveControl(c) ? c->reference : 0;
}

QV_API void SetControlReference(ControlRef c, SInt64 data)
{
    if (qvtb::IsLiveControl(c))
        c->reference = data;
}

QV_API OSStatus SetControlVisibility(ControlRef c, Boolean inIsVisible, Boolean inDoDraw)
{
    if (!qvtb::IsLiveControl(c))
        return errUnknownControl;
    bool v = inIsVisible != 0;
    if (c->visible == v)
        return noErr;
    c->visible = v;
    Changed(c, qvtb::kChangedVisibility);
    if (IsCustom(c) && c->window) {
        if (!v)
            qvtb::ErasePortRect(c->window, c->bounds);
        else if (inDoDraw)
            qvtb::DrawCustomControl(c);
    }
    return noErr;
}

QV_API void ShowControl(ControlRef c)
{
    SetControlVisibility(c, true, true);
}

QV_API void HideControl(ControlRef c)
{
    SetControlVisibility(c, false, true);
}

QV_API Boolean IsControlVisible(ControlRef c)
{
    return qvtb::IsLiveControl(c) && c->visible;
}

QV_API OSStatus EnableControl(ControlRef c)
{
    if (!qvtb::IsLiveControl(c))
        return errUnknownControl;
    if (!c->enabled) {
        c->enabled = true;
        Changed(c, qvtb::kChangedEnabling | qvtb::kChangedHilite);
        Redraw(c);
    }
    return noErr;
}

QV_API OSStatus DisableControl(ControlRef c)
{
    if (!qvtb::IsLiveControl(c))
        return errUnknownControl;
    if (c->enabled) {
        c->enabled = false;
        Changed(c, qvtb::kChangedEnabling | qvtb::kChangedHilite);
        Redraw(c);
    }
    return noErr;
}

QV_API Boolean IsControlEnabled(ControlRef c)
{
    return qvtb::IsLiveControl(c) && c->enabled;
}

QV_API OSStatus ActivateControl(ControlRef c)
{
    if (!qvtb::IsLiveControl(c))
        return errUnknownControl;
    qvtb::SetControlActive(c, true);
    return noErr;
}

QV_API OSStatus DeactivateControl(ControlRef c)
{
    if (!qvtb::IsLiveControl(c))
        return errUnknownControl;
    qvtb::SetControlActive(c, false);
    return noErr;
}

QV_API Boolean IsControlActive(ControlRef c)
{
    return qvtb::IsLiveControl(c) && c->active;
}

QV_API void HiliteControl(ControlRef c, ControlPartCode hiliteState)
{
    if (!qvtb::IsLiveControl(c))
        return;
    // 254 and 255 set the disabled and inactive states, as on the platform.
    if (hiliteState == kControlInactivePart) {
        qvtb::SetControlActive(c, false);
        return;
    }
    if (hiliteState == kControlDisabledPart) {
        DisableControl(c);
        return;
    }
    if (c->hilite == hiliteState)
        return;
    c->hilite = hiliteState;
    Changed(c, qvtb::kChangedHilite);
    Redraw(c);
}

QV_API UInt16 GetControlHilite(ControlRef c)
{
    if (!qvtb::IsLiveControl(c))
        return 0;
    if (!c->enabled)
        return kControlDisabledPart;
    if (!c->active)
        return kControlInactivePart;
    return static_cast<UInt16>(c->hilite);
}

QV_API Boolean IsControlHilited(ControlRef c)
{
    UInt16 h = GetControlHilite(c);
    return h != 0 && h != kControlDisabledPart && h != kControlInactivePart;
}

QV_API Rect *GetControlBounds(ControlRef c, Rect *outBounds)
{
    if (!outBounds)
        return nullptr;
    *outBounds = qvtb::IsLiveControl(c) ? c->bounds : Rect{0, 0, 0, 0};
    return outBounds;
}

QV_API void SetControlBounds(ControlRef c, const Rect *inBounds)
{
    if (!qvtb::IsLiveControl(c) || !inBounds)
        return;
    if (IsCustom(c) && c->visible && c->window)
        qvtb::ErasePortRect(c->window, c->bounds);
    c->bounds = *inBounds;
    Changed(c, qvtb::kChangedBounds);
    Redraw(c);
}

QV_API void SetControlTitle(ControlRef c, ConstStr255Param title)
{
    if (!qvtb::IsLiveControl(c))
        return;
    c->title = FromPascal(title);
    Changed(c, qvtb::kChangedTitle);
}

QV_API void GetControlTitle(ControlRef c, Str255 title)
{
    if (!title)
        return;
    ToPascal(qvtb::IsLiveControl(c) ? c->title : std::string(), title);
}

QV_API OSStatus SetControlData(ControlRef c, ControlPartCode, ResType inTagName, Size inSize, const void *inData)
{
    if (!qvtb::IsLiveControl(c))
        return errUnknownControl;
    if (inSize < 0 || (inSize > 0 && !inData))
        return paramErr;
    const bool isText = c->type == qvtb::ControlType::StaticText || c->type == qvtb::ControlType::EditText;
    if (inTagName == kControlEditTextTextTag && isText) {
        if (inSize > 32767)
            return paramErr;
        std::string text(static_cast<const char *>(inData), static_cast<size_t>(inSize));
        if (text != c->text) {
            c->text = std::move(text);
            c->selection = {static_cast<SInt16>(c->text.size()), static_cast<SInt16>(c->text.size())};
            Changed(c, qvtb::kChangedText);
        }
        return noErr;
    }
    if (inTagName == kControlEditTextSelectionTag && c->type == qvtb::ControlType::EditText) {
        if (inSize != static_cast<Size>(sizeof(ControlEditTextSelectionRec)))
            return paramErr;
        ControlEditTextSelectionRec sel;
        std::memcpy(&sel, inData, sizeof sel);
        const SInt16 length = static_cast<SInt16>(c->text.size());
        sel.selStart = std::clamp<SInt16>(sel.selStart, 0, length);
        sel.selEnd = std::clamp<SInt16>(sel.selEnd, sel.selStart, length);
        c->selection = sel;
        Changed(c, qvtb::kChangedText);
        return noErr;
    }
    return errDataNotSupported;
}

QV_API OSStatus GetControlData(ControlRef c, ControlPartCode, ResType inTagName, Size inBufferSize, void *inBuffer,
                               Size *outActualSize)
{
    if (!qvtb::IsLiveControl(c))
        return errUnknownControl;
    if (inBufferSize < 0 || (inBufferSize > 0 && !inBuffer))
        return paramErr;
    const bool isText = c->type == qvtb::ControlType::StaticText || c->type == qvtb::ControlType::EditText;
    const void *data = nullptr;
    Size size = 0;
    if (inTagName == kControlEditTextTextTag && isText) {
        data = c->text.data();
        size = static_cast<Size>(c->text.size());
    } else if (inTagName == kControlEditTextSelectionTag && c->type == qvtb::ControlType::EditText) {
        data = &c->selection;
        size = sizeof c->selection;
    } else {
        return errDataNotSupported;
    }
    if (outActualSize)
        *outActualSize = size;
    if (inBuffer && size > 0)
        std::memcpy(inBuffer, data, static_cast<size_t>(std::min(size, inBufferSize)));
    return noErr;
}

QV_API OSStatus GetControlDataSize(ControlRef c, ControlPartCode part, ResType inTagName, Size *outMaxSize)
{
    return GetControlData(c, part, inTagName, 0, nullptr, outMaxSize);
}

QV_API void Draw1Control(ControlRef c)
{
    if (!qvtb::IsLiveControl(c) || !c->visible)
        return;
    if (IsCustom(c))
        qvtb::DrawCustomControl(c);
    else
        Changed(c, qvtb::kChangedValue);
}

QV_API void DrawControls(WindowRef w)
{
    if (!qvtb::IsLiveWindow(w))
        return;
    std::vector<ControlRef> controls = w->controls;
    for (ControlRef c : controls)
        Draw1Control(c);
}

QV_API ControlActionUPP NewControlActionUPP(ControlActionProcPtr userRoutine)
{
    return userRoutine;
}

QV_API void DisposeControlActionUPP(ControlActionUPP) {}

QV_API void SetControlAction(ControlRef c, ControlActionUPP actionProc)
{
    if (qvtb::IsLiveControl(c))
        c->action = actionProc;
}

QV_API ControlActionUPP GetControlAction(ControlRef c)
{
    return qvtb::IsLiveControl(c) ? c->action : nullptr;
}

QV_API OSStatus SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlPartCode inPart)
{
    if (!qvtb::IsLiveWindow(inWindow))
        return errInvalidWindowRef;
    if (inPart == kControlFocusNoPart || !inControl) {
        ControlRef old = inWindow->focus;
        inWindow->focus = nullptr;
        if (old)
            Changed(old, qvtb::kChangedFocus);
        return noErr;
    }
    if (!qvtb::IsLiveControl(inControl) || inControl->window != inWindow)
        return errUnknownControl;
    if (!inControl->visible || !inControl->enabled)
        return errControlIsNotEmbedder;
    ControlRef old = inWindow->focus;
    inWindow->focus = inControl;
    if (old && old != inControl)
        Changed(old, qvtb::kChangedFocus);
    Changed(inControl, qvtb::kChangedFocus);
    return noErr;
}

QV_API OSStatus GetKeyboardFocus(WindowRef inWindow, ControlRef *outControl)
{
    if (!outControl)
        return paramErr;
    *outControl = nullptr;
    if (!qvtb::IsLiveWindow(inWindow))
        return errInvalidWindowRef;
    *outControl = inWindow->focus;
    return noErr;
}

QV_API MenuRef GetControlPopupMenuHandle(ControlRef c)
{
    return qvtb::IsLiveControl(c) ? c->menu : nullptr;
}

static bool LiveMenu(MenuRef m)
{
    return m && GetMenuEventTarget(m) != nullptr;
}

QV_API UInt16 CountMenuItems(MenuRef m)
{
    return LiveMenu(m) ? static_cast<UInt16>(m->items.size()) : 0;
}

QV_API void GetMenuItemText(MenuRef m, MenuItemIndex item, Str255 itemString)
{
    if (!itemString)
        return;
    if (!LiveMenu(m) || item < 1 || item > m->items.size()) {
        itemString[0] = 0;
        return;
    }
    ToPascal(m->items[item - 1], itemString);
}

QV_API void SetMenuItemText(MenuRef m, MenuItemIndex item, ConstStr255Param itemString)
{
    if (!LiveMenu(m) || item < 1 || item > m->items.size())
        return;
    m->items[item - 1] = FromPascal(itemString);
    Changed(m->owner, qvtb::kChangedMenu);
}

QV_API OSStatus AppendMenuItemText(MenuRef m, ConstStr255Param inString)
{
    if (!LiveMenu(m))
        return paramErr;
    if (m->items.size() >= 32767)
        return paramErr;
    m->items.push_back(FromPascal(inString));
    Changed(m->owner, qvtb::kChangedMenu);
    return noErr;
}

QV_API void DeleteMenuItem(MenuRef m, MenuItemIndex item)
{
    if (!LiveMenu(m) || item < 1 || item > m->items.size())
        return;
    m->items.erase(m->items.begin() + (item - 1));
    Changed(m->owner, qvtb::kChangedMenu);
}

QV_API OSStatus QVRegisterToolboxObjectClass(const char *inClassID, ItemCount inNumEvents,
                                             const EventTypeSpec *inEventList, EventHandlerUPP inEventHandler,
                                             void *inEventHandlerData, ToolboxObjectClassRef *outClassRef)
{
    if (outClassRef)
        *outClassRef = nullptr;
    if (!inClassID || !*inClassID || (inNumEvents > 0 && !inEventList) || !outClassRef)
        return paramErr;
    std::string id(inClassID);
    if (gClasses.count(id))
        return hiObjectClassExistsErr;
    auto *cls = new OpaqueToolboxObjectClassRef;
    cls->classID = id;
    cls->types.assign(inEventList, inEventList + inNumEvents);
    cls->handler = inEventHandler;
    cls->userData = inEventHandlerData;
    gClasses[id] = cls;
    *outClassRef = cls;
    return noErr;
}

QV_API OSStatus UnregisterToolboxObjectClass(ToolboxObjectClassRef inClassRef)
{
    if (!inClassRef)
        return paramErr;
    for (auto it = gClasses.begin(); it != gClasses.end(); ++it) {
        if (it->second != inClassRef)
            continue;
        if (inClassRef->instances > 0)
            return hiObjectClassHasInstancesErr;
        gClasses.erase(it);
        delete inClassRef;
        return noErr;
    }
    return paramErr;
}

} // extern "C"
