/*
 * ImageCompression.h: the QuickTime graphics-importer stand-in. An importer
 * is opened for an image file (any format the Quartz stand-in's image
 * sources decode; the first image of a multi-image file) and hands the image
 * out as a QuickDraw picture or as a Quartz image.
 *
 * Ownership: GetGraphicsImporterForFile hands out an importer that the
 * caller closes with CloseComponent. GraphicsImportGetAsPicture hands out a
 * picture the caller disposes of with KillPicture; GraphicsImportCreateCGImage
 * an image the caller releases with CGImageRelease. Both stay valid after the
 * importer is closed.
 *
 * Threads: an importer is used by one thread at a time; pictures are drawn
 * on the drawing thread (QuickDraw's current port is process-wide).
 */
#ifndef QUELVANE_IMAGECOMPRESSION_H
#define QUELVANE_IMAGECOMPRESSION_H

#include "MacTypes.h"
#include "quartz/CoreGraphics.h"
#include "quickdraw/QuickDraw.h"

QV_EXTERN_C_BEGIN

typedef struct ComponentInstanceRecord *ComponentInstance;
typedef ComponentInstance GraphicsImportComponent;
typedef SInt32 ComponentResult;

/* Status codes of the component and image-compression managers. */
enum {
    noCodecErr = -8961,          /* no importer reads this file */
    badComponentInstance = (SInt32)0x80008001,
    invalidComponentID = -3000
};

/* GraphicsImportCreateCGImage flags. */
enum { kGraphicsImportCreateCGImageUsingCurrentSettings = 1 };

/* An importer for the file: noErr and *gi set when the file holds an image
   that can be decoded; otherwise *gi is NULL and the result is fnfErr (no
   such file), noCodecErr (not an image, damaged, or refused as too large)
   or paramErr. The image is decoded here, once. */
QV_API OSErr GetGraphicsImporterForFile(const FSSpec *theFile, ComponentInstance *gi);

/* The image's bounds (0, 0, height, width). */
QV_API ComponentResult GraphicsImportGetNaturalBounds(GraphicsImportComponent ci, Rect *naturalBounds);

/* The image as a picture whose frame is the natural bounds, recorded as one
   pixel copy (all four bytes of each pixel, as decoded). memFullErr when the
   image is wider than a QuickDraw world can be (kMaxGWorldWidth32) or memory
   runs out; *picture is NULL then. */
QV_API ComponentResult GraphicsImportGetAsPicture(GraphicsImportComponent ci, PicHandle *picture);

/* The image as a Quartz image (a new reference). flags: 0 or
   kGraphicsImportCreateCGImageUsingCurrentSettings (no settings differ
   here). */
QV_API ComponentResult GraphicsImportCreateCGImage(GraphicsImportComponent ci, CGImageRef *imageRef, UInt32 flags);

/* Closes an importer; invalidComponentID for something that is not an open
   importer (a closed one included). The other calls answer
   badComponentInstance for such an instance. */
QV_API OSErr CloseComponent(ComponentInstance aComponentInstance);

QV_EXTERN_C_END

#endif /* QUELVANE_IMAGECOMPRESSION_H */
