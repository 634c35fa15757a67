/*
 * MacWindows.h: windows of the toolbox stand-in and the nib calls that make
 * them from window descriptions.
 *
 * A nib is one window-description file `<nib name>.nib` among a bundle's
 * resources (the readable format is described in
 * platform/toolbox/WindowDescriptions.md and at QVCreateNibReferenceFromText
 * below); it holds any number of named windows. CreateWindowFromNib makes a
 * window with its controls, hidden and inactive; ShowWindow or SelectWindow
 * makes it visible, front-most and active.
 *
 * Every window has a port: a 32-bit QuickDraw window port (QVNewWindowPort)
 * of the window's content size, port rectangle at (0, 0), which is the
 * window's backing store. Custom controls draw into it (SetPort(GetWindowPort(w)),
 * then PaintRect, CopyBits, ...); the front end shows it under the standard
 * controls. The port is erased to white when the window is made and where a
 * control is hidden.
 *
 * Ownership: CreateNibReference* hand out a reference that the caller
 * disposes of with DisposeNibReference; CreateWindowFromNib hands out a
 * window that the caller disposes of with DisposeWindow, which takes its
 * controls, handlers, menus and port with it. GetWindowPort answers the
 * window's own port (valid until DisposeWindow). References to a disposed
 * window are refused by every call (errInvalidWindowRef, or a neutral answer).
 */
#ifndef QUELVANE_MACWINDOWS_H
#define QUELVANE_MACWINDOWS_H

#include "MacTypes.h"
#include "toolbox/CarbonEvents.h"

QV_EXTERN_C_BEGIN

/* The string and bundle objects of the CoreFoundation stand-in
   (corefoundation/CFString.h, corefoundation/CFBundle.h). */
typedef const struct __CFString *CFStringRef;
typedef struct __CFBundle *CFBundleRef;

typedef struct OpaqueIBNibRef *IBNibRef;
typedef UInt16 WindowRegionCode;

/* Window regions for GetWindowBounds and SetWindowBounds, in global
   coordinates. The structure adds a title bar of kQVTitleBarHeight above
   the content. */
enum { kWindowTitleBarRgn = 0, kWindowStructureRgn = 32, kWindowContentRgn = 33, kWindowGlobalPortRgn = 40 };
enum { kQVTitleBarHeight = 22 };

/* Statuses of this unit. */
enum {
    kIBCarbonRuntimeCantFindNibFile = -10960,
    kIBCarbonRuntimeObjectNotOfRequestedType = -10961,
    kIBCarbonRuntimeCantFindObject = -10962
};

/* Nib references. CreateNibReference looks the nib up in the main bundle,
   CreateNibReferenceWithCFBundle in the given bundle; both read and check the
   whole description file and fail with kIBCarbonRuntimeCantFindNibFile when
   it is missing or damaged (the reason goes to standard error). */
QV_API OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef *outNibRef);
QV_API OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef *outNibRef);
QV_API void DisposeNibReference(IBNibRef inNibRef);
/* kIBCarbonRuntimeCantFindObject when the nib has no window of that name. */
QV_API OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef *outWindow);

/* Stand-in extensions: nibs from a file or a text, windows by a
   zero-terminated name. outError (when given, outErrorSize bytes) receives
   the reason a description was refused, with its line number. */
QV_API OSStatus QVCreateNibReferenceFromFile(const char *inPath, IBNibRef *outNibRef, char *outError,
                                             size_t outErrorSize);
QV_API OSStatus QVCreateNibReferenceFromText(const char *inNibName, const char *inText, size_t inLength,
                                             IBNibRef *outNibRef, char *outError, size_t outErrorSize);
QV_API OSStatus QVCreateWindowFromNibNamed(IBNibRef inNibRef, const char *inName, WindowRef *outWindow);
/* The name a window has in its nib, or "" for an unknown window. */
QV_API const char *QVGetWindowName(WindowRef inWindow);

QV_API void DisposeWindow(WindowRef window);
QV_API void ShowWindow(WindowRef window);
QV_API void HideWindow(WindowRef window);
QV_API Boolean IsWindowVisible(WindowRef window);
/* Makes the window front-most and active (the previous front window is
   deactivated). */
QV_API void SelectWindow(WindowRef window);
QV_API void BringToFront(WindowRef window);
QV_API Boolean IsWindowActive(WindowRef inWindow);
QV_API WindowRef FrontWindow(void);

QV_API CGrafPtr GetWindowPort(WindowRef window);
QV_API OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect *globalBounds);
/* Moves or resizes the window; a new content size gives it a new port of
   that size (the old pixels are kept where they fit) and redraws its custom
   controls. */
QV_API OSStatus SetWindowBounds(WindowRef inWindow, WindowRegionCode inRegionCode, const Rect *inGlobalBounds);
QV_API void SetWTitle(WindowRef window, ConstStr255Param title);
QV_API void GetWTitle(WindowRef window, Str255 title);

QV_EXTERN_C_END

#endif /* QUELVANE_MACWINDOWS_H */
