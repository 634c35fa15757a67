// DataHandling.h: the configuration record's lifecycle: its size and
// allocation, the one-time start-up of the shared record (defaults, then the
// saved configuration), copying it into a render run and releasing the copy,
// the reset to defaults, the rectangle being edited in the dialog, and the
// fractional-rectangle constructors.
//
// Ownership: the host glue allocates the shared record and each render run's
// copy through the host, whose allocator may be any (calloc included): the
// plug-in never asks the Memory Manager about those blocks and notes their
// sizes itself (pNoteConfigBlock). pNewConfig / pDestroyConfig allocate and
// free with the Memory Manager. A copy made by pCopyConfig owns its own duplicate of
// TheRendered (released by pUncopyConfig) and never carries
// TheOriginalImage. gConfigWorkspace points at objects it does not own and is
// valid only while the dialog is open. A missing record is an assertion
// (the process ends after a stop alert).
#ifndef QUELVANE_DATAHANDLING_H
#define QUELVANE_DATAHANDLING_H

#include "engine/PluginDefines.h"

// The record handed to the dialog, and the dialog's workspace. Set each time
// the dialog opens; not cleared afterwards.
extern PluginDataRec *gTheConfig;
extern PluginWorkspace gConfigWorkspace;

// One-time start-up hook of the engine; does nothing in this product.
void InitPascal();

// theSize = the size of PluginDataRec.
void pGetConfigSize(UInt32 &theSize);

// Start-up of the shared record: asserts theData ("Unable to allocate new
// data structure"), makes sure the preferences file exists, then
// InitPluginData.
void InitMyPlugIn(PluginDataRec *theData);

// Defaults (ResetConfig with firstTime), overlaid by the saved configuration
// when one can be read, then saved back (the save's result is ignored).
void InitPluginData(PluginDataRec *theConfig);

// A zero-filled record from the Memory Manager; asserts success.
void pNewConfig(PluginDataRec *&theData);
// Frees a record from pNewConfig; NULL is ignored.
void pDestroyConfig(PluginDataRec *aConfig);

// The size of a configuration block as the plug-in allocated it, noted after
// allocating and forgotten before freeing; pNewConfig and pDestroyConfig do
// it themselves.
void pNoteConfigBlock(const PluginDataRec *block, UInt32 size);
void pForgetConfigBlock(const PluginDataRec *block);

// dest becomes a copy of source with its own duplicate of TheRendered and no
// TheOriginalImage. Nothing happens when either is NULL or both are the same
// record. Noted blocks of different sizes, or too small for the record, end
// the process (Terminate "Non-Matching Blocks"); a block whose size was not
// noted is taken for a whole record.
void pCopyConfig(PluginDataRec *source, PluginDataRec *dest);
// Releases what a copy owns (its TheRendered); the caller frees the block.
void pUncopyConfig(PluginDataRec *theData);

// MediaType of theData, 1 when theData is NULL.
SInt16 GetMediaFormat(const PluginDataRec *theData);

// Resets to the defaults: full-frame rectangles, colours white, white, black
// x 4, sliders 0, FrameStartColor red, KeepProps false, BlendMode 1, Sync
// false, Outside true, ClipActive false. With firstTime also clears the
// image references (without releasing them) and sets MediaType 1.
// FrameEndColor is never changed.
void ResetConfig(PluginDataRec *theConfig, Boolean firstTime);

// The rectangle being edited: StartRel of the dialog's record
// (gConfigWorkspace.TheConfig).
RelRect GetCurrentRel();
void PutCurrentRel(const RelRect &theRel);

// theRel = the full frame (Left 0, Right 1, Top 0, Bottom 1).
void InitRelRect(RelRect &theRel);
// A RelRect from edges given in Rect order: left, top, right, bottom.
RelRect SetRelRect(double left, double top, double right, double bottom);

#endif // QUELVANE_DATAHANDLING_H
