/*
 * example-host.c: a small host of the Quelvane plug-in, written from
 * HYPluginInterface.h alone, for host authors. It loads a plug-in bundle with
 * dlopen, asks for its description, and renders a few frames of a clip it
 * makes up (a 4 x 4 grid of coloured cells whose blue grows with the frame
 * number), writing each result as a PPM picture. Memory for the plug-in comes
 * from calloc and free; frames are pixel buffers of the host's own, made into
 * graphics worlds with NewGWorldFromPtr. The plug-in renders with the
 * settings saved by its settings window or quelvane-prefs.
 *
 * Build it against the installed SDK:
 *   cc example-host.c $(pkg-config --cflags --libs quelvane) -ldl -o example-host
 *
 * Usage: example-host [options] BUNDLE OUT
 *   -s WxH   frame size (default 64x48)
 *   -n N     frames in the clip (default 100)
 *   -f LIST  frames to render, comma separated (default 0,1,2)
 *   -i N     fade-in frames; -o N fade-out frames (default 0)
 *   -p       proxy render (quick, low quality, no sound)
 *   -e LIST  leave these callback slots empty, e.g. -e Blit,MixAudio
 *   -g WxH   lend frames of this size whatever the plug-in asks
 * Frame F goes to OUT-F.ppm: the whole target, the frame inside a border of
 * 4 pixels. The exit status is 0 when every request answered kPluginOK and
 * the plug-in gave back every frame and every block but its settings record.
 */
#define _POSIX_C_SOURCE 200809L
#include <dlfcn.h>
#include <iconv.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "HYPluginInterface.h"
#include "quickdraw/QuickDraw.h"

enum { kBorder = 4 };

static int gFrameCount = 100;
static int gLendWidth, gLendHeight;   /* -g: the size GetFrame lends */
static int gBlocks, gFramesLent;      /* what the plug-in holds */
static int gQuality, gOpacity, gMixed; /* what the last do-frame asked */
static HYPluginFilterInfo gFilterInfo = {{0.5f, 0.5f, 0.5f}, 0, 0};

/* ---- Memory: any allocator of zeroed blocks will do. -------------------- */
static Ptr HostNewPtrClear(SInt32 size) {
    Ptr block = size > 0 ? calloc(1, (size_t)size) : NULL;
    gBlocks += block != NULL;
    return block;
}
static void HostDisposePtr(Ptr block) {
    gBlocks -= block != NULL;
    free(block);
}

/* ---- Frames: the host's pixels in a world of the platform library. ------ */
typedef struct Frame {
    GWorldPtr world;
    Ptr pixels;
} Frame;

static Frame *NewFrame(int width, int height) {
    const long rowBytes = 4L * width + 16; /* rows may be padded */
    const Rect bounds = {0, 0, (SInt16)height, (SInt16)width};
    Frame *f = calloc(1, sizeof *f);
    if (f) f->pixels = calloc((size_t)height, (size_t)rowBytes);
    if (!f || !f->pixels ||
        NewGWorldFromPtr(&f->world, k32ARGBPixelFormat, &bounds, NULL, NULL, 0, f->pixels, rowBytes) != noErr) {
        if (f) free(f->pixels);
        free(f);
        return NULL;
    }
    return f;
}
static void DisposeFrame(Frame *f) {
    DisposeGWorld(f->world); /* the world first: it never frees our pixels */
    free(f->pixels);
    free(f);
}

/* Pixel x, y of a pixel map (A, R, G, B). Bit 15 of rowBytes is a flag:
   the row length is in the low 14 bits. */
static UInt8 *PixelOf(const PixMap *pm, int x, int y) {
    return (UInt8 *)pm->baseAddr + (long)(y - pm->bounds.top) * (pm->rowBytes & 0x3FFF) + 4L * (x - pm->bounds.left);
}

