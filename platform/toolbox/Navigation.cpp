// Navigation.cpp: descriptor lists and the open and save dialogs over the
// front end's file chooser. Chosen paths become FSSpec records through
// the File Manager stand-in.
#include "toolbox/Navigation.h"
#include "resources/Files.h"
#include "toolbox/ToolboxInternal.h"

#include <cstring>
#include <sys/stat.h>
#include <unordered_set>

struct OpaqueAEDataStorage {
    struct Item {
        DescType type;
        std::vector<UInt8> data;
    };
    bool isList = false;
    std::vector<Item> items; // a plain descriptor holds one item
};

namespace {

std::unordered_set<AEDataStorage> gStorages;

AEDataStorage Storage(const AEDesc *d)
{
    if (!d || !d->dataHandle || !gStorages.count(d->dataHandle))
        return nullptr;
    return d->dataHandle;
}

std::string FromPascal(const unsigned char *s)
{
    return std::string(reinterpret_cast<const char *>(s + 1), s[0]);
}

OSErr FillReply(NavReplyRecord *reply, const std::vector<std::string> &paths, bool save)
{
    AEDescList list;
    OSErr err = AECreateList(nullptr, 0, false, &list);
    if (err != noErr)
        return err;
    bool replacing = false;
    for (const std::string &path : paths) {
        FSSpec fss{};
        const OSErr made = QVFSSpecFromPath(path.c_str(), &fss);
        if (made != noErr && !(save && made == fnfErr))
            continue; // only files that an FSSpec can name
        AEPutPtr(&list, 0, typeFSS, &fss, sizeof fss);
        struct stat st;
        if (save && stat(path.c_str(), &st) == 0)
            replacing = true;
    }
    long count = 0;
    AECountItems(&list, &count);
    reply->validRecord = count > 0;
    reply->replacing = replacing;
    reply->isStationery = false;
    reply->translationNeeded = false;
    reply->selection = list;
    return noErr;
}

bool CheckReply(NavReplyRecord *reply)
{
    if (!reply || reply->version != kNavReplyRecordVersion)
        return false;
    const UInt16 version = reply->version;
    std::memset(reply, 0, sizeof *reply);
    reply->version = version;
    AEInitializeDesc(&reply->selection);
    return true;
}

} // namespace

