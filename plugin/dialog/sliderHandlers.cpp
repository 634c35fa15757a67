// sliderHandlers.cpp: sliders, scrubber and the preview refresh.
#include "dialog/sliderHandlers.h"

#include "common/commonprocs.h"
#include "dialog/carbonmacros.h"
#include "engine/DataHandling.h"
#include "engine/callpixelfx.h"
#include "engine/lineEffect.h"
#include "host/iMovieGlue.h"

#include <string>

namespace {

constexpr ControlActionProcPtr kSliderActions[kSliderCount] = {Slider1Action, Slider2Action, Slider3Action,
                                                               Slider4Action, Slider5Action, Slider6Action};

// "Lgnd" n = value followed by "%".
void SetLegend(WindowRef theWindow, SInt16 n, SInt32 value)
{
    Str255 theText;
    Num2Text(value, theText);
    PStrAppendC(theText, "%");
    SimpleSetControlText(theWindow, FourCC("Lgnd"), n, theText);
}

void SliderAction(int n, ControlRef theControl)
{
    const SInt32 value = GetControl32BitValue(theControl);
    PluginDataRec *theConfig = gConfigWorkspace.TheConfig;
    theConfig->Sliders[n - 1] = static_cast<SInt16>(value);
    SetLegend(gConfigWorkspace.TheWindow, static_cast<SInt16>(n), value);
    if (n == 1)
        RenderLineArt(theConfig);
    RerenderAndBlit();
}

} // namespace

void ScrubberText(SInt32 position, Str255 theText)
{
    Str255 theMax;
    Num2Text(position, theText);
    Num2Text(gConfigWorkspace.MaxFrameIndex, theMax);
    PStrAppendC(theText, "/");
    PStrAppend(theText, theMax);
}

void SetupSliders(WindowRef theWindow)
{
    const PluginDataRec *theConfig = gConfigWorkspace.TheConfig;
    for (int n = 1; n <= kSliderCount; ++n) {
        const SInt16 id = static_cast<SInt16>(n);
        ControlRef theSlider = SimpleGetControlByID(theWindow, FourCC("Sldr"), id);
        Assert(theSlider, ("Cannot access slider " + std::to_string(n)).c_str());
        gConfigWorkspace.Sliders[n - 1] = theSlider;
        if (cUsesSlider[n - 1]) {
            SetControlAction(theSlider, NewControlActionUPP(kSliderActions[n - 1]));
            SetControl32BitValue(theSlider, theConfig->Sliders[n - 1]);
            SetLegend(theWindow, id, theConfig->Sliders[n - 1]);
        } else {
            SimpleHideControl(theWindow, FourCC("Sldr"), id);
            SimpleHideControl(theWindow, FourCC("Lgnd"), id);
            SimpleHideControl(theWindow, FourCC("Labl"), id);
        }
    }

    ControlRef theScrubber = SimpleGetControlByID(theWindow, FourCC("ClpS"), 1);
    Assert(theScrubber, "Cannot access clip slider");
    gConfigWorkspace.ClipSlider = theScrubber;
    SetControlAction(theScrubber, NewControlActionUPP(ClipSliderAction));
    SetControl32BitMinimum(theScrubber, 0);
    SetControl32BitMaximum(theScrubber, gConfigWorkspace.MaxFrameIndex);
    SetControl32BitValue(theScrubber, gConfigWorkspace.CurrFrameIndex);
    Str255 theText;
    ScrubberText(gConfigWorkspace.CurrFrameIndex, theText);
    SimpleSetControlText(theWindow, FourCC("ClpM"), 1, theText);
}

void Slider1Action(ControlRef theControl, ControlPartCode)
{
    SliderAction(1, theControl);
}

void Slider2Action(ControlRef theControl, ControlPartCode)
{
    SliderAction(2, theControl);
}

void Slider3Action(ControlRef theControl, ControlPartCode)
{
    SliderAction(3, theControl);
}

void Slider4Action(ControlRef theControl, ControlPartCode)
{
    SliderAction(4, theControl);
}

void Slider5Action(ControlRef theControl, ControlPartCode)
{
    SliderAction(5, theControl);
}

void Slider6Action(ControlRef theControl, ControlPartCode)
{
    SliderAction(6, theControl);
}

void ClipSliderAction(ControlRef theControl, ControlPartCode)
{
    const SInt32 position = GetControl32BitValue(theControl);
    gConfigWorkspace.CurrFrameIndex = position;
    Str255 theText;
    ScrubberText(position, theText);
    SimpleSetControlText(gConfigWorkspace.TheWindow, FourCC("ClpM"), 1, theText);
    AccessRenderAndBlit(position);
}

void AccessRenderAndBlit(SInt32 position)
{
    GetFrameIntoGW(gConfigWorkspace.SourceClip, gConfigWorkspace.iMovieParams,
                   position + gConfigWorkspace.MinFrameIndex, cUseDisposeGWInSlider);
    RerenderAndBlit();
}

void RerenderAndBlit()
{
    CallPixelEffect(gConfigWorkspace.SourceClip, gConfigWorkspace.TheFXClip);
    ControlRef thePreview = gConfigWorkspace.TheFrameCtrl;
    SetControl32BitValue(thePreview, GetControl32BitValue(thePreview) != 0 ? 0 : 1);
}
