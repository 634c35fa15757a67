// Request dispatch behind the exported entry point, and the get-info request.
#include "host/PluginEntry.h"

#include <cstring>
#include <new>

#include "common/commonprocs.h"
#include "corefoundation/CFBundle.h"
#include "dialog/configdlghandler.h"
#include "engine/DataHandling.h"
#include "host/EffectRun.h"
#include "host/FrameDriver.h"
#include "resources/Resources.h"

Boolean gPascalInited = false;
PluginDataRec *gPascalData = nullptr;

namespace {

// String lists of the bundle's resource file.
constexpr SInt16 kSliderLabelsList = 128;
constexpr SInt16 kSliderEndLabelsList = 129;
constexpr SInt16 kButtonTitleList = 130;
constexpr SInt16 kGroupNameList = 17000;

// String `index` of list `listID` of the current resource file into a
// zero-terminated field of fieldSize bytes; empty when there is none.
void CopyIndString(char *field, size_t fieldSize, SInt16 listID, SInt16 index) {
    Str255 text;
    text[0] = 0;
    GetIndString(text, listID, index);
    PString2CString(text, field, fieldSize);
}

HYPluginResult Dispatch(SInt16 which, PluginParams *params) {
    switch (params->selector) {
    case kPlugGetInfo: return EffectGetInfo(which, params);
    case kPlugInitialize: return EffectBegin(which, params);
    case kPlugTerminate: return EffectEnd(which, params);
    case kPlugDoFrame: return EffectDrive(which, params);
    case kPlugFilePlaceHolder: return MakeEffectPlaceHolder(which, params);
    case kPlugCustomButtonClick: return CustomButton(which, params);
    default: return kPluginOK;
    }
}

} // namespace

HYPluginResult EffectGetInfo(SInt16 which, PluginParams *params) {
    HYPluginGetInfo &info = params->getInfo;
    info.pluginType = kPluginFilterType;
    info.framesToBeRendered = 0;
    info.takeFromClipBefore = 0;
    info.takeFromClipAfter = 0;
    info.minSpeedFrames = 0;
    info.maxSpeedFrames = 0;
    info.mustTakeFromSingleClips = false;
    info.pluginFlags |= cGetInfoFlags;
    params->getInfo2.baseMemoryNeeded = cBaseMemoryNeeded;
    SetFilterParamInfos(which, params);
    return kPluginOK;
}

void SetFilterParamInfos(SInt16 which, PluginParams *params) {
    (void)which;
    HY2PluginGetInfo &info2 = params->getInfo2;
    params->getInfo.takeFromClipBefore = 0;
    params->getInfo.takeFromClipAfter = info2.selectedFrames;
    params->getInfo.framesToBeRendered = info2.selectedFrames;
    for (HYPluginFilterSliderInfo &slider : info2.filterSliders) slider.defaultValue = 0.5f;
    params->getInfo.pluginFlags |= cFilterParamFlags;

    // Without the bundle or its resource file the texts stay empty; the
    // description is complete otherwise.
    CFStringRef bundleID = CFStringCreateWithCString(kCFAllocatorDefault, cMyBundleID, kCFStringEncodingUTF8);
    CFBundleRef bundle = bundleID ? CFBundleGetBundleWithIdentifier(bundleID) : nullptr;
    if (bundleID) CFRelease(bundleID);
    const ResFileRefNum resources = bundle ? CFBundleOpenBundleResourceMap(bundle) : -1;
    for (int i = 0; i < kHYFilterSliderCount; ++i) {
        HYPluginFilterSliderInfo &slider = info2.filterSliders[i];
        slider.label[0] = slider.minLabel[0] = slider.maxLabel[0] = 0;
        if (resources == -1) continue;
        CopyIndString(slider.label, sizeof slider.label, kSliderLabelsList, static_cast<SInt16>(i + 1));
        CopyIndString(slider.minLabel, sizeof slider.minLabel, kSliderEndLabelsList, static_cast<SInt16>(2 * i + 1));
        CopyIndString(slider.maxLabel, sizeof slider.maxLabel, kSliderEndLabelsList, static_cast<SInt16>(2 * i + 2));
    }
    char *buttonTitle = params->getInfo3.buttonTitle;
    char *group = info2.group;
    buttonTitle[0] = group[0] = 0;
    if (resources != -1) {
        CopyIndString(buttonTitle, sizeof params->getInfo3.buttonTitle, kButtonTitleList, 1);
        CopyIndString(group, sizeof info2.group, kGroupNameList, 1);
        CFBundleCloseBundleResourceMap(bundle, resources);
    }
}

extern "C" SInt32 PluginEntry(SInt32 which32, PluginParams *params) {
    try {
        if (!params) return kPluginBadParams;
        if (params->interfaceVersion <= kHYOldestRejectedInterfaceVersion) return kPluginAppIsTooOld;
        // Every request allocates or frees through the host.
        if (!params->procs || !params->procs->NewPtrClear || !params->procs->DisposePtr) return kPluginBadParams;
        const SInt16 which = static_cast<SInt16>(which32);

        if (!gPascalInited) {
            InitPascal();
            gPascalInited = true;
        }
        if (!gPascalData) {
            UInt32 size = 0;
            pGetConfigSize(size);
            auto *record = reinterpret_cast<PluginDataRec *>(params->procs->NewPtrClear(static_cast<SInt32>(size)));
            // Out of memory at start-up is reported to the host; the next
            // request tries again.
            if (!record) return kPluginOutOfMemory;
            pNoteConfigBlock(record, size);
            try {
                InitMyPlugIn(record);
            } catch (...) {
                pForgetConfigBlock(record);
                params->procs->DisposePtr(reinterpret_cast<Ptr>(record));
                throw;
            }
            gPascalData = record;
        }
        return Dispatch(which, params);
    } catch (const std::bad_alloc &) {
        return kPluginOutOfMemory;
    } catch (...) {
        return kPluginFailed;
    }
}
