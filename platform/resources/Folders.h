/*
 * Folders.h: the Folder Manager stand-in. Answers where the platform's
 * special folders are on Linux:
 *   kPreferencesFolderType ('pref')         $XDG_CONFIG_HOME, or ~/.config when
 *                                           it is unset, empty or relative
 *   kTemporaryFolderType ('temp')           $TMPDIR, or /tmp
 *   kApplicationSupportFolderType ('asup')  $XDG_DATA_HOME, or ~/.local/share
 * Every volume argument names the one volume (kOnSystemDisk included).
 * Nothing is handed out that needs freeing.
 */
#ifndef QUELVANE_FOLDERS_H
#define QUELVANE_FOLDERS_H

#include "MacTypes.h"
#include "resources/Files.h"

QV_EXTERN_C_BEGIN

enum {
    kOnSystemDisk = -32768,
    kOnAppropriateDisk = -32767,
    kUserDomain = -32763
};

enum { kDontCreateFolder = 0, kCreateFolder = 1 };

enum {
    kPreferencesFolderType = QV_FOURCC('p', 'r', 'e', 'f'),
    kTemporaryFolderType = QV_FOURCC('t', 'e', 'm', 'p'),
    kApplicationSupportFolderType = QV_FOURCC('a', 's', 'u', 'p')
};

/* The folder's volume and directory ID. A missing folder is fnfErr unless
   createFolder asks for it to be made (with its missing parents, mode 0700);
   a path that is not a folder is dirNFErr; an unknown folder type fnfErr. */
QV_API OSErr FindFolder(SInt16 vRefNum, OSType folderType, Boolean createFolder, SInt16 *foundVRefNum,
                        SInt32 *foundDirID);
/* The same as a file reference. */
QV_API OSErr FSFindFolder(SInt16 vRefNum, OSType folderType, Boolean createFolder, FSRef *foundRef);

QV_EXTERN_C_END

#endif /* QUELVANE_FOLDERS_H */
