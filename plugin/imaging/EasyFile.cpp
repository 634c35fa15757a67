// Image loading from files and the bundle, and file and launch utilities.
#include "imaging/EasyFile.h"

#include <cstring>
#include <string>

#include "common/commonprocs.h"
#include "corefoundation/CFBundle.h"
#include "imaging/CGglue.h"
#include "imaging/offscreen.h"
#include "quicktime/ImageCompression.h"
#include "resources/Files.h"
#include "toolbox/LaunchServices.h"

namespace {

const RGBColor kWhite = {65535, 65535, 65535};

// FSSpec2FSRef writes nothing when the object does not exist: a reference
// that stays all zero names nothing.
bool MakeRef(const FSSpec &fss, FSRef &ref) {
    std::memset(&ref, 0, sizeof ref);
    FSSpec2FSRef(fss, ref);
    static const FSRef none = {};
    return std::memcmp(&ref, &none, sizeof ref) != 0;
}

CFStringRef MakeString(const char *text) {
    return text ? CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8) : nullptr;
}

// The URL of a resource of the main bundle, or NULL.
CFURLRef CopyBundleResourceURL(const char *name, const char *extension, const char *subDir) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle || !name) return nullptr;
    CFStringRef cfName = MakeString(name);
    CFStringRef cfExtension = MakeString(extension);
    CFStringRef cfSubDir = subDir && *subDir ? MakeString(subDir) : nullptr;
    CFURLRef url = cfName ? CFBundleCopyResourceURL(bundle, cfName, cfExtension, cfSubDir) : nullptr;
    if (cfName) CFRelease(cfName);
    if (cfExtension) CFRelease(cfExtension);
    if (cfSubDir) CFRelease(cfSubDir);
    return url;
}

void SetName(Str255 TheName, ConstStr255Param name) {
    const unsigned length = name[0] <= 63 ? name[0] : 63;
    TheName[0] = UInt8(length);
    std::memcpy(TheName + 1, name + 1, length);
}

// Prefixes "name:" to path; false when the result would not fit.
bool PrefixDirectory(Str255 path, ConstStr255Param name) {
    if (unsigned(name[0]) + 1 + path[0] > 255) return false;
    Str255 joined;
    joined[0] = 0;
    PStrAppend(joined, name);
    PStrAppendC(joined, ":");
    PStrAppend(joined, path);
    PStrCopy(path, joined);
    return true;
}

} // namespace

// ---- Images as Quartz images ----

CGImageRef GetCGImageFromFSSUsingCG(const FSSpec &TheFSS) {
    FSRef ref;
    if (!MakeRef(TheFSS, ref)) return nullptr;
    return GetCGImageFromFSRefUsingCG(ref);
}

CGImageRef GetCGImageFromFSRefUsingCG(const FSRef &TheFSRef) {
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &TheFSRef);
    if (!url) return nullptr;
    CGImageRef image = GetCGImageFromURLUsingCG(url);
    CFRelease(url);
    return image;
}

CGImageRef GetCGImageFromURLUsingCG(CFURLRef TheURL) {
    if (!TheURL) return nullptr;
    CGImageSourceRef source = CGImageSourceCreateWithURL(TheURL, nullptr);
    if (!source) return nullptr;
    CGImageRef image = CGImageSourceGetCount(source) > 0 ? CGImageSourceCreateImageAtIndex(source, 0, nullptr)
                                                         : nullptr;
    CFRelease(source);
    return image;
}

CGImageRef GetCGImageFromBundle(const char *TheName, const char *TheExtension, const char *ThePath) {
    CFURLRef url = CopyBundleResourceURL(TheName, TheExtension, ThePath);
    if (!url) return nullptr;
    FSRef ref;
    CGImageRef image = CFURLGetFSRef(url, &ref) ? GetCGImageFromFSRefUsingCG(ref) : nullptr;
    CFRelease(url);
    return image;
}

CGImageRef GetCGImageFromFSS(const FSSpec &TheFSS) {
    ComponentInstance importer = nullptr;
    if (GetGraphicsImporterForFile(&TheFSS, &importer) != noErr || !importer) return nullptr;
    CGImageRef image = nullptr;
    if (GraphicsImportCreateCGImage(importer, &image, kGraphicsImportCreateCGImageUsingCurrentSettings) != noErr)
        image = nullptr;
    CloseComponent(importer);
    return image;
}

