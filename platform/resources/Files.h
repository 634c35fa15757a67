/*
 * Files.h: the File Manager stand-in over the Linux file system. File
 * FSSpec records ( volume, parent directory ID, name) and file
 * references (FSRef) name Linux files; data forks are read and written
 * through file reference numbers.
 *
 * The model:
 * - There is one volume, the Linux root "/", with reference number
 *   kQVVolumeRefNum and the name kQVVolumeName. A vRefNum of 0 means the
 *   default volume, which is the same one.
 * - Every directory and file gets a node ID the first time it is named in
 *   this process, from a registry of absolute paths: the root directory is 2
 *   (fsRtDirID) and its parent 1 (fsRtParID). Directory ID 0 with vRefNum 0
 *   is the default directory (the process's current directory). IDs stay
 *   valid for the life of the process.
 * - FSSpec names are Mac Roman, at most 63 characters. A Linux name (UTF-8)
 *   that is not representable or too long is shortened to a mangled name,
 *   its first characters followed by "#" and the node ID in hexadecimal (and
 *   its extension, when short), which maps back to the full name. A "/" in
 *   an FSSpec name stands for a ":" in the Linux name and the other way
 *   round, since ":" separates partial paths in FSSpec names.
 * - An FSRef names an existing object: 80 bytes holding a tag and its node
 *   ID.
 * - A file has a single fork: the data fork is the file's bytes, and the
 *   Resource Manager reads the same bytes as a resource file.
 * - File type, creator and script code are accepted and not stored: Linux
 *   files have no place for them.
 *
 * Ownership: a file reference number from FSpOpenDF is the caller's to close
 * with FSClose. Paths are zero-terminated UTF-8. All calls are safe from any
 * thread; a reference number must not be used by two threads at once.
 */
#ifndef QUELVANE_FILES_H
#define QUELVANE_FILES_H

#include "MacTypes.h"

QV_EXTERN_C_BEGIN

typedef SInt16 FSVolumeRefNum;
typedef SInt16 ScriptCode;
typedef UInt16 UniChar; /* as in CFString.h */

enum {
    kQVVolumeRefNum = -1, /* the one volume */
    fsRtParID = 1,        /* parent of the root directory */
    fsRtDirID = 2,        /* the root directory */
    smSystemScript = -1
};
#define kQVVolumeName "Linux"

/* Status codes of the File Manager not in MacTypes.h. */
enum {
    dirFulErr = -33,
    nsvErr = -35,
    posErr = -40,
    fLckdErr = -45,
    fBsyErr = -47,
    tmfoErr = -42,
    notAFileErr = -1302,
    errFSBadFSRef = -1401,
    errFSNotAFolder = -1407
};

/* Access permissions. */
enum { fsCurPerm = 0, fsRdPerm = 1, fsWrPerm = 2, fsRdWrPerm = 3 };

/* Positioning modes of SetFPos. */
enum { fsAtMark = 0, fsFromStart = 1, fsFromLEOF = 2, fsFromMark = 3 };

/* FSMakeFSSpec: the object named by (vRefNum, dirID, fileName). fileName may
   be empty (the directory dirID itself), a plain name, a partial path
   ":a:b" (an empty component goes up one level) or a full path starting with
   the volume name. noErr when the object exists; fnfErr when only its parent
   directory exists (the fss is filled and can be used to create it);
   dirNFErr when the parent does not exist; nsvErr for an unknown volume;
   bdNamErr for a name that cannot be a file name. */
QV_API OSErr FSMakeFSSpec(SInt16 vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec *fss);
/* The reference of an existing object; fnfErr when it does not exist. */
QV_API OSErr FSpMakeFSRef(const FSSpec *source, FSRef *newRef);

/* Creates an empty file (dupFNErr when it exists). Type and creator are not
   stored. */
QV_API OSErr FSpCreate(const FSSpec *fss, OSType creator, OSType fileType, ScriptCode scriptTag);
/* Creates a directory and answers its ID. */
QV_API OSErr FSpDirCreate(const FSSpec *fss, ScriptCode scriptTag, SInt32 *createdDirID);
/* Deletes a file or an empty directory. */
QV_API OSErr FSpDelete(const FSSpec *fss);

/* Opens the data fork; the mark starts at 0. fsCurPerm gives read and write
   access when the file allows it, else read-only. */
QV_API OSErr FSpOpenDF(const FSSpec *fss, SInt8 permission, SInt16 *refNum);
/* Reads *count bytes at the mark; at the end of the file answers eofErr with
   *count set to what was read. */
QV_API OSErr FSRead(SInt16 refNum, SInt32 *count, void *buffPtr);
/* Writes *count bytes at the mark; *count answers what was written. */
QV_API OSErr FSWrite(SInt16 refNum, SInt32 *count, const void *buffPtr);
QV_API OSErr FSClose(SInt16 refNum);
QV_API OSErr SetFPos(SInt16 refNum, SInt16 posMode, SInt32 posOff);
QV_API OSErr GetFPos(SInt16 refNum, SInt32 *filePos);
QV_API OSErr GetEOF(SInt16 refNum, SInt32 *logEOF);
QV_API OSErr SetEOF(SInt16 refNum, SInt32 logEOF);

