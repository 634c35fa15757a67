// The configuration record's lifecycle.
#include "engine/DataHandling.h"

#include <cstring>

#include "common/commonprocs.h"
#include "memory/MacMemory.h"
#include "store/prefsloader.h"

PluginDataRec *gTheConfig = nullptr;
PluginWorkspace gConfigWorkspace = {};

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
}

void pDestroyConfig(PluginDataRec *aConfig) {
    if (aConfig) DisposePtr(reinterpret_cast<Ptr>(aConfig));
}

void pCopyConfig(PluginDataRec *source, PluginDataRec *dest) {
    // Copying a record onto itself would replace its TheRendered reference by
    // a duplicate and lose the original.
    if (!source || !dest || source == dest) return;
    // Blocks of different sizes, or too small to hold the record, mean the
    // records are not what they claim to be: copying could only overrun one.
    const Size sourceSize = GetPtrSize(reinterpret_cast<Ptr>(source));
    const Size destSize = GetPtrSize(reinterpret_cast<Ptr>(dest));
    if (sourceSize != destSize || sourceSize < static_cast<Size>(sizeof(PluginDataRec)))
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
