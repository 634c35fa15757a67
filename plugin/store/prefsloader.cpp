// The saved configuration: one ConfigSaveRec, resource "Pref" 1 of the
// resource file "qrvtn-Prefs" in the Preferences folder.
//
// The record is written and read field by field at its published offsets,
// in the byte order of the build; its size is 396 bytes on little-endian
// builds and 394 on big-endian ones, so a record of the other byte order is
// recognised by its size field and refused.
//
// Saving builds the new record first and changes the file only in memory;
// the Resource Manager then replaces the file in one atomic step, so a
// failed save leaves the previous settings on disk. A preferences file that
// cannot be read as a resource file is replaced by the next save.
#include "store/prefsloader.h"

#include <bit>
#include <cstring>

#include "memory/MacMemory.h"
#include "resources/Files.h"
#include "resources/Folders.h"
#include "resources/Resources.h"

namespace {

constexpr ResType cPrefsType = QV_FOURCC('P', 'r', 'e', 'f');
constexpr OSType cPrefsCreator = QV_FOURCC('Q', 'r', 'v', 't');
constexpr ResID cPrefsID = 1;
constexpr const char *cPrefName = "-Prefs";
constexpr const char *cConfigResName = "Config Settings";
constexpr const char *cMiscText = "Config save for Dranwick iMovie plug-in";

// The record's size in this build: 396 on x86 (little-endian), 394 on
// PowerPC (big-endian).
constexpr Size cConfigSaveSize = std::endian::native == std::endian::little ? 396 : 394;

// Offsets of the fields of ConfigSaveRec.
constexpr size_t kOffSizeInBytes = 0;
constexpr size_t kOffVersion = 4;
constexpr size_t kOffStartRel = 8;
constexpr size_t kOffEndRel = 40;
constexpr size_t kOffColors = 72;
constexpr size_t kOffSliders = 108;
constexpr size_t kOffFrameStartColor = 120;
constexpr size_t kOffFrameEndColor = 126;
constexpr size_t kOffMediaType = 132;
constexpr size_t kOffKeepProps = 134;
constexpr size_t kOffBlendMode = 136;
constexpr size_t kOffMiscString = 138;
constexpr size_t kMiscStringSize = 256;
static_assert(kOffMiscString + kMiscStringSize == 394, "the fields end at 394");

// Native-order stores and loads at a byte offset.
template <typename T> void Put(Ptr rec, size_t offset, T value) { std::memcpy(rec + offset, &value, sizeof value); }

template <typename T> T Get(const char *rec, size_t offset) {
    T value;
    std::memcpy(&value, rec + offset, sizeof value);
    return value;
}

void PutRelRect(Ptr rec, size_t offset, const RelRect &r) {
    Put(rec, offset, r.Left);
    Put(rec, offset + 8, r.Right);
    Put(rec, offset + 16, r.Top);
    Put(rec, offset + 24, r.Bottom);
}

RelRect GetRelRect(const char *rec, size_t offset) {
    RelRect r;
    r.Left = Get<double>(rec, offset);
    r.Right = Get<double>(rec, offset + 8);
    r.Top = Get<double>(rec, offset + 16);
    r.Bottom = Get<double>(rec, offset + 24);
    return r;
}

void PutColor(Ptr rec, size_t offset, const RGBColor &c) {
    Put(rec, offset, c.red);
    Put(rec, offset + 2, c.green);
    Put(rec, offset + 4, c.blue);
}

RGBColor GetColor(const char *rec, size_t offset) {
    RGBColor c;
    c.red = Get<UInt16>(rec, offset);
    c.green = Get<UInt16>(rec, offset + 2);
    c.blue = Get<UInt16>(rec, offset + 4);
    return c;
}

void MakePascal(Str255 out, const char *text) {
    size_t n = std::strlen(text);
    if (n > 255) n = 255;
    out[0] = static_cast<unsigned char>(n);
    std::memcpy(out + 1, text, n);
}

// The FSSpec of the preferences file; false when the Preferences
// folder is missing (and not to be created) or the file does not exist.
Boolean GetPrefsSpec(FSSpec &fss, OSErr &fileErr, Boolean createFolder = kDontCreateFolder) {
    SInt16 vRefNum = 0;
    SInt32 dirID = 0;
    if (FindFolder(kOnSystemDisk, kPreferencesFolderType, createFolder, &vRefNum, &dirID) != noErr)
        return false;
    char name[64];
    std::strcpy(name, cProductCode);
    std::strcat(name, cPrefName);
    Str255 fileName;
    MakePascal(fileName, name);
    fileErr = FSMakeFSSpec(vRefNum, dirID, fileName, &fss);
    return fileErr == noErr || fileErr == fnfErr;
}

// Makes refNum current again when it is still open.
void RestoreResFile(ResFileRefNum saved, ResFileRefNum closed) {
    if (saved != 0 && saved != closed) UseResFile(saved);
}

// Opens the preferences file for writing, replacing it with an empty
// resource file when what is there is not one. -1 on failure.
ResFileRefNum OpenPrefsForWriting(const FSSpec &fss) {
    ResFileRefNum ref = FSpOpenResFile(&fss, fsRdWrPerm);
    if (ref != -1) return ref;
    OSErr err = ResError();
    if (err != mapReadErr && err != eofErr) return -1;
    // Damaged or empty: nothing in it can be read, so start it afresh.
    if (FSpDelete(&fss) != noErr) return -1;
    FSpCreateResFile(&fss, cPrefsCreator, cPrefsType, smSystemScript);
    if (ResError() != noErr) return -1;
    return FSpOpenResFile(&fss, fsRdWrPerm);
}

} // namespace

