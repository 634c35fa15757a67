/*
 * CFBundle.h: the CoreFoundation bundle stand-in. A bundle is a folder
 *
 *     Name.plugin/Contents/Info                  key=value lines (see below)
 *     Name.plugin/Contents/Linux/<library>.so    the executable
 *     Name.plugin/Contents/Resources/            resources: <executable name>.rsrc
 *                                                (the resource file), window
 *                                                descriptions, documents
 *
 * Info is UTF-8 text: each line that is neither empty nor starts with "#" is
 * `Key = Value` (blanks around both trimmed). Known keys: CFBundleIdentifier,
 * CFBundleName, CFBundleExecutable (the executable's path relative to
 * Contents/, e.g. Linux/Quelvane.so), CFBundleVersion,
 * CFBundleShortVersionString. Other keys are kept and answered as strings.
 *
 * Which bundles are known: every bundle created with CFBundleCreate; the
 * bundle holding the shared library that calls CFBundleGetBundleWithIdentifier
 * (found with dladdr on the caller's return address), and every other loaded
 * library or the program that lies inside a bundle; and the bundles named in
 * the environment variable QUELVANE_BUNDLE, a ":"-separated list of bundle
 * folders or folders that hold bundles (Name.plugin, Name.bundle, Name.app).
 * Tests set it, because a test program that links the plug-in's code
 * statically is not inside the bundle.
 *
 * Ownership: CFBundleCreate and the Copy calls hand out references the caller
 * releases; CFBundleGetBundleWithIdentifier, CFBundleGetMainBundle,
 * CFBundleGetIdentifier and CFBundleGetValueForInfoDictionaryKey answer
 * objects that belong to the bundle registry or the bundle. Known bundles are
 * never unloaded.
 */
#ifndef QUELVANE_CFBUNDLE_H
#define QUELVANE_CFBUNDLE_H

#include "MacTypes.h"
#include "corefoundation/CFBase.h"
#include "corefoundation/CFString.h"
#include "corefoundation/CFURL.h"
#include "resources/Resources.h"

QV_EXTERN_C_BEGIN

typedef struct __CFBundle *CFBundleRef;

QV_API CFTypeID CFBundleGetTypeID(void);

/* The bundle with that identifier among the known bundles, or NULL. */
QV_API CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
/* The bundle of the running program; when the program lies in no bundle, a
   bundle object for the folder that holds it (without identifier). */
QV_API CFBundleRef CFBundleGetMainBundle(void);
/* The bundle in the folder bundleURL (a file URL); NULL when the folder does
   not exist. Asking twice for one folder gives the same object. */
QV_API CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);

QV_API CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
/* The value of an Info key as a string, or NULL. */
QV_API CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);
QV_API CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
QV_API CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
QV_API CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle);

/* The URL of resource `name.type` in Contents/Resources/[subDirName/] (also
   looked for in the en.lproj, English.lproj and Base.lproj folders there),
   or NULL when no such file exists. resourceType may be NULL or empty when
   resourceName holds the whole file name. */
QV_API CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                        CFStringRef subDirName);

/* Opens the bundle's resource file (Contents/Resources/<executable name
   without extension>.rsrc) read-only and makes it the current resource
   file; -1 when there is none or it cannot be read (ResError says why). */
QV_API ResFileRefNum CFBundleOpenBundleResourceMap(CFBundleRef bundle);
/* Closes a resource file opened by CFBundleOpenBundleResourceMap. */
QV_API void CFBundleCloseBundleResourceMap(CFBundleRef bundle, ResFileRefNum refNum);

QV_EXTERN_C_END

#endif /* QUELVANE_CFBUNDLE_H */
