// EasyNav.cpp: open and save dialogs, selection lists, choosing a picture.
#include "imaging/EasyNav.h"

#include "common/commonprocs.h"
#include "memory/MacMemory.h"

#include <cstring>

namespace {

// The size of a type list with one file type.
constexpr Size kTypeListSize = 12;

} // namespace

Boolean EasyNavGetFile(ConstStr255Param InMessage, OSType InType, OSType InCreator, Boolean InAllowMultiple,
                       FSSpec &OutFile)
{
    (void)InAllowMultiple; // one file is always chosen
    NavReplyRecord theReply;
    std::memset(&theReply, 0, sizeof theReply);
    theReply.version = kNavReplyRecordVersion;
    NavDialogOptions theOptions;
    NavGetDefaultDialogOptions(&theOptions);
    PStrCopy(theOptions.windowTitle, InMessage);
    theOptions.dialogOptionFlags &= ~static_cast<NavDialogOptionFlags>(kNavAllowMultipleFiles);

    OSErr theErr;
    if (InType == cAnyFileType) {
        theErr = NavGetFile(nullptr, &theReply, &theOptions, nullptr, nullptr, nullptr, nullptr, nullptr);
    } else {
        Handle theList = NewHandleClear(kTypeListSize);
        if (!theList)
            return false;
        NavTypeList *theTypes = reinterpret_cast<NavTypeList *>(*theList);
        theTypes->componentSignature = InCreator;
        theTypes->reserved = 0;
        theTypes->osTypeCount = 1;
        theTypes->osType[0] = InType;
        theErr = NavGetFile(nullptr, &theReply, &theOptions, nullptr, nullptr, nullptr,
                            reinterpret_cast<NavTypeListHandle>(theList), nullptr);
        DisposeHandle(theList);
    }
    if (theErr != noErr)
        return false;

    FileList theFiles;
    std::memset(&theFiles, 0, sizeof theFiles);
    AEDescListToFileList(theReply.selection, theFiles);
    Boolean result = theReply.validRecord;
    if (result && theFiles.Count >= 1)
        OutFile = theFiles.Spec[0];
    else
        result = false;
    NavDisposeReply(&theReply);
    return result;
}

Boolean EasyNavPutFile(ConstStr255Param InMessage, ConstStr255Param InDefaultName, OSType InType, OSType InCreator,
                       FSSpec &OutSpec, Boolean &OutReplacing)
{
    NavReplyRecord theReply;
    std::memset(&theReply, 0, sizeof theReply);
    theReply.version = kNavReplyRecordVersion;
    NavDialogOptions theOptions;
    NavGetDefaultDialogOptions(&theOptions);
    theOptions.dialogOptionFlags |= kNavNoTypePopup;
    PStrCopy(theOptions.message, InMessage);
    PStrCopy(theOptions.savedFileName, InDefaultName);
    if (NavPutFile(nullptr, &theReply, &theOptions, nullptr, InType, InCreator, nullptr) != noErr)
        return false;

    Boolean result = false;
    if (theReply.validRecord) {
        FileList theFiles;
        std::memset(&theFiles, 0, sizeof theFiles);
        AEDescListToFileList(theReply.selection, theFiles);
        if (theFiles.Count >= 1) {
            OutSpec = theFiles.Spec[0];
            OutReplacing = theReply.replacing;
            result = true;
        }
    }
    NavDisposeReply(&theReply);
    return result;
}

OSStatus AEDescListToFileList(const AEDescList &InList, FileList &OutFileList)
{
    OutFileList.Count = 0;
    long theCount = 0;
    OSErr theErr = AECountItems(&InList, &theCount);
    if (theErr != noErr)
        return theErr;
    for (long item = 1; item <= theCount && item <= 32767; ++item) {
        FSSpec theSpec;
        AEKeyword theKeyword = 0;
        DescType theType = 0;
        Size theSize = 0;
        theErr = AEGetNthPtr(&InList, item, typeFSS, &theKeyword, &theType, &theSpec, sizeof theSpec, &theSize);
        if (theErr != noErr)
            return theErr;
        if (item <= cMaxFilesInList)
            OutFileList.Spec[item - 1] = theSpec;
        OutFileList.Count = static_cast<SInt16>(item);
    }
    return noErr;
}

PicHandle LoadPictureFile(Str255 TheName)
{
    CString2PString("Dummy", TheName);
    Str255 thePrompt;
    CString2PString("Choose Picture", thePrompt);
    FSSpec theFile;
    if (!EasyNavGetFile(thePrompt, cAnyFileType, cAnyFileType, false, theFile))
        return nullptr;
    return ReadPictureFromFSS(theFile, TheName);
}
