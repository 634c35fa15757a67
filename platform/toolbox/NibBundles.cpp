// NibBundles.cpp: the nib and class calls that take string and bundle
// objects: nib files found among a bundle's resources as `<name>.nib`.
#include "corefoundation/CFBundle.h"
#include "toolbox/ToolboxInternal.h"

#include <cstdio>

namespace {

bool Utf8(CFStringRef text, std::string &out)
{
    if (!text)
        return false;
    CFIndex needed = QVCFStringGetUTF8(text, nullptr, 0);
    if (needed < 0)
        return false;
    out.assign(static_cast<size_t>(needed) + 1, '\0');
    QVCFStringGetUTF8(text, out.data(), needed + 1);
    out.resize(static_cast<size_t>(needed));
    return true;
}

OSStatus NibFromBundle(CFBundleRef bundle, CFStringRef inNibName, IBNibRef *outNibRef)
{
    if (!outNibRef)
        return paramErr;
    *outNibRef = nullptr;
    std::string name;
    if (!Utf8(inNibName, name) || name.empty())
        return paramErr;
    if (!bundle) {
        std::fprintf(stderr, "toolbox: no bundle to find nib \"%s\" in\n", name.c_str());
        return kIBCarbonRuntimeCantFindNibFile;
    }
    CFURLRef url = CFBundleCopyResourceURL(bundle, inNibName, CFSTR("nib"), nullptr);
    if (!url) {
        std::fprintf(stderr, "toolbox: the bundle has no nib \"%s\"\n", name.c_str());
        return kIBCarbonRuntimeCantFindNibFile;
    }
    std::string path(4096, '\0');
    Boolean ok = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path.data()),
                                                  static_cast<CFIndex>(path.size()));
    CFRelease(url);
    if (!ok)
        return kIBCarbonRuntimeCantFindNibFile;
    path.resize(std::char_traits<char>::length(path.c_str()));
    char error[512];
    OSStatus status = QVCreateNibReferenceFromFile(path.c_str(), outNibRef, error, sizeof error);
    if (status != noErr)
        std::fprintf(stderr, "toolbox: %s\n", error);
    return status;
}

} // namespace

extern "C" {

QV_API OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef *outNibRef)
{
    return NibFromBundle(inBundle, inNibName, outNibRef);
}

QV_API OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef *outNibRef)
{
    return NibFromBundle(CFBundleGetMainBundle(), inNibName, outNibRef);
}

QV_API OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef *outWindow)
{
    if (outWindow)
        *outWindow = nullptr;
    std::string name;
    if (!Utf8(inName, name))
        return paramErr;
    return QVCreateWindowFromNibNamed(inNibRef, name.c_str(), outWindow);
}

QV_API OSStatus RegisterToolboxObjectClass(CFStringRef inClassID, ToolboxObjectClassRef inBaseClass,
                                           ItemCount inNumEvents, const EventTypeSpec *inEventList,
                                           EventHandlerUPP inEventHandler, void *inEventHandlerData,
                                           ToolboxObjectClassRef *outClassRef)
{
    if (outClassRef)
        *outClassRef = nullptr;
    std::string id;
    if (inBaseClass || !Utf8(inClassID, id))
        return paramErr;
    return QVRegisterToolboxObjectClass(id.c_str(), inNumEvents, inEventList, inEventHandler, inEventHandlerData,
                                        outClassRef);
}

} // extern "C"
