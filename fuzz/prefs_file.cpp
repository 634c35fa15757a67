// Fuzz target: any bytes as the preferences file. Reading either finds a
// record of this build and takes it, or leaves the configuration exactly as
// it was; the next save always succeeds and the saved settings read back.
#include <cstring>
#include <string>

#include "FuzzFiles.h"
#include "store/prefsloader.h"

namespace {

bool SameStoredFields(const PluginDataRec &a, const PluginDataRec &b) {
    return std::memcmp(&a.StartRel, &b.StartRel, sizeof a.StartRel) == 0 &&
           std::memcmp(&a.EndRel, &b.EndRel, sizeof a.EndRel) == 0 &&
           std::memcmp(a.Colors, b.Colors, sizeof a.Colors) == 0 &&
           std::memcmp(a.Sliders, b.Sliders, sizeof a.Sliders) == 0 &&
           std::memcmp(&a.FrameStartColor, &b.FrameStartColor, sizeof a.FrameStartColor) == 0 &&
           std::memcmp(&a.FrameEndColor, &b.FrameEndColor, sizeof a.FrameEndColor) == 0 &&
           a.MediaType == b.MediaType && a.KeepProps == b.KeepProps && a.BlendMode == b.BlendMode;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The store looks in the Preferences folder: make it ours.
    setenv("XDG_CONFIG_HOME", FuzzScratchFolder().c_str(), 1);
    setenv("HOME", FuzzScratchFolder().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = FuzzScratchFolder() + "/qrvtn-Prefs";
    FuzzWriteFile(path, data, size);

    PluginDataRec config;
    std::memset(&config, 0xA5, sizeof config);
    config.KeepProps = 1;
    PluginDataRec untouched;
    std::memcpy(&untouched, &config, sizeof config);
    if (!ReadConfig(&config)) FUZZ_CHECK(std::memcmp(&config, &untouched, sizeof config) == 0);
    // Fields that are not stored never change.
    FUZZ_CHECK(config.Sync == untouched.Sync && config.Outside == untouched.Outside &&
               config.ClipActive == untouched.ClipActive && config.TheOriginalImage == untouched.TheOriginalImage &&
               config.TheRendered == untouched.TheRendered);

    FUZZ_CHECK(SaveConfig(&config));
    PluginDataRec back;
    std::memset(&back, 0, sizeof back);
    FUZZ_CHECK(ReadConfig(&back));
    FUZZ_CHECK(SameStoredFields(config, back));
    return 0;
}
