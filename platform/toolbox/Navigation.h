/*
 * Navigation.h: the open and save dialogs of the toolbox stand-in
 * (Navigation Services) and the Apple-event descriptor lists that carry
 * their selection of files.
 *
 * NavGetFile and NavPutFile run a modal file chooser through the front end
 * (on screen a real file dialog; headless the next answer of the script,
 * else a cancel). The chosen files come back in the reply's selection as a
 * descriptor list of FSSpec records (typeFSS, 70 bytes each).
 *
 * Ownership: a reply filled by a successful NavGetFile or NavPutFile owns its
 * selection until NavDisposeReply. Descriptors made with AECreateList or
 * AECreateDesc belong to the caller (AEDisposeDesc). The type list is the
 * caller's, only read.
 */
#ifndef QUELVANE_NAVIGATION_H
#define QUELVANE_NAVIGATION_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

typedef FourCharCode DescType;
typedef FourCharCode AEKeyword;
typedef struct OpaqueAEDataStorage *AEDataStorage;

typedef struct AEDesc {
    DescType descriptorType;
    AEDataStorage dataHandle;
} AEDesc;
typedef AEDesc AEDescList;
typedef AEDesc AEAddressDesc;

enum {
    typeNull = QV_FOURCC('n', 'u', 'l', 'l'),
    typeAEList = QV_FOURCC('l', 'i', 's', 't'),
    typeFSS = QV_FOURCC('f', 's', 's', ' '),
    typeFSRef = QV_FOURCC('f', 's', 'r', 'f'),
    typeWildCardDesc = QV_FOURCC('*', '*', '*', '*'),
    keyDirectObjectDesc = QV_FOURCC('-', '-', '-', '-')
};

enum {
    errAECoercionFail = -1700,
    errAEDescNotFound = -1701,
    errAEWrongDataType = -1703,
    errAENotAEDesc = -1704,
    errAEBadListItem = -1705,
    errAEIllegalIndex = -1719
};

/* Descriptors. */
QV_API void AEInitializeDesc(AEDesc *desc);
QV_API OSErr AECreateDesc(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *result);
QV_API OSErr AECreateList(const void *factoringPtr, Size factoredSize, Boolean isRecord, AEDescList *resultList);
QV_API OSErr AEDisposeDesc(AEDesc *theAEDesc);
QV_API OSErr AECountItems(const AEDescList *theAEDescList, long *theCount);
/* Appends (index 0 or count + 1) or replaces an item. */
QV_API OSErr AEPutPtr(AEDescList *theAEDescList, long index, DescType typeCode, const void *dataPtr,
                      Size dataSize);
/* Copies item `index` (from 1) as desiredType (its own type or
   typeWildCardDesc) into dataPtr, at most maximumSize bytes; actualSize
   receives its whole size. */
QV_API OSErr AEGetNthPtr(const AEDescList *theAEDescList, long index, DescType desiredType, AEKeyword *theAEKeyword,
                         DescType *typeCode, void *dataPtr, Size maximumSize, Size *actualSize);

/* Navigation Services. */
typedef UInt32 NavDialogOptionFlags;
enum {
    kNavNoTypePopup = 0x00000001,
    kNavDontAutoTranslate = 0x00000002,
    kNavDontAddTranslateItems = 0x00000004,
    kNavAllFilesInPopup = 0x00000010,
    kNavAllowStationery = 0x00000020,
    kNavAllowPreviews = 0x00000040,
    kNavAllowMultipleFiles = 0x00000080,
    kNavAllowInvisibleFiles = 0x00000100,
    kNavDontResolveAliases = 0x00000200,
    kNavSelectDefaultLocation = 0x00000400,
    kNavSelectAllReadableItem = 0x00000800
};
enum { kNavDialogOptionsVersion = 0, kNavReplyRecordVersion = 2 };

typedef struct NavDialogOptions {
    UInt16 version;
    NavDialogOptionFlags dialogOptionFlags;
    Point location;
    Str255 clientName;
    Str255 windowTitle;
    Str255 actionButtonLabel;
    Str255 cancelButtonLabel;
    Str255 savedFileName;
    Str255 message;
    UInt32 preferenceKey;
    Handle popupExtension;
    char reserved[494];
} NavDialogOptions;

typedef struct NavReplyRecord {
    UInt16 version; /* set to kNavReplyRecordVersion (2) before the call */
    Boolean validRecord;
    Boolean replacing; /* save dialog: the chosen file exists */
    Boolean isStationery;
    Boolean translationNeeded;
    AEDescList selection; /* typeFSS items */
    SInt16 keyScript;
    Handle fileTranslation;
    UInt32 reserved1;
    const void *saveFileName; /* save dialog: the chosen name (not used here) */
    Boolean saveFileExtensionHidden;
    UInt8 reserved2;
    char reserved[225];
} NavReplyRecord;

/* The file types an open dialog shows (osTypeCount entries). */
typedef struct NavTypeList {
    OSType componentSignature;
    SInt16 reserved;
    SInt16 osTypeCount;
    OSType osType[1];
} NavTypeList;
typedef NavTypeList *NavTypeListPtr;
typedef NavTypeListPtr *NavTypeListHandle;

typedef void (*NavEventProcPtr)(SInt32 callBackSelector, void *callBackParms, void *callBackUD);
typedef NavEventProcPtr NavEventUPP;
typedef Boolean (*NavPreviewProcPtr)(void *callBackParms, void *callBackUD);
typedef NavPreviewProcPtr NavPreviewUPP;
typedef Boolean (*NavObjectFilterProcPtr)(AEDesc *theItem, void *info, void *callBackUD, SInt16 filterMode);
typedef NavObjectFilterProcPtr NavObjectFilterUPP;

/* The defaults: version 0, flags kNavDontAddTranslateItems |
   kNavAllowStationery | kNavAllowPreviews | kNavAllowMultipleFiles, the
   other texts empty. paramErr for NULL. */
QV_API OSErr NavGetDefaultDialogOptions(NavDialogOptions *dialogOptions);

/* Open dialog. Files here carry no platform file type, so a type list is
   accepted and every file is offered. kNavAllowMultipleFiles allows several
   files; without it only the first chosen file is kept.
   userCanceledErr when the user cancels; paramErr for a NULL reply or a
   reply version other than 2. */
QV_API OSErr NavGetFile(AEDesc *defaultLocation, NavReplyRecord *reply, NavDialogOptions *dialogOptions,
                        NavEventUPP eventProc, NavPreviewUPP previewProc, NavObjectFilterUPP filterProc,
                        NavTypeListHandle typeList, void *callBackUD);
/* Save dialog proposing dialogOptions->savedFileName; replacing is set when
   the chosen file exists. */
QV_API OSErr NavPutFile(AEDesc *defaultLocation, NavReplyRecord *reply, NavDialogOptions *dialogOptions,
                        NavEventUPP eventProc, OSType fileType, OSType fileCreator, void *callBackUD);
QV_API OSErr NavDisposeReply(NavReplyRecord *reply);

QV_EXTERN_C_END

#endif /* QUELVANE_NAVIGATION_H */