CGImageRef GetCGImageFromURLUsingQT(CFURLRef TheFile) {
    FSRef ref;
    if (!TheFile || !CFURLGetFSRef(TheFile, &ref)) return nullptr;
    return GetCGImageFromFSS(FSRef2FSSpec(ref));
}

// ---- Images as pictures ----

PicHandle ReadPictureFromFSS(const FSSpec &TheFSS, Str255 TheName) {
    SetName(TheName, TheFSS.name);
    ComponentInstance importer = nullptr;
    if (GetGraphicsImporterForFile(&TheFSS, &importer) != noErr || !importer) return nullptr;
    PicHandle picture = nullptr;
    if (GraphicsImportGetAsPicture(importer, &picture) != noErr) picture = nullptr;
    CloseComponent(importer);
    if (picture) {
        Rect frame;
        QDGetPictureBounds(picture, &frame);
        if (EmptyRect(&frame)) {
            KillPicture(picture);
            picture = nullptr;
        }
    }
    return picture;
}

PicHandle ReadPictureFromFSRefUsingQT(const FSRef &TheFSRef, Str255 TheName) {
    return ReadPictureFromFSS(FSRef2FSSpec(TheFSRef), TheName);
}

PicHandle ReadPictureFromFSRef(const FSRef &TheFSRef, Str255 TheName) {
    return ReadPictureFromFSS(FSRef2FSSpec(TheFSRef), TheName);
}

PicHandle LoadPictureFromBundle(const char *TheName, const char *TheType) {
    CFURLRef url = CopyBundleResourceURL(TheName, TheType, nullptr);
    if (!url) return nullptr;
    FSRef ref;
    Str255 name;
    PicHandle picture = CFURLGetFSRef(url, &ref) ? ReadPictureFromFSRef(ref, name) : nullptr;
    CFRelease(url);
    return picture;
}

PicHandle GetPictFromURLUsingCG(CFURLRef TheURL) {
    CGImageRef image = GetCGImageFromURLUsingCG(TheURL);
    if (!image) return nullptr;
    SInt32 wid, hig;
    GetImageDims(image, wid, hig);
    const Rect frame = {0, 0, SInt16(hig > INT16_MAX ? INT16_MAX : hig), SInt16(wid > INT16_MAX ? INT16_MAX : wid)};
    GrafPtr buffer = AllocateRectGWorld(frame);
    if (!buffer) {
        CGImageRelease(image);
        return nullptr;
    }
    ClearGW(buffer, kWhite);
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(buffer, nullptr);
    DrawCGImageInQDRect(buffer, image, frame, 0, true);

    PixMapHandle pm = GetGWorldPixMap(buffer);
    const OpenCPicParams header = {frame, (*pm)->hRes, (*pm)->vRes, -2, 0, 0};
    PicHandle picture = OpenCPicture(&header);
    if (picture) {
        const BitMap *bits = CarbonGetPortBitMapForCopyBits(buffer);
        CopyBits(bits, bits, &frame, &frame, srcCopy, nullptr);
        ClosePicture();
    }
    SetGWorld(savedPort, savedDevice);
    CGImageRelease(image);
    DisposeGWorld(buffer);
    return picture;
}

GrafPtr GetScaledGWImageFromFSRef(const FSRef &TheFSRef, SInt16 WidScale, SInt16 HigScale) {
    if (WidScale < 1 || HigScale < 1) return nullptr;
    Str255 name;
    PicHandle picture = ReadPictureFromFSRef(TheFSRef, name);
    if (!picture) return nullptr;
    Rect frame;
    QDGetPictureBounds(picture, &frame);
    OffsetRect(&frame, SInt16(-frame.left), SInt16(-frame.top));
    const SInt16 wid = SInt16(frame.right / WidScale);
    const SInt16 hig = SInt16(frame.bottom / HigScale);
    // A picture smaller than one scale step has nothing left to show.
    if (wid < 1 || hig < 1) {
        KillPicture(picture);
        return nullptr;
    }
    GrafPtr buffer = AllocateGWorld(wid, hig);
    Assert(buffer, "Cannot allocate new GWorld in GetScaledGWImageFromFSRef");
    ClearGW(buffer, kWhite);
    // The whole picture, reduced into the whole buffer.
    DrawPictureInGW(buffer, picture, GetPortRect(buffer));
    KillPicture(picture);
    return buffer;
}

// ---- Files ----

