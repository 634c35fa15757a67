// ColorPicker.cpp: NPickColor over the front end's colour dialog.
#include "toolbox/ColorPicker.h"
#include "toolbox/ToolboxInternal.h"

extern "C" QV_API OSErr NPickColor(NColorPickerInfo *theColorInfo)
{
    if (!theColorInfo)
        return paramErr;
    theColorInfo->newColorChosen = false;
    RGBColor color{theColorInfo->theColor.color.rgb.red, theColorInfo->theColor.color.rgb.green,
                   theColorInfo->theColor.color.rgb.blue};
    const unsigned char *p = theColorInfo->prompt;
    std::string prompt(reinterpret_cast<const char *>(p + 1), p[0]);
    if (qvtb::CurrentFrontEnd().pickColor(prompt, color)) {
        theColorInfo->theColor.color.rgb = CMRGBColor{color.red, color.green, color.blue};
        theColorInfo->newColorChosen = true;
    }
    return noErr;
}
