/*
 * LaunchServices.h: the Launch Services stand-in. Opens documents in the
 * desktop's default application (xdg-open) or in a named application,
 * answers what kind of item a file is (plain file, folder, package,
 * application, symbolic link, invisible; its extension; a four-character
 * file type recognised from the file's first bytes, since Linux files carry
 * none), and maps file name extensions and file types to uniform type
 * identifiers and their conformance.
 *
 * Ownership: strings handed out (LSItemInfoRecord.extension when requested,
 * UTTypeCreatePreferredIdentifierForTag, UTTypeCopyPreferredTagWithClass,
 * UTCreateStringForOSType) belong to the caller, who releases them with
 * CFRelease. The tag-class names are constant strings.
 *
 * Launching: the application runs as a separate process that this layer
 * does not wait for (it is reaped in the background); noErr means that it
 * was started. A launch hook (QVLSSetLaunchHook) or the environment variable
 * QUELVANE_LAUNCH_LOG (the path of a file that gets one line
 * "application<TAB>document" per launch, the application empty for the
 * desktop's default) replaces the launch for tests and batch runs: nothing
 * is started then.
 *
 * Threads: callable from any thread; the hook is process-wide.
 */
#ifndef QUELVANE_LAUNCHSERVICES_H
#define QUELVANE_LAUNCHSERVICES_H

#include "MacTypes.h"
#include "corefoundation/CFString.h"
#include "corefoundation/CFURL.h"

QV_EXTERN_C_BEGIN

typedef UInt32 ItemCount;
typedef UInt32 LSLaunchFlags;
typedef UInt32 LSRequestedInfo;
typedef UInt32 LSItemInfoFlags;

/* Status codes of Launch Services. */
enum {
    kLSUnknownErr = -10810,
    kLSNotAnApplicationErr = -10811,
    kLSDataUnavailableErr = -10813,
    kLSApplicationNotFoundErr = -10814,
    kLSLaunchInProgressErr = -10818,
    kLSNoExecutableErr = -10827
};

/* Launch flags (only the defaults matter here; the others are accepted). */
enum {
    kLSLaunchDefaults = 0x00000001,
    kLSLaunchAndPrint = 0x00000002,
    kLSLaunchAndDisplayErrors = 0x00000040,
    kLSLaunchDontAddToRecents = 0x00000100,
    kLSLaunchDontSwitch = 0x00000200,
    kLSLaunchAsync = 0x00010000,
    kLSLaunchNewInstance = 0x00080000,
    kLSLaunchAndHide = 0x00100000
};

/* What LSCopyItemInfoForRef is asked for. */
enum {
    kLSRequestExtension = 0x00000001,
    kLSRequestTypeCreator = 0x00000002,
    kLSRequestBasicFlagsOnly = 0x00000004,
    kLSRequestAppTypeFlags = 0x00000008,
    kLSRequestAllFlags = 0x00000010,
    kLSRequestIconAndKind = 0x00000020,
    kLSRequestExtensionFlagsOnly = 0x00000040,
    kLSRequestAllInfo = 0xFFFFFFFF
};

/* Item flags. */
enum {
    kLSItemInfoIsPlainFile = 0x00000001,
    kLSItemInfoIsPackage = 0x00000002,
    kLSItemInfoIsApplication = 0x00000004,
    kLSItemInfoIsContainer = 0x00000008,
    kLSItemInfoIsAliasFile = 0x00000010,
    kLSItemInfoIsSymlink = 0x00000020,
    kLSItemInfoIsInvisible = 0x00000040,
    kLSItemInfoIsNativeApp = 0x00000080,
    kLSItemInfoIsVolume = 0x00001000,
    kLSItemInfoExtensionIsHidden = 0x00100000
};

/* The unknown file type and creator. */
enum { kLSUnknownType = 0, kLSUnknownCreator = 0 };

typedef struct LSItemInfoRecord {
    LSItemInfoFlags flags;
    OSType filetype;     /* kLSUnknownType when none is recognised */
    OSType creator;      /* always kLSUnknownCreator: Linux files have none */
    CFStringRef extension; /* the name's extension without the dot, or NULL */
} LSItemInfoRecord;