Boolean Config2Save(PluginDataRec *theConfig, Handle theSave) {
    if (!theConfig || !theSave || !*theSave) return false;
    if (GetHandleSize(theSave) < cConfigSaveSize) return false;
    Ptr rec = *theSave;
    std::memset(rec, 0, static_cast<size_t>(cConfigSaveSize));
    Put(rec, kOffSizeInBytes, static_cast<UInt32>(cConfigSaveSize));
    Put(rec, kOffVersion, cConfigSaveVersion);
    PutRelRect(rec, kOffStartRel, theConfig->StartRel);
    PutRelRect(rec, kOffEndRel, theConfig->EndRel);
    for (int n = 0; n < kColorCount; ++n) PutColor(rec, kOffColors + 6 * n, theConfig->Colors[n]);
    for (int n = 0; n < kSliderCount; ++n) Put(rec, kOffSliders + 2 * n, theConfig->Sliders[n]);
    PutColor(rec, kOffFrameStartColor, theConfig->FrameStartColor);
    PutColor(rec, kOffFrameEndColor, theConfig->FrameEndColor);
    Put(rec, kOffMediaType, theConfig->MediaType);
    Put(rec, kOffKeepProps, static_cast<UInt8>(theConfig->KeepProps ? 1 : 0));
    Put(rec, kOffBlendMode, theConfig->BlendMode);
    MakePascal(reinterpret_cast<unsigned char *>(rec + kOffMiscString), cMiscText);
    return true;
}

