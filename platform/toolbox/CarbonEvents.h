/*
 * CarbonEvents.h: events with typed parameters, event targets (the
 * application, each window, each control, each menu), handler chains,
 * commands, application-modal loops and the keyboard modifiers of the
 * toolbox stand-in.
 *
 * Dispatch: an event sent to a target runs the handlers installed on it,
 * most recently installed first, then the class handler of a custom control,
 * then the target's standard handling. A handler that returns
 * eventNotHandledErr passes the event on; CallNextEventHandler runs the rest
 * of the chain from inside a handler. Command events (class 'cmds') that no
 * one handles travel on from a control to its window and from a window to the
 * application.
 *
 * Ownership: CreateEvent hands out an event with one reference
 * (ReleaseEvent); events handed to handlers belong to the sender. Installed
 * handlers belong to their target: they go when RemoveEventHandler is called
 * or when the target (window, control, menu) is disposed of. The procedure
 * pointers of the UPP calls need no disposal (the calls exist for symmetry).
 *
 * One thread: the toolbox, like the platform's, is used from the main thread.
 */
#ifndef QUELVANE_CARBONEVENTS_H
#define QUELVANE_CARBONEVENTS_H

#include "MacTypes.h"
#include "corefoundation/CFBase.h"

QV_EXTERN_C_BEGIN

typedef UInt32 ItemCount;
typedef UInt32 ByteCount;
typedef OSType EventParamName;
typedef OSType EventParamType;
typedef UInt32 EventAttributes;
typedef double EventTime;
typedef SInt16 ControlPartCode;
typedef UInt32 MenuCommand;
typedef UInt16 MenuItemIndex;

typedef struct EventTypeSpec {
    UInt32 eventClass;
    UInt32 eventKind;
} EventTypeSpec;

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent, void *inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;

/* A command: what a button, a menu item or ProcessHICommand carries.
   Packed to 2 bytes as on the platform: 14 bytes with 4-byte pointers,
   18 with 8-byte pointers. Read it from an event with sizeof(HICommand). */
#pragma pack(push, 2)
typedef struct HICommand {
    UInt32 attributes;
    UInt32 commandID;
    MenuRef menuRef;
    MenuItemIndex menuItemIndex;
} HICommand;
#pragma pack(pop)
QV_STATIC_ASSERT(sizeof(HICommand) == (sizeof(void *) == 4 ? 14 : 18), "HICommand is packed to 2 bytes");

/* Event classes and kinds. */
enum {
    kEventClassCommand = QV_FOURCC('c', 'm', 'd', 's'),
    kEventClassControl = QV_FOURCC('c', 'n', 't', 'l'),
    kEventClassWindow = QV_FOURCC('w', 'i', 'n', 'd'),
    kEventClassMouse = QV_FOURCC('m', 'o', 'u', 's'),
    kEventClassKeyboard = QV_FOURCC('k', 'e', 'y', 'b'),
    kEventClassApplication = QV_FOURCC('a', 'p', 'p', 'l')
};
enum { kEventCommandProcess = 1, kEventCommandUpdateStatus = 2 };
enum {
    kEventControlHit = 1,
    kEventControlSimulateHit = 2,
    kEventControlHitTest = 3,
    kEventControlDraw = 4,
    kEventControlActivate = 9,
    kEventControlDeactivate = 10,
    kEventControlTrack = 51,
    kEventControlValueFieldChanged = 151,
    kEventControlOwningWindowChanged = 159,
    kEventControlInitialize = 1000,
    kEventControlDispose = 1001
};
enum { kEventWindowActivated = 5, kEventWindowDeactivated = 6, kEventWindowClose = 72 };

/* Parameter names. */
enum {
    kEventParamDirectObject = QV_FOURCC('-', '-', '-', '-'),
    kEventParamControlPart = QV_FOURCC('c', 'p', 'r', 't'),
    kEventParamMouseLocation = QV_FOURCC('m', 'l', 'o', 'c'),
    kEventParamWindowMouseLocation = QV_FOURCC('w', 'm', 'o', 'u'),
    kEventParamKeyModifiers = QV_FOURCC('k', 'm', 'o', 'd'),
    kEventParamKeyMacCharCodes = QV_FOURCC('k', 'c', 'h', 'r'),
    kEventParamKeyCode = QV_FOURCC('k', 'c', 'o', 'd'),
    kEventParamControlRef = QV_FOURCC('c', 't', 'r', 'l'),
    kEventParamWindowRef = QV_FOURCC('w', 'i', 'n', 'd')
};