/* Apple-event descriptors (declared with the toolbox's Apple events). */
struct AEDesc;

typedef struct LSLaunchFSRefSpec {
    const FSRef *appRef;          /* the application, or NULL for each document's default */
    ItemCount numDocs;
    const FSRef *itemRefs;        /* numDocs documents */
    const struct AEDesc *passThruParams; /* accepted, not used */
    LSLaunchFlags launchFlags;
    void *asyncRefCon;
} LSLaunchFSRefSpec;

/* Opens the document (or, for an application, launches it) in its default
   application. paramErr for an invalid reference; kLSApplicationNotFoundErr
   when no launcher can be started. outLaunchedRef (may be NULL) is left as
   it is: which program the desktop picks is not known here. */
QV_API OSStatus LSOpenFSRef(const FSRef *inRef, FSRef *outLaunchedRef);
/* The same for a file URL (paramErr for another scheme). */
QV_API OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef *outLaunchedURL);
/* Opens the documents in the application appRef (an executable file, run
   with the documents' paths as arguments; kLSNotAnApplicationErr for
   anything else), or each in its default application when appRef is NULL;
   with no documents the application is launched alone. *outLaunchedRef (may
   be NULL) becomes appRef when one was given. */
QV_API OSStatus LSOpenFromRefSpec(const LSLaunchFSRefSpec *inLaunchSpec, FSRef *outLaunchedRef);

/* What kind of item inItemRef names; fills the parts of *outItemInfo that
   inWhichInfo asks for and zeroes the rest. paramErr for an invalid
   reference, fnfErr when the object has gone. */
QV_API OSStatus LSCopyItemInfoForRef(const FSRef *inItemRef, LSRequestedInfo inWhichInfo,
                                     LSItemInfoRecord *outItemInfo);

/* ---- Uniform type identifiers. Identifiers compare without regard to
   case. Tags that no known type claims give a dynamic identifier ("dyn."
   followed by the encoded tag) that conforms to public.data and
   public.item. ---- */
#define kUTTagClassFilenameExtension CFSTR("public.filename-extension")
#define kUTTagClassOSType CFSTR("com.apple.ostype")
#define kUTTagClassMIMEType CFSTR("public.mime-type")

/* The preferred identifier of a type carrying inTag in inTagClass (and, when
   inConformingToUTI is given, conforming to it); NULL for a NULL class or
   tag or an unknown class. */
QV_API CFStringRef UTTypeCreatePreferredIdentifierForTag(CFStringRef inTagClass, CFStringRef inTag,
                                                         CFStringRef inConformingToUTI);
/* The preferred tag of a type in a tag class (its first extension, file
   type or MIME type), or NULL. */
QV_API CFStringRef UTTypeCopyPreferredTagWithClass(CFStringRef inUTI, CFStringRef inTagClass);
/* Whether inUTI is inConformsToUTI or conforms to it through the type
   hierarchy (public.jpeg -> public.image -> public.data -> public.item). */
QV_API Boolean UTTypeConformsTo(CFStringRef inUTI, CFStringRef inConformsToUTI);
QV_API Boolean UTTypeEqual(CFStringRef inUTI1, CFStringRef inUTI2);
/* The four characters of a file type as a string (Mac Roman), and back
   (0 unless the string is four characters). */
QV_API CFStringRef UTCreateStringForOSType(OSType inOSType);
QV_API OSType UTGetOSTypeFromString(CFStringRef inString);

/* ---- Stand-in extension: the launch hook. While set, every launch calls
   proc with the document's path (NULL when an application is launched
   alone) and the application's path (NULL for the default application)
   instead of starting anything, and answers what proc answers. NULL
   removes it. ---- */
typedef OSStatus (*QVLSLaunchProcPtr)(const char *documentPath, const char *applicationPath, void *refCon);
QV_API void QVLSSetLaunchHook(QVLSLaunchProcPtr proc, void *refCon);

QV_EXTERN_C_END

#endif /* QUELVANE_LAUNCHSERVICES_H */