extern "C" {

QV_API void AEInitializeDesc(AEDesc *desc)
{
    if (desc) {
        desc->descriptorType = typeNull;
        desc->dataHandle = nullptr;
    }
}

QV_API OSErr AECreateDesc(DescType typeCode, const void *dataPtr, Size dataSize, AEDesc *result)
{
    if (!result || dataSize < 0 || (dataSize > 0 && !dataPtr))
        return paramErr;
    AEDataStorage s = new OpaqueAEDataStorage;
    s->items.push_back({typeCode, std::vector<UInt8>(static_cast<const UInt8 *>(dataPtr),
                                                     static_cast<const UInt8 *>(dataPtr) + dataSize)});
    gStorages.insert(s);
    result->descriptorType = typeCode;
    result->dataHandle = s;
    return noErr;
}

QV_API OSErr AECreateList(const void *, Size, Boolean isRecord, AEDescList *resultList)
{
    if (!resultList || isRecord)
        return paramErr;
    AEDataStorage s = new OpaqueAEDataStorage;
    s->isList = true;
    gStorages.insert(s);
    resultList->descriptorType = typeAEList;
    resultList->dataHandle = s;
    return noErr;
}

QV_API OSErr AEDisposeDesc(AEDesc *theAEDesc)
{
    if (!theAEDesc)
        return paramErr;
    if (AEDataStorage s = Storage(theAEDesc)) {
        gStorages.erase(s);
        delete s;
    }
    AEInitializeDesc(theAEDesc);
    return noErr;
}

QV_API OSErr AECountItems(const AEDescList *theAEDescList, long *theCount)
{
    if (!theCount)
        return paramErr;
    *theCount = 0;
    AEDataStorage s = Storage(theAEDescList);
    if (!s || !s->isList)
        return errAEWrongDataType;
    *theCount = static_cast<long>(s->items.size());
    return noErr;
}

QV_API OSErr AEPutPtr(AEDescList *theAEDescList, long index, DescType typeCode, const void *dataPtr, Size dataSize)
{
    AEDataStorage s = Storage(theAEDescList);
    if (!s || !s->isList)
        return errAEWrongDataType;
    if (dataSize < 0 || (dataSize > 0 && !dataPtr))
        return paramErr;
    const long count = static_cast<long>(s->items.size());
    if (index < 0 || index > count + 1)
        return errAEIllegalIndex;
    OpaqueAEDataStorage::Item item{typeCode, std::vector<UInt8>(static_cast<const UInt8 *>(dataPtr),
                                                                static_cast<const UInt8 *>(dataPtr) + dataSize)};
    if (index == 0 || index == count + 1)
        s->items.push_back(std::move(item));
    else
        s->items[static_cast<size_t>(index - 1)] = std::move(item);
    return noErr;
}

QV_API OSErr AEGetNthPtr(const AEDescList *theAEDescList, long index, DescType desiredType, AEKeyword *theAEKeyword,
                         DescType *typeCode, void *dataPtr, Size maximumSize, Size *actualSize)
{
    AEDataStorage s = Storage(theAEDescList);
    if (!s || !s->isList)
        return errAEWrongDataType;
    if (index < 1 || index > static_cast<long>(s->items.size()))
        return errAEIllegalIndex;
    const OpaqueAEDataStorage::Item &item = s->items[static_cast<size_t>(index - 1)];
    if (desiredType != typeWildCardDesc && desiredType != item.type)
        return errAECoercionFail;
    if (maximumSize < 0 || (maximumSize > 0 && !dataPtr))
        return paramErr;
    if (theAEKeyword)
        *theAEKeyword = keyDirectObjectDesc;
    if (typeCode)
        *typeCode = item.type;
    if (actualSize)
        *actualSize = static_cast<Size>(item.data.size());
    if (maximumSize > 0 && !item.data.empty())
        std::memcpy(dataPtr, item.data.data(), std::min<size_t>(static_cast<size_t>(maximumSize), item.data.size()));
    return noErr;
}

QV_API OSErr NavGetDefaultDialogOptions(NavDialogOptions *dialogOptions)
{
    if (!dialogOptions)
        return paramErr;
    std::memset(dialogOptions, 0, sizeof *dialogOptions);
    dialogOptions->version = kNavDialogOptionsVersion;
    dialogOptions->dialogOptionFlags =
        kNavDontAddTranslateItems | kNavAllowStationery | kNavAllowPreviews | kNavAllowMultipleFiles;
    dialogOptions->location = Point{-1, -1};
    return noErr;
}

QV_API OSErr NavGetFile(AEDesc *, NavReplyRecord *reply, NavDialogOptions *dialogOptions, NavEventUPP, NavPreviewUPP,
                        NavObjectFilterUPP, NavTypeListHandle, void *)
{
    if (!CheckReply(reply))
        return paramErr;
    qvtb::FileRequest request;
    if (dialogOptions) {
        request.allowMultiple = (dialogOptions->dialogOptionFlags & kNavAllowMultipleFiles) != 0;
        request.title = FromPascal(dialogOptions->windowTitle);
        request.message = FromPascal(dialogOptions->message);
    }
    std::vector<std::string> paths;
    if (!qvtb::CurrentFrontEnd().chooseFiles(request, paths))
        return userCanceledErr;
    if (!request.allowMultiple && paths.size() > 1)
        paths.resize(1);
    return FillReply(reply, paths, false);
}

QV_API OSErr NavPutFile(AEDesc *, NavReplyRecord *reply, NavDialogOptions *dialogOptions, NavEventUPP, OSType,
                        OSType, void *)
{
    if (!CheckReply(reply))
        return paramErr;
    qvtb::FileRequest request;
    request.save = true;
    if (dialogOptions) {
        request.title = FromPascal(dialogOptions->windowTitle);
        request.message = FromPascal(dialogOptions->message);
        request.defaultName = FromPascal(dialogOptions->savedFileName);
    }
    std::vector<std::string> paths;
    if (!qvtb::CurrentFrontEnd().chooseFiles(request, paths))
        return userCanceledErr;
    paths.resize(1);
    return FillReply(reply, paths, true);
}

QV_API OSErr NavDisposeReply(NavReplyRecord *reply)
{
    if (!reply)
        return paramErr;
    AEDisposeDesc(&reply->selection);
    reply->validRecord = false;
    return noErr;
}

} // extern "C"
