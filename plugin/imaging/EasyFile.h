// EasyFile.h: loading images from files (as Quartz images through the
// platform's image sources, or as QuickDraw pictures through graphics
// importers), from the plug-in's bundle, and a few file and launch
// utilities. The open and save dialogs of this unit come with the settings
// window.
//
// Ownership: CGImageRef results belong to the caller (CGImageRelease);
// PicHandle results too (KillPicture); so do offscreen buffers
// (DisposeGWorld). Nothing here shows an alert except
// GetScaledGWImageFromFSRef when memory for its buffer runs out: failures
// come back as false, NULL or a platform status.
#ifndef QUELVANE_EASYFILE_H
#define QUELVANE_EASYFILE_H

#include "MacTypes.h"
#include "corefoundation/CFURL.h"
#include "quartz/CoreGraphics.h"
#include "quickdraw/QuickDraw.h"

// A selection of files read from a file chooser's reply: Count items were
// read, the first cMaxFilesInList of them are kept (Spec[0] is item 1).
constexpr int cMaxFilesInList = 4;
struct FileList {
    SInt16 Count;
    FSSpec Spec[cMaxFilesInList];
};

// ---- Images as Quartz images ----

// The first image of the file TheFSS names; NULL when no file reference can
// be made or the file holds no readable image.
CGImageRef GetCGImageFromFSSUsingCG(const FSSpec &TheFSS);
CGImageRef GetCGImageFromFSRefUsingCG(const FSRef &TheFSRef);
// The first image (frame, page) of the file at the URL; NULL when there is
// none.
CGImageRef GetCGImageFromURLUsingCG(CFURLRef TheURL);
// The resource TheName.TheExtension in subfolder ThePath (may be NULL) of
// the main bundle; NULL when it is missing or no image.
CGImageRef GetCGImageFromBundle(const char *TheName, const char *TheExtension, const char *ThePath);
// The image through a graphics importer; NULL when there is none.
CGImageRef GetCGImageFromFSS(const FSSpec &TheFSS);
CGImageRef GetCGImageFromURLUsingQT(CFURLRef TheFile);

// ---- Images as pictures ----

// TheName = the file's name; the picture of its image, NULL on any failure
// or for an empty picture.
PicHandle ReadPictureFromFSS(const FSSpec &TheFSS, Str255 TheName);
PicHandle ReadPictureFromFSRefUsingQT(const FSRef &TheFSRef, Str255 TheName);
PicHandle ReadPictureFromFSRef(const FSRef &TheFSRef, Str255 TheName);
// The resource TheName.TheType of the main bundle as a picture; NULL when it
// is missing or no image.
PicHandle LoadPictureFromBundle(const char *TheName, const char *TheType);
// The image file at the URL as a picture of its pixels drawn over white;
// NULL when there is no image or no buffer for it.
PicHandle GetPictFromURLUsingCG(CFURLRef TheURL);
// The picture of the file reduced by WidScale and HigScale (integer
// division of its size), drawn scaled into a white buffer of that size.
// NULL for a scale below 1, an unreadable file, or a reduced size of
// nothing; a buffer that cannot be made is a fatal assertion.
GrafPtr GetScaledGWImageFromFSRef(const FSRef &TheFSRef, SInt16 WidScale, SInt16 HigScale);

// ---- Files ----

// Opens the data fork for reading and writing, mark at the start. Errors
// are not reported (TheFileRefNum is then 0).
void PSPPascalOpenFile(SInt16 &TheFileRefNum, const FSSpec &Spec);
// Replaces the file by an empty one of that type and creator and opens it
// for reading and writing. Errors are not reported (TheFileRefNum 0).
void PSPRewrite(SInt16 &TheFileRefNum, const FSSpec &Spec, OSType FileType, OSType FileCreator);
// Writes the characters of TheText (not its length byte) at the mark.
void FileWrite(SInt16 TheFile, ConstStr255Param TheText);
// Writes TheText followed by a carriage return; a text of 255 characters
// has its last one replaced by the carriage return.
void FileWriteLn(SInt16 TheFile, ConstStr255Param TheText);
// The default directory's name followed by ":"; empty when it cannot be
// read.
void GetAppDirName(Str255 TheName);
// The path of directory DirID from the volume name down, each name followed
// by ":"; empty when a directory on the way cannot be read or the path does
// not fit 255 characters.
void GetFullPath(SInt32 DirID, SInt16 VRefNum, Str255 ThePath);

// ---- Launching ----

// Opens the resource TheName.TheExtension in subfolder ThePath of the main
// bundle in its default application; nothing when it is missing. The
// launch status is not reported.
void LaunchFileFromBundle(const char *TheName, const char *TheExtension, const char *ThePath);
// Opens TheDocument in TheApp (NULL: its default application); the
// platform's status.
OSStatus OpenDocumentInSpecificApp(const FSRef &TheDocument, const FSRef *TheApp);
// Whether the file's type identifier (from its extension, else from its
// file type) conforms to TheUTI; false when the file cannot be examined.
Boolean FileConformsTo(const FSRef &TheFile, ConstStr255Param TheUTI);

#endif // QUELVANE_EASYFILE_H
