/*
 * Resources.h: the Resource Manager stand-in. Resource files in the
 * platform's resource-file layout (all values big-endian):
 *
 *   header    16 bytes: data offset, map offset, data length, map length
 *   data      each resource as a 4-byte length and its bytes
 *   map       16-byte header copy, 4-byte next-map handle, 2-byte file
 *             reference, 2-byte attributes, 2-byte offsets (from the map's
 *             start) of the type list and the name list; the type list
 *             (count of types - 1, then per type the type, count of its
 *             resources - 1 and the offset of its reference list from the
 *             start of the type list); 12-byte references (ID, name offset or
 *             -1, attributes, 3-byte data offset, 4 reserved bytes); the name
 *             list of length-prefixed names.
 *
 * Files written here put the data at offset 256, as the platform does. A
 * file is read whole when it is opened, and every offset, length and count
 * is checked against the file's size first: a damaged file is refused with
 * mapReadErr (eofErr when it is empty), never read past its end. Two
 * resources of one type and ID make a file damaged too.
 *
 * Open files form a chain: the most recently opened one is searched first
 * and becomes the current resource file; closing the current file makes the
 * file below it current. GetResource searches from the current file down the
 * chain, Get1Resource the current file only. There is no system file: with
 * no file open, CurResFile answers 0.
 *
 * Writing: UpdateResFile (and CloseResFile, when the map has changed)
 * replaces the file atomically: the new contents go to a temporary file in
 * the same folder, which is flushed to disk and renamed over the old file, so
 * a failed write leaves the previous file as it was.
 *
 * Ownership: a resource handle belongs to its resource file until it is
 * detached (DetachResource) or removed (RemoveResource); then it is the
 * caller's, to free with DisposeHandle. A handle given to AddResource
 * becomes the file's. Closing a file disposes of its resource handles.
 * Resource data are Memory Manager handles. ResError tells the result of the
 * last call on this thread; the chain itself belongs to the host's main
 * thread.
 */
#ifndef QUELVANE_RESOURCES_H
#define QUELVANE_RESOURCES_H

#include "MacTypes.h"
#include "resources/Files.h"

QV_EXTERN_C_BEGIN

typedef SInt16 ResFileRefNum;
typedef SInt16 ResID;
typedef SInt16 ResAttributes;
typedef SInt16 ResFileAttributes;

/* Resource attributes. */
enum {
    resSysHeap = 64,
    resPurgeable = 32,
    resLocked = 16,
    resProtected = 8,
    resPreload = 4,
    resChanged = 2
};

/* Resource map attributes. */
enum { mapReadOnly = 128, mapCompact = 64, mapChanged = 32 };

enum { resAttrErr = -198 };

/* Opens a file's resources, puts the file on top of the chain and makes it
   current; -1 on failure. Opening a file that is already open answers its
   reference number and makes it current. fsRdPerm opens read-only;
   fsCurPerm, fsWrPerm and fsRdWrPerm allow changes (fsCurPerm falls back to
   read-only when the file cannot be written). */
QV_API ResFileRefNum FSpOpenResFile(const FSSpec *fss, SInt8 permission);
/* Creates a file holding an empty resource map. dupFNErr when a file of
   that name exists. Type and creator are not stored. */
QV_API void FSpCreateResFile(const FSSpec *fss, OSType creator, OSType fileType, ScriptCode scriptTag);
/* Writes the file when its map has changed, disposes of its resource
   handles and closes it. */
QV_API void CloseResFile(ResFileRefNum refNum);
/* Writes the file when its map has changed (atomic replacement). */
QV_API void UpdateResFile(ResFileRefNum refNum);
QV_API void UseResFile(ResFileRefNum refNum);
QV_API ResFileRefNum CurResFile(void);
/* The file a resource handle belongs to; -1 when none. */
QV_API ResFileRefNum HomeResFile(Handle theResource);
QV_API ResFileAttributes GetResFileAttrs(ResFileRefNum refNum);
/* Only mapReadOnly, mapCompact and mapChanged are kept. Clearing mapChanged
   makes closing the file discard the changes made since it was written. */
QV_API void SetResFileAttrs(ResFileRefNum refNum, ResFileAttributes attrs);
QV_API OSErr ResError(void);

/* Look-ups answer the same handle until it is released or detached;
   NULL with resNotFound when there is no such resource. */
QV_API Handle Get1Resource(ResType theType, ResID theID);
QV_API Handle GetResource(ResType theType, ResID theID);
QV_API Handle Get1NamedResource(ResType theType, ConstStr255Param name);
QV_API SInt16 Count1Types(void);
QV_API void Get1IndType(ResType *theType, SInt16 index);
QV_API SInt16 Count1Resources(ResType theType);
/* index counts from 1 in the order of the file's reference list. */
QV_API Handle Get1IndResource(ResType theType, SInt16 index);

QV_API void GetResInfo(Handle theResource, ResID *theID, ResType *theType, Str255 name);
/* Changes ID and name (name NULL keeps it); the map changes. */
QV_API void SetResInfo(Handle theResource, ResID theID, ConstStr255Param name);
QV_API ResAttributes GetResAttrs(Handle theResource);
QV_API void SetResAttrs(Handle theResource, ResAttributes attrs);
/* Size of the resource's data (the handle's size when it is loaded). */
QV_API long GetMaxResourceSize(Handle theResource);

/* Adds a handle to the current file as a resource (the handle becomes the
   file's). addResFailed when the handle is a resource already, the file is
   read-only or the type and ID are taken. name may be NULL or empty. */
QV_API void AddResource(Handle theData, ResType theType, ResID theID, ConstStr255Param name);
/* Removes a resource from its file; the handle becomes the caller's. */
QV_API void RemoveResource(Handle theResource);
/* The handle becomes the caller's; the resource stays in the file. */
QV_API void DetachResource(Handle theResource);
/* Frees the handle of an unchanged resource (the next look-up reads it
   again). */
QV_API void ReleaseResource(Handle theResource);
/* Marks the resource changed: the handle's contents are written with the
   file. */
QV_API void ChangedResource(Handle theResource);

/* String list ('STR#', a 2-byte count and that many length-prefixed
   strings): string `index` (from 1) of list strListID, searched from the
   current file down the chain; the empty string when the list, or the
   string, is not there or is damaged. */
QV_API void GetIndString(Str255 theString, SInt16 strListID, SInt16 index);

enum { kQVStringListResType = QV_FOURCC('S', 'T', 'R', '#') };

/* Test support: the next `count` file replacements fail at the given stage
   (the temporary file half written, its flush, or the rename), as a full
   disk or a failing device would; 0 turns the failure off. */
typedef enum QVWriteFailStage { kQVFailOnWrite = 0, kQVFailOnSync = 1, kQVFailOnRename = 2 } QVWriteFailStage;
QV_API void QVResInjectWriteFailures(int count, QVWriteFailStage stage);

QV_EXTERN_C_END

#endif /* QUELVANE_RESOURCES_H */
