// Entry procedures of the renderer for the host path and the dialog preview.
#include "engine/callpixelfx.h"

#include "common/commonprocs.h"
#include "engine/DataHandling.h"
#include "engine/lineEffect.h"
#include "engine/relrects.h"
#include "imaging/offscreen.h"

void DoEffect(PluginDataRec *myConfig, PluginParams *, GrafPtr theSource, GrafPtr theTarget,
              SInt32 currentFrameIndex, SInt32, SInt32, SInt32 totalFrames, float, float, float, SInt16 *) {
    Assert(myConfig, "uninited theData in Plugin Effect master proc. need to call init before calling me");
    CGrafPtr savedPort = nullptr;
    GDHandle savedDevice = nullptr;
    GetGWorld(&savedPort, &savedDevice);
    DoPascalPixelEffect(theSource, theTarget, myConfig, currentFrameIndex, totalFrames);
    SetGWorld(savedPort, savedDevice);
}

void DoPascalPixelEffect(GrafPtr source, GrafPtr dest, const PluginDataRec *theConfig, SInt32 currentFrameIndex,
                         SInt32 maxFrames) {
    const Rect theFrame = GetPortRect(dest);
    const Rect theRect = Rel2Rect(theConfig->StartRel, theFrame);
    PixelDrive(source, dest, theRect, theConfig, currentFrameIndex, maxFrames);
}

void CallPixelEffect(GrafPtr source, GrafPtr dest) {
    const Rect theFrame = GetPortRect(dest);
    Source2Target(source, dest);
    const PluginDataRec *theConfig = gConfigWorkspace.TheConfig;
    const Rect theRect = Rel2Rect(theConfig->StartRel, theFrame);
    PixelDrive(source, dest, theRect, theConfig, gConfigWorkspace.CurrFrameIndex, gConfigWorkspace.MaxFrameIndex);
}

void PixelDrive(GrafPtr source, GrafPtr dest, const Rect &theRect, const PluginDataRec *theConfig,
                SInt32 currentFrame, SInt32 numFrames) {
    TheLineEffect(source, dest, theRect, true, theConfig, currentFrame, numFrames);
}