static void PaintClipFrame(GWorldPtr world, SInt32 n) {
    const PixMap *pm = *GetGWorldPixMap(world);
    const int w = pm->bounds.right - pm->bounds.left, h = pm->bounds.bottom - pm->bounds.top;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            UInt8 *p = PixelOf(pm, x, y);
            p[0] = 255;
            p[1] = (UInt8)(40 + 60 * (x * 4 / w));
            p[2] = (UInt8)(40 + 60 * (y * 4 / h));
            p[3] = (UInt8)(2 * n);
        }
}

/* ---- The callbacks the plug-in calls. ----------------------------------- */
static HYPluginResult HostGetFrame(void *instance, SInt32 n, GWorldPtr *outFrame, SInt16 width, SInt16 height,
                                   HYRefDVQuality quality, SInt16 *outVolume, void **outCookie) {
    (void)instance;
    gQuality = quality;
    if (n < 0 || n >= gFrameCount) return kPluginCantGetNeededFrame;
    Frame *f = NewFrame(gLendWidth ? gLendWidth : width, gLendHeight ? gLendHeight : height);
    if (!f) return kPluginOutOfMemory;
    PaintClipFrame(f->world, n);
    *outFrame = f->world;
    *outVolume = 256;
    *outCookie = f; /* the cookie names the frame for ReleaseFrame and MixAudio */
    ++gFramesLent;
    return kPluginOK;
}

static HYPluginResult HostReleaseFrame(void *instance, void *cookie) {
    (void)instance;
    DisposeFrame(cookie);
    --gFramesLent;
    return kPluginOK;
}

/* sourceRect of source over destRect of dest at opacity 0..255, scaled to
   the nearest pixel, clipped to both maps. */
static HYPluginResult HostBlit(const PixMap *source, PixMap *dest, const Rect *sr, const Rect *dr, SInt16 opacity) {
    const int sw = sr->right - sr->left, sh = sr->bottom - sr->top;
    const int dw = dr->right - dr->left, dh = dr->bottom - dr->top;
    gOpacity = opacity;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || opacity < 0 || opacity > 255) return kPluginBadParams;
    for (int y = dr->top; y < dr->bottom; ++y)
        for (int x = dr->left; x < dr->right; ++x) {
            const int sx = sr->left + (x - dr->left) * sw / dw, sy = sr->top + (y - dr->top) * sh / dh;
            if (x < dest->bounds.left || x >= dest->bounds.right || y < dest->bounds.top || y >= dest->bounds.bottom ||
                sx < source->bounds.left || sx >= source->bounds.right || sy < source->bounds.top ||
                sy >= source->bounds.bottom)
                continue;
            const UInt8 *s = PixelOf(source, sx, sy);
            UInt8 *d = PixelOf(dest, x, y);
            for (int c = 0; c < 4; ++c) d[c] = (UInt8)((s[c] * opacity + d[c] * (255 - opacity) + 127) / 255);
        }
    return kPluginOK;
}

static HYPluginResult HostMixAudio(void *instance, void *cookie, SInt32 level) {
    (void)instance, (void)cookie, (void)level;
    gMixed = 1; /* a host with sound mixes the frame's sound at level / 256 here */
    return kPluginOK;
}

static HYPluginResult HostGetFilterInfo(void *instance, HYPluginFilterInfo **outInfo) {
    (void)instance;
    *outInfo = &gFilterInfo;
    return kPluginOK;
}
static HYPluginResult HostReleaseFilterInfo(void *instance, HYPluginFilterInfo *info) {
    (void)instance, (void)info;
    return kPluginOK;
}
static HYPluginResult HostGetMovieInfo(HYRefDigitalVideoStandard *standard, SInt16 *width, SInt16 *height,
                                       SInt32 *totalFrames) {
    (void)width, (void)height; /* preset to the frame's size; kept */
    *standard = kRefUnknownStandard;
    *totalFrames = gFrameCount;
    return kPluginOK;
}
static HYPluginResult HostGetClipInfo(void *instance, SInt32 whichClip, HYPluginClipInfo *info) {
    (void)instance, (void)whichClip;
    memset(info, 0, sizeof *info);
    return kPluginOK;
}

