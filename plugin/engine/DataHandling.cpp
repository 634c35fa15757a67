// The configuration record's lifecycle.
#include "engine/DataHandling.h"

#include <cstring>
#include <utility>
#include <vector>

#include "common/commonprocs.h"
#include "memory/MacMemory.h"
#include "store/prefsloader.h"

PluginDataRec *gTheConfig = nullptr;
PluginWorkspace gConfigWorkspace = {};

namespace {

// The configuration blocks the plug-in allocated, with the size it asked
// for. Blocks from the host's allocator may come from any allocator (calloc
// included), so they are never asked their size: the plug-in remembers it.
std::vector<std::pair<const void *, UInt32>> gConfigBlocks;

// The noted size of block, 0 when the plug-in knows nothing of it.
UInt32 KnownSize(const void *block) {
    for (const auto &entry : gConfigBlocks)
        if (entry.first == block) return entry.second;
    return 0;
}

} // namespace

void InitPascal() {}

void pGetConfigSize(UInt32 &theSize) { theSize = sizeof(PluginDataRec); }

void InitMyPlugIn(PluginDataRec *theData) {
    Assert(theData, "Unable to allocate new data structure");
    MakeSurePrefsFileExists();
    InitPluginData(theData);
}

void InitPluginData(PluginDataRec *theConfig) {
    Assert(theConfig, "Nil theConfig on InitPluginData");
    ResetConfig(theConfig, true);
    ReadConfig(theConfig); // on failure the defaults stay
    SaveConfig(theConfig); // the store then holds what the plug-in started with
}

void pNewConfig(PluginDataRec *&theData) {
    theData = reinterpret_cast<PluginDataRec *>(NewPtrClear(sizeof(PluginDataRec)));
    Assert(theData, "Unable to allocate new data structure");
    pNoteConfigBlock(theData, sizeof(PluginDataRec));
}

void pDestroyConfig(PluginDataRec *aConfig) {
    if (!aConfig) return;
    pForgetConfigBlock(aConfig);
    DisposePtr(reinterpret_cast<Ptr>(aConfig));
}

void pNoteConfigBlock(const PluginDataRec *block, UInt32 size) {
    if (!block) return;
    pForgetConfigBlock(block); // an address freed and handed out again
    gConfigBlocks.emplace_back(block, size);
}

void pForgetConfigBlock(const PluginDataRec *block) {
    for (auto it = gConfigBlocks.begin(); it != gConfigBlocks.end(); ++it)
        if (it->first == block) {
            gConfigBlocks.erase(it);
            return;
        }
}

void pCopyConfig(PluginDataRec *source, PluginDataRec *dest) {
    // Copying a record onto itself would replace its TheRendered reference by
    // a duplicate and lose the original.
    if (!source || !dest || source == dest) return;
    // Blocks of different sizes, or too small to hold the record, mean the
    // records are not what they claim to be: copying could only overrun one.
    // Only sizes the plug-in noted are compared; a block it knows nothing of
    // is taken for a whole record.
    const UInt32 sourceSize = KnownSize(source);
    const UInt32 destSize = KnownSize(dest);
    const auto tooSmall = [](UInt32 size) { return size != 0 && size < sizeof(PluginDataRec); };
    if ((sourceSize && destSize && sourceSize != destSize) || tooSmall(sourceSize) || tooSmall(destSize))
        Terminate("Non-Matching Blocks", "The Size of Source and Dest do not match");
    std::memcpy(dest, source, sizeof(PluginDataRec));
    if (source->TheRendered) dest->TheRendered = CGImageCreateCopy(source->TheRendered);
    dest->TheOriginalImage = nullptr;
}

void pUncopyConfig(PluginDataRec *theData) {
    Assert(theData, "Nil data in pUncopyConfig");
    if (theData->TheRendered) {
        CGImageRelease(theData->TheRendered);
        theData->TheRendered = nullptr;
    }
}

SInt16 GetMediaFormat(const PluginDataRec *theData) {
    return theData ? theData->MediaType : static_cast<SInt16>(kMediaNTSC);
}

void ResetConfig(PluginDataRec *theConfig, Boolean firstTime) {
    Assert(theConfig, "Nil theConfig on ResetConfig");
    InitRelRect(theConfig->StartRel);
    InitRelRect(theConfig->EndRel);
    for (int n = 0; n < kColorCount; ++n)
        theConfig->Colors[n] = n < 2 ? SetRGBColor(65535, 65535, 65535) : SetRGBColor(0, 0, 0);
    for (SInt16 &slider : theConfig->Sliders) slider = 0;
    theConfig->FrameStartColor = SetRGBColor(65535, 0, 0);
    if (firstTime) {
        theConfig->TheOriginalImage = nullptr;
        theConfig->TheRendered = nullptr;
        theConfig->MediaType = kMediaNTSC;
    }
    theConfig->KeepProps = false;
    theConfig->BlendMode = 1;
    theConfig->Sync = false;
    theConfig->Outside = true;
    theConfig->ClipActive = false;
}

RelRect GetCurrentRel() {
    Assert(gConfigWorkspace.TheConfig, "No configuration in GetCurrentRel");
    return gConfigWorkspace.TheConfig->StartRel;
}

void PutCurrentRel(const RelRect &theRel) {
    Assert(gConfigWorkspace.TheConfig, "No configuration in PutCurrentRel");
    gConfigWorkspace.TheConfig->StartRel = theRel;
}

void InitRelRect(RelRect &theRel) { theRel = SetRelRect(0, 0, 1, 1); }

RelRect SetRelRect(double left, double top, double right, double bottom) {
    RelRect r;
    r.Left = left;
    r.Right = right;
    r.Top = top;
    r.Bottom = bottom;
    return r;
}
