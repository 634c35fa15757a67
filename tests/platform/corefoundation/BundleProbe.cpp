// A library for the bundle tests: placed inside a bundle, it asks for a
// bundle by identifier from there, as the plug-in does.
#include "corefoundation/CoreFoundation.h"

extern "C" __attribute__((visibility("default"))) CFBundleRef ProbeFindBundle(const char *identifier) {
    CFStringRef id = CFStringCreateWithCString(nullptr, identifier, kCFStringEncodingUTF8);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(id);
    CFRelease(id);
    return bundle;
}
