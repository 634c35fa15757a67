/*
 * CFURL.h: the CoreFoundation URL stand-in. Immutable, reference-counted URLs:
 * file URLs made from paths or file references and turned back into them, and
 * URLs made from text (RFC 3986 syntax, percent-encoded), optionally relative
 * to a base URL.
 *
 * Ownership: Create and Copy calls hand out one reference that the caller
 * releases with CFRelease; CFURLGetString and CFURLGetBaseURL answer objects
 * that belong to the URL.
 *
 * File URLs have the form file:///absolute/path, with every byte of the
 * UTF-8 path outside the unreserved characters, "/" and the sub-delimiters
 * percent-encoded; a directory's URL ends with "/". Paths in the POSIX style
 * are the Linux paths; the HFS style (volume:dir:file) is not supported.
 */
#ifndef QUELVANE_CFURL_H
#define QUELVANE_CFURL_H

#include "MacTypes.h"
#include "corefoundation/CFBase.h"
#include "corefoundation/CFString.h"

QV_EXTERN_C_BEGIN

typedef const struct __CFURL *CFURLRef;

typedef CFIndex CFURLPathStyle;
enum { kCFURLPOSIXPathStyle = 0, kCFURLHFSPathStyle = 1 };

QV_API CFTypeID CFURLGetTypeID(void);

/* A file URL for filePath. A relative path is taken from the current
   directory. isDirectory adds the trailing "/". NULL for an empty path or a
   path style other than POSIX. */
QV_API CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef alloc, CFStringRef filePath,
                                              CFURLPathStyle pathStyle, Boolean isDirectory);
/* The same from a zero-terminated UTF-8 path of bufLen bytes. */
QV_API CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef alloc, const UInt8 *buffer, CFIndex bufLen,
                                                        Boolean isDirectory);
/* A file URL for the object the reference names; NULL for an invalid one. */
QV_API CFURLRef CFURLCreateFromFSRef(CFAllocatorRef alloc, const FSRef *fsRef);
/* The file reference of a file URL whose object exists; false otherwise. */
QV_API Boolean CFURLGetFSRef(CFURLRef url, FSRef *fsRef);
/* The decoded path of a file URL (absolute, resolved against its base when
   resolveAgainstBase), zero-terminated in buffer; false when the URL is not a
   file URL or the path does not fit in maxBufLen bytes. */
QV_API Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8 *buffer,
                                                CFIndex maxBufLen);
/* The decoded path of a file URL without a trailing "/" (except "/");
   NULL for other URLs or the HFS style. */
QV_API CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle);

/* A URL from its text, relative to baseURL when given. NULL when the text is
   not a valid URL: characters outside RFC 3986 (spaces, non-ASCII, ...) or a
   "%" not followed by two hex digits. */
QV_API CFURLRef CFURLCreateWithString(CFAllocatorRef alloc, CFStringRef URLString, CFURLRef baseURL);
/* The URL's own text (relative URLs answer their relative text). */
QV_API CFStringRef CFURLGetString(CFURLRef anURL);
QV_API CFURLRef CFURLGetBaseURL(CFURLRef anURL);
/* The URL resolved against its base (RFC 3986); a new reference. */
QV_API CFURLRef CFURLCopyAbsoluteURL(CFURLRef relativeURL);
/* The scheme ("file", "http", ...) or NULL. */
QV_API CFStringRef CFURLCopyScheme(CFURLRef anURL);
/* The last component of the path, percent-decoded; "/" for the root. */
QV_API CFStringRef CFURLCopyLastPathComponent(CFURLRef url);
/* The extension of the last path component without the dot, or NULL. */
QV_API CFStringRef CFURLCopyPathExtension(CFURLRef url);
/* The URL with one decoded component appended (encoded as needed). */
QV_API CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef alloc, CFURLRef url,
                                                      CFStringRef pathComponent, Boolean isDirectory);
/* The URL of the folder that holds the last path component. */
QV_API CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef alloc, CFURLRef url);
/* Whether the URL's path ends with "/". */
QV_API Boolean CFURLHasDirectoryPath(CFURLRef anURL);

QV_EXTERN_C_END

#endif /* QUELVANE_CFURL_H */
