/*
 * CFString.h: the CoreFoundation string stand-in. Immutable, reference-counted
 * Unicode strings (UTF-16 code units, as on the platform) made from
 * length-prefixed Mac Roman text, C strings or UTF-16, and converted back.
 *
 * Ownership: Create and Copy calls hand out one reference that the caller
 * releases with CFRelease. CFSTR("...") names a constant string that lives
 * for the whole process; releasing it is harmless, and it must not be
 * released more often than it was retained.
 *
 * Encodings: Mac Roman (kCFStringEncodingMacRoman, value 0, the complete
 * 256-character mapping), UTF-8 and ASCII. A conversion to an encoding that
 * cannot represent every character fails rather than substituting.
 */
#ifndef QUELVANE_CFSTRING_H
#define QUELVANE_CFSTRING_H

#include "MacTypes.h"
#include "corefoundation/CFBase.h"

QV_EXTERN_C_BEGIN

typedef const struct __CFString *CFStringRef;
typedef UInt32 CFStringEncoding;
typedef UInt16 UniChar;

enum {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100
};

/* Returned by calls that have no answer (platform value). */
#define kCFNotFound ((CFIndex)-1)

typedef CFIndex CFComparisonResult;
enum { kCFCompareLessThan = -1, kCFCompareEqualTo = 0, kCFCompareGreaterThan = 1 };

typedef CFOptionFlags CFStringCompareFlags;
enum {
    /* Letters of ASCII and Latin-1 compare without regard to case. */
    kCFCompareCaseInsensitive = 1
};

QV_API CFTypeID CFStringGetTypeID(void);

/* A string from a length-prefixed text in the given encoding. NULL when the
   bytes are not valid in that encoding (or pStr is NULL). */
QV_API CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr,
                                                  CFStringEncoding encoding);
/* A string from zero-terminated text in the given encoding; NULL as above. */
QV_API CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr, CFStringEncoding encoding);
/* A string from numBytes bytes in the given encoding; NULL as above. The
   external-representation flag is accepted and has no effect. */
QV_API CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8 *bytes, CFIndex numBytes,
                                           CFStringEncoding encoding, Boolean isExternalRepresentation);
/* A string of numChars UTF-16 code units (copied). */
QV_API CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar *chars, CFIndex numChars);
/* A new reference to a string with the same text. */
QV_API CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString);

/* Number of UTF-16 code units. */
QV_API CFIndex CFStringGetLength(CFStringRef theString);
/* Copies the code units of range into buffer (the range must lie inside). */
QV_API void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar *buffer);
QV_API UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx);

/* The text as a length-prefixed string in buffer (bufferSize bytes, length
   byte included). False, with buffer[0] = 0, when the text needs more than
   bufferSize - 1 (at most 255) bytes or holds a character the encoding cannot
   represent: nothing is truncated or substituted. */
QV_API Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize,
                                       CFStringEncoding encoding);
/* The text as zero-terminated bytes in buffer (bufferSize bytes, the zero
   included). False when it does not fit or cannot be represented. */
QV_API Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize,
                                  CFStringEncoding encoding);
/* Always NULL here (the platform may answer NULL too): use CFStringGetCString
   with a buffer of CFStringGetMaximumSizeForEncoding(length, encoding) + 1. */
QV_API const char *CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);
/* The most bytes `length` code units can need in the encoding. */
QV_API CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);

/* Compares code unit by code unit (ordinal), optionally without case. */
QV_API CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                          CFStringCompareFlags compareOptions);
/* True for two objects of the same kind with the same value: strings of the
   same text, URLs of the same text and base; otherwise identity. */
QV_API Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
QV_API Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix);
QV_API Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix);

/* Constant strings: CFSTR("text") with the text in UTF-8 (the source files'
   encoding). The same text always gives the same object. */
QV_API CFStringRef __QVCFStringMakeConstantString(const char *cStr);
#define CFSTR(cStr) __QVCFStringMakeConstantString("" cStr "")

/* Stand-in extension: the text in UTF-8 as a std-library-free call, for the
   front ends that hand text to other libraries. Returns the number of bytes
   the UTF-8 form needs (without the zero); writes at most bufferSize bytes
   including a terminating zero when bufferSize > 0. */
QV_API CFIndex QVCFStringGetUTF8(CFStringRef theString, char *buffer, CFIndex bufferSize);

QV_EXTERN_C_END

#endif /* QUELVANE_CFSTRING_H */