/* The slots the plug-in calls, by name, for -e. */
static const struct {
    const char *name;
    size_t offset;
} kSlots[] = {
    {"NewPtrClear", offsetof(HYProcs, NewPtrClear)},   {"DisposePtr", offsetof(HYProcs, DisposePtr)},
    {"GetFrame", offsetof(HYProcs, GetFrame)},         {"ReleaseFrame", offsetof(HYProcs, ReleaseFrame)},
    {"Blit", offsetof(HYProcs, Blit)},                 {"MixAudio", offsetof(HYProcs, MixAudio)},
    {"GetFilterInfo", offsetof(HYProcs, GetFilterInfo)}, {"ReleaseFilterInfo", offsetof(HYProcs, ReleaseFilterInfo)},
    {"GetMovieInfo", offsetof(HYProcs, GetMovieInfo)}, {"GetClipInfo", offsetof(HYProcs, GetClipInfo)},
};

static int EmptySlots(HYProcs *procs, char *list) {
    for (char *name = strtok(list, ","); name; name = strtok(NULL, ",")) {
        size_t i = 0;
        while (i < sizeof kSlots / sizeof kSlots[0] && strcmp(kSlots[i].name, name) != 0) ++i;
        if (i == sizeof kSlots / sizeof kSlots[0]) return 0;
        memset((char *)procs + kSlots[i].offset, 0, sizeof procs->Blit);
    }
    return 1;
}

/* Texts from the plug-in are Mac Roman. */
static void PrintText(const char *label, const char *text, size_t size) {
    char utf8[512], *in = (char *)text, *out = utf8;
    size_t inLeft = strnlen(text, size), outLeft = sizeof utf8 - 1;
    iconv_t cd = iconv_open("UTF-8", "MACINTOSH");
    if (cd == (iconv_t)-1 || iconv(cd, &in, &inLeft, &out, &outLeft) == (size_t)-1) out = utf8;
    if (cd != (iconv_t)-1) iconv_close(cd);
    *out = 0;
    printf("%s: %s\n", label, utf8);
}

static void WritePPM(const char *path, GWorldPtr world) {
    const PixMap *pm = *GetGWorldPixMap(world);
    const int w = pm->bounds.right - pm->bounds.left, h = pm->bounds.bottom - pm->bounds.top;
    FILE *file = fopen(path, "wb");
    if (!file) return;
    fprintf(file, "P6\n%d %d\n255\n", w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) fwrite(PixelOf(pm, x, y) + 1, 1, 3, file);
    fclose(file);
}

static int Call(HYPluginMainProcPtr entry, PluginParams *params, HYPluginSelector selector) {
    params->selector = selector;
    return entry(selector, params);
}

