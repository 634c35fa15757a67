// One step of a zoom-slider drag in the settings window, headless: the
// slider's action procedure stores the value, writes the value text,
// renders the 720 x 480 preview from the source frame and redraws the
// preview control (a scaled copy into the window's port). Measured against
// the renderer alone on the same frame (TheLineEffect), so the ratio is what
// the window adds to each step. Goal: a step costs at most 2x the renderer,
// so the preview follows the thumb as fast as frames render.
//
// Run from the build folder (the bundle's window descriptions are needed):
//     QUELVANE_BUNDLE=$PWD/Quelvane.plugin bin/quelvane_dialog_bench
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "dialog/carbonmacros.h"
#include "dialog/clipCTRL.h"
#include "dialog/colorCTRL.h"
#include "dialog/configdlghandler.h"
#include "dialog/dlgUtils.h"
#include "dialog/pictCTRL.h"
#include "dialog/sliderHandlers.h"
#include "engine/DataHandling.h"
#include "engine/lineEffect.h"
#include "engine/relrects.h"
#include "imaging/offscreen.h"
#include "toolbox/ToolboxFrontEnd.h"

namespace {

struct Window {
    PluginDataRec *config = nullptr;
    GWorldPtr source = nullptr, preview = nullptr;
    WindowRef window = nullptr;
    ControlRef slider = nullptr;

    Window() {
        QVToolboxSelectFrontEnd(kQVFrontEndHeadless);
        pNewConfig(config);
        ResetConfig(config, true);
        config->StartRel = SetRelRect(0.1, 0.1, 0.9, 0.9);
        source = AllocateGWorld(720, 480);
        PixMapHandle pm = GetGWorldPixMap(source);
        auto *p = reinterpret_cast<UInt8 *>(GetPixBaseAddr(pm));
        for (long i = 0; i < GetPixRowBytes(pm) * 480; ++i) p[i] = static_cast<UInt8>(i * 7 + i / 2880);
        preview = AllocateGWorld(720, 480);
        gConfigWorkspace = PluginWorkspace{};
        gConfigWorkspace.TheConfig = config;
        gConfigWorkspace.SourceClip = source;
        gConfigWorkspace.TheFXClip = preview;
        gConfigWorkspace.MaxFrameIndex = 0;
        RegisterColorBox();
        RegisterClipCtrl();
        RegisterPictureControl();
        window = OpenNibWindowFromCFBundle(cMyBundleID, "quelvane", "configNTSC");
        SetupDialog(window, config);
        ShowWindow(window);
        slider = SimpleGetControlByID(window, FourCC("Sldr"), 1);
    }
};

Window &TheWindow() {
    static Window w;
    return w;
}

void BM_RendererAlone(benchmark::State &state) {
    Window &w = TheWindow();
    const Rect crop = Rel2Rect(w.config->StartRel, GetPortRect(w.preview));
    SInt16 value = 100;
    for (auto _ : state) {
        w.config->Sliders[0] = value = static_cast<SInt16>(value == 100 ? 200 : 100);
        TheLineEffect(w.source, w.preview, crop, true, w.config, 0, 0);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RendererAlone)->Unit(benchmark::kMillisecond);

void BM_SliderStep(benchmark::State &state) {
    Window &w = TheWindow();
    SInt32 value = 100;
    for (auto _ : state) {
        value = value == 100 ? 200 : 100;
        SetControl32BitValue(w.slider, value);
        Slider1Action(w.slider, kControlIndicatorPart);
        benchmark::ClobberMemory();
    }
    if (w.config->Sliders[0] != value) state.SkipWithError("the slider did not reach the record");
}
BENCHMARK(BM_SliderStep)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QUELVANE_BUNDLE")) setenv("QUELVANE_BUNDLE", QUELVANE_BUILT_BUNDLE, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