/* Catalog information of an FSRef. */
typedef UInt32 FSCatalogInfoBitmap;
enum {
    kFSCatInfoNone = 0x00000000,
    kFSCatInfoNodeFlags = 0x00000002,
    kFSCatInfoVolume = 0x00000008,
    kFSCatInfoParentDirID = 0x00000010,
    kFSCatInfoNodeID = 0x00000020,
    kFSCatInfoDataSizes = 0x00004000
};
enum { kFSNodeIsDirectoryMask = 0x0010 };

typedef struct FSCatalogInfo {
    UInt16 nodeFlags;
    FSVolumeRefNum volume;
    UInt32 parentDirID;
    UInt32 nodeID;
    UInt64 dataLogicalSize;
} FSCatalogInfo;

/* A name in UTF-16, at most 255 code units. */
typedef struct HFSUniStr255 {
    UInt16 length;
    UniChar unicode[255];
} HFSUniStr255;

/* Fills whatever of catalogInfo (fields chosen by whichInfo), outName,
   fsSpec and parentRef is not NULL for the object ref names. */
QV_API OSErr FSGetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo *catalogInfo,
                              HFSUniStr255 *outName, FSSpec *fsSpec, FSRef *parentRef);
/* noErr when both name the same object, diffRefErr (-1402) otherwise. */
QV_API OSErr FSCompareFSRefs(const FSRef *ref1, const FSRef *ref2);
enum { diffRefErr = -1402 };

/* Catalog parameter block of PBGetCatInfoSync. The two views share their
   header and the positions of the ID fields, as on the platform. */
#define QV_CAT_INFO_HEADER  \
    void *qLink;            \
    SInt16 qType;           \
    SInt16 ioTrap;          \
    Ptr ioCmdAddr;          \
    void *ioCompletion;     \
    OSErr ioResult;         \
    StringPtr ioNamePtr;    \
    SInt16 ioVRefNum;       \
    SInt16 ioFRefNum;       \
    SInt8 ioFVersNum;       \
    SInt8 filler1;          \
    SInt16 ioFDirIndex;     \
    SInt8 ioFlAttrib;       \
    SInt8 ioACUser;

typedef struct HFileInfo {
    QV_CAT_INFO_HEADER
    SInt32 ioDirID;   /* in: directory; out: the file's node ID */
    SInt32 ioFlLgLen; /* out: data fork length */
    SInt32 ioFlParID; /* out: parent directory */
} HFileInfo;

typedef struct DirInfo {
    QV_CAT_INFO_HEADER
    SInt32 ioDrDirID; /* in: directory; out: the directory's ID */
    UInt16 ioDrNmFls; /* out: number of entries */
    UInt16 filler2;
    SInt32 ioDrParID; /* out: parent directory */
} DirInfo;
#undef QV_CAT_INFO_HEADER

typedef union CInfoPBRec {
    HFileInfo hFileInfo;
    DirInfo dirInfo;
} CInfoPBRec;
typedef CInfoPBRec *CInfoPBPtr;

enum { kioFlAttribDirMask = 0x10 };

/* Catalog information, chosen by ioFDirIndex: > 0 the entry of that index
   in directory ioDrDirID (names sorted); 0 the entry named by ioNamePtr in
   that directory; < 0 the directory ioDrDirID itself (ioVRefNum 0 and
   directory 0: the default directory). The object's name (Mac Roman, at
   most 63 characters) is written to ioNamePtr when it is not NULL; for the
   root directory it is the volume name. Answers and sets ioResult. */
QV_API OSErr PBGetCatInfoSync(CInfoPBPtr paramBlock);

/* Conversions between file references and Linux paths (FSPathMakeRef and
   FSRefMakePath are the platform's names). isDirectory may be NULL. */
QV_API OSStatus FSPathMakeRef(const UInt8 *path, FSRef *ref, Boolean *isDirectory);
/* The absolute path, zero-terminated, in maxPathSize bytes; paramErr when
   it does not fit. */
QV_API OSStatus FSRefMakePath(const FSRef *ref, UInt8 *path, UInt32 maxPathSize);

/* Stand-in extensions: an FSSpec for a Linux path (whose object need not
   exist; answers like FSMakeFSSpec) and the Linux path of an FSSpec (the
   object need not exist; its parent must be known). */
QV_API OSErr QVFSSpecFromPath(const char *path, FSSpec *fss);
QV_API OSErr QVFSSpecGetPath(const FSSpec *fss, char *path, UInt32 maxPathSize);

QV_EXTERN_C_END

#endif /* QUELVANE_FILES_H */
