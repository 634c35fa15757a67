// EasyNav.h: the open and save dialogs of the file library (Navigation
// Services), the reading of their selection lists, and choosing a picture
// file to load as a QuickDraw picture. They complete EasyFile.h with the
// same conventions.
//
// Ownership: the dialogs' replies are disposed of here; the chosen FSSpec
// records are copied into the caller's records. LoadPictureFile's
// picture belongs to the caller (KillPicture). Nothing shows an alert:
// cancelling is an ordinary false or nil result.
#ifndef QUELVANE_EASYNAV_H
#define QUELVANE_EASYNAV_H

#include "MacTypes.h"
#include "imaging/EasyFile.h"
#include "quickdraw/QuickDraw.h"
#include "toolbox/Navigation.h"

// The type and creator that stand for any file.
constexpr OSType cAnyFileType = QV_FOURCC('*', '*', '*', '*');

// Runs the open dialog titled InMessage. With InType "****" every file is
// offered, otherwise a type list of InType and InCreator is given. One file
// is chosen whatever InAllowMultiple says. True, and OutFile set, when a
// file was chosen; OutFile is untouched otherwise.
Boolean EasyNavGetFile(ConstStr255Param InMessage, OSType InType, OSType InCreator, Boolean InAllowMultiple,
                       FSSpec &OutFile);

// Runs the save dialog with message InMessage proposing InDefaultName (no
// type pop-up). True with OutSpec, the chosen file, and OutReplacing, whether
// it exists, when the user chose one.
Boolean EasyNavPutFile(ConstStr255Param InMessage, ConstStr255Param InDefaultName, OSType InType, OSType InCreator,
                       FSSpec &OutSpec, Boolean &OutReplacing);

// Copies the FSSpec records of a selection list: Count = the number of
// items read, the first cMaxFilesInList stored. On an error the items read
// so far stay stored and counted and the error is answered.
OSStatus AEDescListToFileList(const AEDescList &InList, FileList &OutFileList);

// Asks for a picture file ("Choose Picture", any file) and reads it as a
// picture; TheName is the file's name, or "Dummy" when nothing was chosen.
// Nil when nothing was chosen or the file holds no picture.
PicHandle LoadPictureFile(Str255 TheName);

#endif // QUELVANE_EASYNAV_H