/* Parameter types. */
enum {
    typeWildCard = QV_FOURCC('*', '*', '*', '*'),
    typeControlRef = QV_FOURCC('c', 't', 'r', 'l'),
    typeWindowRef = QV_FOURCC('w', 'i', 'n', 'd'),
    typeMenuRef = QV_FOURCC('m', 'e', 'n', 'u'),
    typeHICommand = QV_FOURCC('h', 'c', 'm', 'd'),
    typeQDPoint = QV_FOURCC('Q', 'D', 'p', 't'),
    typeQDRectangle = QV_FOURCC('q', 'd', 'r', 't'),
    typeControlPartCode = QV_FOURCC('c', 'p', 'r', 't'),
    typeUInt32 = QV_FOURCC('m', 'a', 'g', 'n'),
    typeSInt32 = QV_FOURCC('l', 'o', 'n', 'g'),
    typeSInt16 = QV_FOURCC('s', 'h', 'o', 'r'),
    typeBoolean = QV_FOURCC('b', 'o', 'o', 'l'),
    typeChar = QV_FOURCC('T', 'E', 'X', 'T'),
    typeVoidPtr = QV_FOURCC('v', 'o', 'i', 'd')
};

/* Attributes of a command. */
enum { kHICommandFromMenu = 1, kHICommandFromControl = 2, kHICommandFromWindow = 4 };

/* Standard commands. */
enum {
    kHICommandOK = QV_FOURCC('o', 'k', ' ', ' '),
    kHICommandCancel = QV_FOURCC('n', 'o', 't', '!')
};

/* Keyboard modifier bits of GetCurrentKeyModifiers and kEventParamKeyModifiers. */
enum {
    cmdKey = 1 << 8,
    shiftKey = 1 << 9,
    alphaLock = 1 << 10,
    optionKey = 1 << 11,
    controlKey = 1 << 12
};

/* Statuses of this unit. */
enum {
    eventAlreadyPostedErr = -9860,
    eventTargetBusyErr = -9861,
    eventClassInvalidErr = -9862,
    eventClassIncorrectErr = -9864,
    eventHandlerAlreadyInstalledErr = -9866,
    eventInternalErr = -9868,
    eventKindIncorrectErr = -9869,
    eventParameterTypeErr = -9875, /* the parameter exists with another type */
    eventLoopQuitErr = -9876,
    errInvalidWindowRef = -5600,
    errWindowNotModal = -5609 /* QuitAppModalLoopForWindow on a window in no loop */
};

QV_API EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine);
QV_API void DisposeEventHandlerUPP(EventHandlerUPP userUPP);

/* Events. */
QV_API OSStatus CreateEvent(CFAllocatorRef allocator, UInt32 inClassID, UInt32 inKind, EventTime inWhen,
                            EventAttributes inAttributes, EventRef *outEvent);
QV_API EventRef RetainEvent(EventRef inEvent);
QV_API void ReleaseEvent(EventRef inEvent);
QV_API UInt32 GetEventClass(EventRef inEvent);
QV_API UInt32 GetEventKind(EventRef inEvent);

/* Stores a copy of inSize bytes under inName, replacing an earlier value. */
QV_API OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                                  const void *inDataPtr);
/* Copies the parameter into outData, at most inBufferSize bytes; outActualSize
   (when given) receives the parameter's whole size. inDesiredType must be the
   stored type or typeWildCard: eventParameterNotFoundErr when the parameter is
   missing, eventParameterTypeErr when it has another type. */
QV_API OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                                  EventParamType *outActualType, ByteCount inBufferSize, ByteCount *outActualSize,
                                  void *outData);

/* Targets. */
QV_API EventTargetRef GetApplicationEventTarget(void);
QV_API EventTargetRef GetWindowEventTarget(WindowRef inWindow);
QV_API EventTargetRef GetControlEventTarget(ControlRef inControl);
QV_API EventTargetRef GetMenuEventTarget(MenuRef inMenu);

/* Handlers. outRef may be NULL. A handler may be removed from inside
   itself or from inside another handler of the same chain. */
QV_API OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                                    const EventTypeSpec *inList, void *inUserData, EventHandlerRef *outRef);
QV_API OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef);
/* From inside a handler: runs the rest of the chain (later handlers, then the
   standard handling) and answers its status. */
QV_API OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent);
/* Runs the target's chain; eventNotHandledErr when nothing handled it. */
QV_API OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget);

/* Sends a command-process event to the user focus: the window of the
   innermost modal loop, else the front window, else the application. */
QV_API OSStatus ProcessHICommand(const HICommand *inCommand);

/* Runs an application-modal loop for a window until QuitAppModalLoopForWindow
   is called for it (from a handler, an action procedure, ...). Loops nest. */
QV_API OSStatus RunAppModalLoopForWindow(WindowRef inWindow);
QV_API OSStatus QuitAppModalLoopForWindow(WindowRef inWindow);

/* The modifier keys held now (bits above). */
QV_API UInt32 GetCurrentKeyModifiers(void);

QV_EXTERN_C_END

#endif /* QUELVANE_CARBONEVENTS_H */