int main(int argc, char **argv) {
    int width = 64, height = 48, fadeIn = 0, fadeOut = 0, proxy = 0, failed = 0, opt;
    char defaultFrames[] = "0,1,2", *frames = defaultFrames, *empty = NULL;
    while ((opt = getopt(argc, argv, "s:n:f:i:o:pe:g:")) != -1) {
        if (opt == 's') sscanf(optarg, "%dx%d", &width, &height);
        else if (opt == 'n') gFrameCount = atoi(optarg);
        else if (opt == 'f') frames = optarg;
        else if (opt == 'i') fadeIn = atoi(optarg);
        else if (opt == 'o') fadeOut = atoi(optarg);
        else if (opt == 'p') proxy = 1;
        else if (opt == 'e') empty = optarg;
        else if (opt == 'g') sscanf(optarg, "%dx%d", &gLendWidth, &gLendHeight);
        else return 2;
    }
    if (argc - optind != 2 || width < 1 || height < 1 || width > 4000 || height > 4000) {
        fprintf(stderr, "usage: example-host [-s WxH] [-n N] [-f LIST] [-i N] [-o N] [-p] [-e SLOTS] [-g WxH] "
                        "BUNDLE OUT\n");
        return 2;
    }

    /* The bundle's library is Contents/Linux/<name>.so. */
    char library[4096];
    const char *bundle = argv[optind], *slash = strrchr(bundle, '/');
    const char *name = slash ? slash + 1 : bundle;
    snprintf(library, sizeof library, "%s/Contents/Linux/%.*s.so", bundle, (int)strcspn(name, "."), name);
    void *lib = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    HYPluginMainProcPtr entry = lib ? (HYPluginMainProcPtr)dlsym(lib, "main") : NULL;
    if (!entry) {
        fprintf(stderr, "example-host: cannot load %s: %s\n", library, dlerror());
        return 2;
    }

    HYProcs procs = {0};
    procs.NewPtrClear = HostNewPtrClear;
    procs.DisposePtr = HostDisposePtr;
    procs.GetFrame = HostGetFrame;
    procs.ReleaseFrame = HostReleaseFrame;
    procs.Blit = HostBlit;
    procs.MixAudio = HostMixAudio;
    procs.GetFilterInfo = HostGetFilterInfo;
    procs.ReleaseFilterInfo = HostReleaseFilterInfo;
    procs.GetMovieInfo = HostGetMovieInfo;
    procs.GetClipInfo = HostGetClipInfo;
    if (empty && !EmptySlots(&procs, empty)) {
        fprintf(stderr, "example-host: unknown slot in %s\n", empty);
        return 2;
    }
    gFilterInfo.fadeInFrames = fadeIn;
    gFilterInfo.fadeOutFrames = fadeOut;

    PluginParams params;
    memset(&params, 0, sizeof params);
    params.interfaceVersion = 5;
    params.instance = &params; /* anything; handed back to the callbacks */
    params.procs = &procs;
    params.getInfo2.selectedFrames = gFrameCount;
    int r = Call(entry, &params, kPlugGetInfo);
    printf("get-info: result %d\n", r);
    PrintText("group", params.getInfo2.group, sizeof params.getInfo2.group);
    PrintText("button", params.getInfo3.buttonTitle, sizeof params.getInfo3.buttonTitle);
    failed |= r != kPluginOK;

    /* The target: the frame goes to frameRect, inside a grey border. */
    Frame *target = NewFrame(width + 2 * kBorder, height + 2 * kBorder);
    if (!target) return 2;
    params.frame = target->world;
    params.frameRect = (Rect){kBorder, kBorder, (SInt16)(kBorder + height), (SInt16)(kBorder + width)};
    params.frameCount = gFrameCount;
    params.proxyOnly = (Boolean)proxy;
    r = Call(entry, &params, kPlugInitialize);
    printf("initialize: result %d\n", r);
    failed |= r != kPluginOK;

    for (char *item = strtok(frames, ","); item && r == kPluginOK; item = strtok(NULL, ",")) {
        const PixMap *pm = *GetGWorldPixMap(target->world);
        memset(pm->baseAddr, 0x80, (size_t)(pm->rowBytes & 0x3FFF) * (size_t)(height + 2 * kBorder));
        params.renderFrame = atoi(item);
        gQuality = gOpacity = -1;
        gMixed = 0;
        const int result = Call(entry, &params, kPlugDoFrame);
        printf("frame %d: result %d, quality %d, ", params.renderFrame, result, gQuality);
        if (gOpacity >= 0) printf("opacity %d, ", gOpacity);
        else printf("no blend, ");
        printf("%s\n", gMixed ? "sound mixed" : "no sound");
        char path[4200];
        snprintf(path, sizeof path, "%s-%d.ppm", argv[optind + 1], params.renderFrame);
        WritePPM(path, target->world);
        failed |= result != kPluginOK;
    }
    r = Call(entry, &params, kPlugTerminate);
    printf("terminate: result %d\n", r);
    failed |= r != kPluginOK;
    DisposeFrame(target);

    /* The plug-in keeps one block, its settings record, for the process. */
    printf("blocks held: %d, frames held: %d\n", gBlocks, gFramesLent);
    return failed || gBlocks != 1 || gFramesLent != 0;
}
