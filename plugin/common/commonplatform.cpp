// Platform string objects and file references.
#include "common/commonprocs.h"

#include <cstring>

#include "resources/Files.h"
#include "toolbox/LaunchServices.h"

CFStringRef MakeCFString(ConstStr255Param TheString) {
    if (!TheString) return nullptr;
    return CFStringCreateWithPascalString(kCFAllocatorDefault, TheString, kCFStringEncodingMacRoman);
}

void CF2PString(CFStringRef TheCFRef, Str255 TheText) {
    TheText[0] = 0;
    if (!TheCFRef) return;
    if (!CFStringGetPascalString(TheCFRef, TheText, 256, kCFStringEncodingMacRoman)) TheText[0] = 0;
}

FSSpec FSRef2FSSpec(const FSRef &TheRef) {
    FSSpec file = {};
    if (FSGetCatalogInfo(&TheRef, kFSCatInfoNone, nullptr, nullptr, &file, nullptr) != noErr) file = FSSpec{};
    return file;
}

void FSSpec2FSRef(const FSSpec &TheFSS, FSRef &TheRef) {
    FSRef made;
    if (FSpMakeFSRef(&TheFSS, &made) == noErr) TheRef = made;
}

CFStringRef FSRef2CFString(const FSRef &TheFSRef) {
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &TheFSRef);
    if (!url) return nullptr;
    CFStringRef text = CFURLGetString(url);
    CFStringRef copy = text ? CFStringCreateCopy(kCFAllocatorDefault, text) : nullptr;
    CFRelease(url);
    return copy;
}

CFStringRef FSSpec2CFString(const FSSpec &TheFSS) {
    FSRef ref;
    std::memset(&ref, 0, sizeof ref); // an unwritten reference names nothing
    FSSpec2FSRef(TheFSS, ref);
    return FSRef2CFString(ref);
}

void FSRef2Str255(const FSRef &TheFSRef, Str255 TheText) {
    TheText[0] = 0;
    CFStringRef text = FSRef2CFString(TheFSRef);
    if (!text) return;
    CF2PString(text, TheText);
    CFRelease(text);
}

void URL2Str255(CFURLRef TheURL, Str255 TheText) {
    TheText[0] = 0;
    if (TheURL) CF2PString(CFURLGetString(TheURL), TheText);
}

CFURLRef PString2URL(ConstStr255Param TheString) {
    CFStringRef text = MakeCFString(TheString);
    if (!text) return nullptr;
    CFURLRef url = CFURLCreateWithString(kCFAllocatorDefault, text, nullptr);
    CFRelease(text);
    return url;
}

void GetNameFromFSRef(const FSRef &TheFSRef, Str255 TheName) {
    const FSSpec file = FSRef2FSSpec(TheFSRef);
    const unsigned length = file.name[0] <= 63 ? file.name[0] : 63;
    TheName[0] = static_cast<unsigned char>(length);
    std::memcpy(TheName + 1, file.name + 1, length);
}

Boolean IsFileAFolder(const FSRef &TheFile) {
    LSItemInfoRecord info;
    std::memset(&info, 0, sizeof info);
    if (LSCopyItemInfoForRef(&TheFile, kLSRequestBasicFlagsOnly, &info) != noErr) return false;
    return (info.flags & kLSItemInfoIsContainer) != 0;
}