void PSPPascalOpenFile(SInt16 &TheFileRefNum, const FSSpec &Spec) {
    TheFileRefNum = 0;
    if (FSpOpenDF(&Spec, fsRdWrPerm, &TheFileRefNum) != noErr) {
        TheFileRefNum = 0;
        return;
    }
    SetFPos(TheFileRefNum, fsFromStart, 0);
}

void PSPRewrite(SInt16 &TheFileRefNum, const FSSpec &Spec, OSType FileType, OSType FileCreator) {
    FSpDelete(&Spec);
    FSpCreate(&Spec, FileCreator, FileType, smSystemScript);
    TheFileRefNum = 0;
    if (FSpOpenDF(&Spec, fsRdWrPerm, &TheFileRefNum) != noErr) TheFileRefNum = 0;
}

void FileWrite(SInt16 TheFile, ConstStr255Param TheText) {
    if (!TheText || TheText[0] == 0) return;
    SInt32 count = TheText[0];
    FSWrite(TheFile, &count, TheText + 1);
}

void FileWriteLn(SInt16 TheFile, ConstStr255Param TheText) {
    Str255 line;
    PStrCopy(line, TheText);
    if (line[0] == 255)
        line[255] = 13;
    else
        line[++line[0]] = 13;
    FileWrite(TheFile, line);
}

void GetAppDirName(Str255 TheName) {
    TheName[0] = 0;
    Str255 name = {0};
    CInfoPBRec pb;
    std::memset(&pb, 0, sizeof pb);
    pb.dirInfo.ioNamePtr = name;
    pb.dirInfo.ioVRefNum = 0;
    pb.dirInfo.ioFDirIndex = -1;
    pb.dirInfo.ioDrDirID = 0;
    if (PBGetCatInfoSync(&pb) != noErr) return;
    PStrCopy(TheName, name);
    PStrAppendC(TheName, ":");
}

void GetFullPath(SInt32 DirID, SInt16 VRefNum, Str255 ThePath) {
    ThePath[0] = 0;
    Str255 path = {0};
    SInt32 dir = DirID;
    // A directory chain is never deeper than this; a longer one is a loop.
    for (int depth = 0; depth < 4096; ++depth) {
        Str255 name = {0};
        CInfoPBRec pb;
        std::memset(&pb, 0, sizeof pb);
        pb.dirInfo.ioNamePtr = name;
        pb.dirInfo.ioVRefNum = VRefNum;
        pb.dirInfo.ioFDirIndex = -1;
        pb.dirInfo.ioDrDirID = dir;
        if (PBGetCatInfoSync(&pb) != noErr) return;
        if (!PrefixDirectory(path, name)) return;
        if (pb.dirInfo.ioDrDirID == fsRtDirID) {
            PStrCopy(ThePath, path);
            return;
        }
        dir = pb.dirInfo.ioDrParID;
    }
}

// ---- Launching ----

void LaunchFileFromBundle(const char *TheName, const char *TheExtension, const char *ThePath) {
    CFURLRef url = CopyBundleResourceURL(TheName, TheExtension, ThePath);
    if (!url) return;
    LSOpenCFURLRef(url, nullptr);
    CFRelease(url);
}

OSStatus OpenDocumentInSpecificApp(const FSRef &TheDocument, const FSRef *TheApp) {
    if (TheApp) {
        const LSLaunchFSRefSpec launch = {TheApp, 1, &TheDocument, nullptr, kLSLaunchDefaults, nullptr};
        return LSOpenFromRefSpec(&launch, nullptr);
    }
    return LSOpenFSRef(&TheDocument, nullptr);
}

Boolean FileConformsTo(const FSRef &TheFile, ConstStr255Param TheUTI) {
    LSItemInfoRecord info;
    if (LSCopyItemInfoForRef(&TheFile, kLSRequestExtension | kLSRequestTypeCreator, &info) != noErr) return false;
    CFStringRef uti = nullptr;
    if (info.extension) {
        uti = UTTypeCreatePreferredIdentifierForTag(kUTTagClassFilenameExtension, info.extension, nullptr);
        CFRelease(info.extension);
    } else {
        CFStringRef fileType = UTCreateStringForOSType(info.filetype);
        if (fileType) {
            uti = UTTypeCreatePreferredIdentifierForTag(kUTTagClassOSType, fileType, nullptr);
            CFRelease(fileType);
        }
    }
    if (!uti) return false;
    CFStringRef wanted = MakeCFString(TheUTI);
    const Boolean conforms = wanted ? UTTypeConformsTo(uti, wanted) : false;
    if (wanted) CFRelease(wanted);
    CFRelease(uti);
    return conforms;
}