Boolean Save2Config(PluginDataRec *theConfig, Handle theSave) {
    if (!theConfig || !theSave || !*theSave) return false;
    if (GetHandleSize(theSave) < cConfigSaveSize) return false;
    const char *rec = *theSave;
    if (Get<UInt32>(rec, kOffSizeInBytes) != static_cast<UInt32>(cConfigSaveSize)) return false;
    if (Get<UInt32>(rec, kOffVersion) != cConfigSaveVersion) return false;
    theConfig->StartRel = GetRelRect(rec, kOffStartRel);
    theConfig->EndRel = GetRelRect(rec, kOffEndRel);
    for (int n = 0; n < kColorCount; ++n) theConfig->Colors[n] = GetColor(rec, kOffColors + 6 * n);
    for (int n = 0; n < kSliderCount; ++n) theConfig->Sliders[n] = Get<SInt16>(rec, kOffSliders + 2 * n);
    theConfig->FrameStartColor = GetColor(rec, kOffFrameStartColor);
    theConfig->FrameEndColor = GetColor(rec, kOffFrameEndColor);
    theConfig->MediaType = Get<SInt16>(rec, kOffMediaType);
    theConfig->KeepProps = Get<UInt8>(rec, kOffKeepProps) != 0;
    theConfig->BlendMode = Get<SInt16>(rec, kOffBlendMode);
    return true;
}

Boolean MakeSurePrefsFileExists() {
    FSSpec fss;
    OSErr fileErr = noErr;
    // A new account may have no preferences folder yet: it is made, for the
    // user alone (mode 0700).
    if (!GetPrefsSpec(fss, fileErr, kCreateFolder)) return false;
    if (fileErr == noErr) return true;
    FSpCreateResFile(&fss, cPrefsCreator, cPrefsType, smSystemScript);
    return ResError() == noErr || ResError() == dupFNErr;
}

Boolean ReadConfig(PluginDataRec *theConfig) {
    if (!theConfig) return false;
    FSSpec fss;
    OSErr fileErr = noErr;
    if (!GetPrefsSpec(fss, fileErr) || fileErr != noErr) return false;

    ResFileRefNum saved = CurResFile();
    ResFileRefNum ref = FSpOpenResFile(&fss, fsCurPerm);
    if (ref == -1) return false;
    UseResFile(ref);
    Handle theSave = Get1Resource(cPrefsType, cPrefsID);
    if (!theSave) {
        CloseResFile(ref);
        RestoreResFile(saved, ref);
        return false;
    }
    DetachResource(theSave);
    CloseResFile(ref);
    RestoreResFile(saved, ref);

    // A record of another size is not ours, whatever its size field says.
    Boolean result = GetHandleSize(theSave) == cConfigSaveSize && Save2Config(theConfig, theSave);
    DisposeHandle(theSave);
    return result;
}

Boolean SaveConfig(PluginDataRec *theConfig) {
    if (!theConfig) return false;
    FSSpec fss;
    OSErr fileErr = noErr;
    if (!GetPrefsSpec(fss, fileErr) || fileErr != noErr) return false;

    Handle theSave = NewHandleClear(cConfigSaveSize);
    if (!theSave) return false;
    if (!Config2Save(theConfig, theSave)) {
        DisposeHandle(theSave);
        return false;
    }

    ResFileRefNum saved = CurResFile();
    ResFileRefNum ref = OpenPrefsForWriting(fss);
    if (ref == -1) {
        DisposeHandle(theSave);
        return false;
    }
    UseResFile(ref);

    // Replace the old record in memory; the file changes only when it is
    // written out below, in one step.
    if (Handle old = Get1Resource(cPrefsType, cPrefsID)) {
        RemoveResource(old);
        if (ResError() == noErr) DisposeHandle(old);
    }
    OSErr err = ResError() == resNotFound ? OSErr(noErr) : ResError();
    if (err == noErr) {
        Str255 name;
        MakePascal(name, cConfigResName);
        AddResource(theSave, cPrefsType, cPrefsID, name);
        err = ResError();
        if (err != noErr) DisposeHandle(theSave);
    } else {
        DisposeHandle(theSave);
    }
    if (err == noErr) {
        UpdateResFile(ref);
        err = ResError();
    }
    if (err == noErr) {
        ReleaseResource(theSave);
    } else {
        // Closing must not write what the failed save left in memory.
        SetResFileAttrs(ref, static_cast<ResFileAttributes>(GetResFileAttrs(ref) & ~mapChanged));
    }
    CloseResFile(ref);
    RestoreResFile(saved, ref);
    return err == noErr;
}
