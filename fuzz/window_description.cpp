// Fuzz target: any bytes as a window description. The parser either refuses
// them with a line and a reason, or everything it accepted keeps the rules
// that window creation relies on.
#include "toolbox/NibDescription.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace qvtb;
    NibDescription nib;
    std::string error;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    if (!ParseNibDescription(text, nib, error)) {
        if (error.empty() || !nib.windows.empty())
            std::abort(); // a refusal says why and yields nothing
        return 0;
    }
    if (nib.windows.size() > kMaxWindows)
        std::abort();
    std::set<std::string> names;
    for (const WindowDescription &w : nib.windows) {
        if (!names.insert(w.name).second || w.name.empty())
            std::abort();
        const int width = w.bounds.right - w.bounds.left, height = w.bounds.bottom - w.bounds.top;
        if (width < 1 || height < 1 || width > kMaxWindowSide || height > kMaxWindowSide)
            std::abort();
        if (w.controls.size() > kMaxControls || w.title.size() > kMaxText)
            std::abort();
        std::set<std::pair<UInt32, SInt32>> ids;
        for (const ControlDescription &c : w.controls) {
            if (c.bounds.bottom < c.bounds.top || c.bounds.right < c.bounds.left)
                std::abort();
            if (c.minimum > c.maximum || c.value < c.minimum || c.value > c.maximum)
                std::abort();
            if ((c.signature || c.id) && !ids.insert({c.signature, c.id}).second)
                std::abort();
            if (c.type == ControlType::Custom && c.classID.empty())
                std::abort();
            if (c.items.size() > kMaxItems || (c.type != ControlType::Popup && !c.items.empty()))
                std::abort();
        }
        if (nib.find(w.name) != &w)
            std::abort();
    }
    return 0;
}
