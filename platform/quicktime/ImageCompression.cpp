// Graphics importers over the Quartz stand-in's image sources.
#include "quicktime/ImageCompression.h"

#include <sys/stat.h>

#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "corefoundation/CFBase.h"
#include "resources/Files.h"

struct ComponentInstanceRecord {
    CGImageRef image;
};

namespace {

// The open importers: a closed or made-up instance is recognised, never
// dereferenced.
std::mutex gImportersMutex;
std::set<ComponentInstance> gImporters;

ComponentInstanceRecord *Importer(ComponentInstance ci) {
    std::lock_guard<std::mutex> lock(gImportersMutex);
    return gImporters.count(ci) ? ci : nullptr;
}

} // namespace

extern "C" {

OSErr GetGraphicsImporterForFile(const FSSpec *theFile, ComponentInstance *gi) {
    if (!gi) return paramErr;
    *gi = nullptr;
    if (!theFile) return paramErr;
    char path[4096];
    if (QVFSSpecGetPath(theFile, path, sizeof path) != noErr) return fnfErr;
    struct stat st;
    if (stat(path, &st) != 0) return fnfErr;
    CGImageSourceRef source = QVCGImageSourceCreateWithPath(path);
    CGImageRef image = CGImageSourceGetCount(source) > 0 ? CGImageSourceCreateImageAtIndex(source, 0, nullptr)
                                                         : nullptr;
    if (source) CFRelease(source);
    if (!image) return noCodecErr;
    auto *importer = new (std::nothrow) ComponentInstanceRecord{image};
    if (!importer) {
        CGImageRelease(image);
        return memFullErr;
    }
    {
        std::lock_guard<std::mutex> lock(gImportersMutex);
        gImporters.insert(importer);
    }
    *gi = importer;
    return noErr;
}

ComponentResult GraphicsImportGetNaturalBounds(GraphicsImportComponent ci, Rect *naturalBounds) {
    ComponentInstanceRecord *importer = Importer(ci);
    if (!importer) return badComponentInstance;
    if (!naturalBounds) return paramErr;
    *naturalBounds = Rect{0, 0, SInt16(CGImageGetHeight(importer->image)), SInt16(CGImageGetWidth(importer->image))};
    return noErr;
}

ComponentResult GraphicsImportGetAsPicture(GraphicsImportComponent ci, PicHandle *picture) {
    ComponentInstanceRecord *importer = Importer(ci);
    if (!importer) return badComponentInstance;
    if (!picture) return paramErr;
    *picture = nullptr;
    const size_t width = CGImageGetWidth(importer->image);
    const size_t height = CGImageGetHeight(importer->image);
    if (width > size_t(kMaxGWorldWidth32) || height > 32767) return memFullErr;

    // The pixels go into a world, and one copy of that world onto itself is
    // recorded as the picture.
    const Rect frame = {0, 0, SInt16(height), SInt16(width)};
    GWorldPtr world = nullptr;
    if (NewGWorld(&world, 32, &frame, nullptr, nullptr, 0) != noErr || !world) return memFullErr;
    PixMapHandle pm = GetGWorldPixMap(world);
    UInt8 *base = reinterpret_cast<UInt8 *>(GetPixBaseAddr(pm));
    const long rowBytes = GetPixRowBytes(pm);
    const UInt8 *pixels = QVCGImageGetPixels(importer->image);
    const size_t imageRowBytes = CGImageGetBytesPerRow(importer->image);
    for (size_t y = 0; y < height; ++y) std::memcpy(base + y * size_t(rowBytes), pixels + y * imageRowBytes, width * 4);

    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    SetGWorld(world, nullptr);
    const OpenCPicParams header = {frame, 72 << 16, 72 << 16, -2, 0, 0};
    PicHandle pic = OpenCPicture(&header);
    if (pic) {
        const BitMap *bits = GetPortBitMapForCopyBits(world);
        CopyBits(bits, bits, &frame, &frame, srcCopy, nullptr);
        ClosePicture();
    }
    SetGWorld(savedPort, savedDevice);
    DisposeGWorld(world);
    if (!pic) return memFullErr;
    *picture = pic;
    return noErr;
}

ComponentResult GraphicsImportCreateCGImage(GraphicsImportComponent ci, CGImageRef *imageRef, UInt32 flags) {
    ComponentInstanceRecord *importer = Importer(ci);
    if (!importer) return badComponentInstance;
    if (!imageRef || (flags & ~UInt32(kGraphicsImportCreateCGImageUsingCurrentSettings))) return paramErr;
    *imageRef = CGImageCreateCopy(importer->image);
    return *imageRef ? noErr : memFullErr;
}

OSErr CloseComponent(ComponentInstance aComponentInstance) {
    {
        std::lock_guard<std::mutex> lock(gImportersMutex);
        if (!gImporters.erase(aComponentInstance)) return invalidComponentID;
    }
    CGImageRelease(aComponentInstance->image);
    delete aComponentInstance;
    return noErr;
}

} // extern "C"
