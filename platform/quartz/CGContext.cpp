// Bitmap contexts of the Quartz stand-in: the graphics state, drawing calls
// handed to the pixel engine, snapshots (copy on write), and contexts over
// QuickDraw ports.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "quartz/CGInternal.h"

namespace {

void FinalizeSpace(CFRuntimeBase *object) { delete reinterpret_cast<CGColorSpace *>(object); }

void FinalizeContext(CFRuntimeBase *object) {
    auto *c = reinterpret_cast<CGContext *>(object);
    // A snapshot still sharing our memory keeps it.
    if (auto loan = c->loan.lock())
        if (loan->lent && c->own) {
            loan->own = c->own;
            loan->lent = false;
        }
    delete c;
}

// a then b.
cgdraw::Affine Then(const cgdraw::Affine &a, const cgdraw::Affine &b) {
    return cgdraw::Affine{a.a * b.a + a.b * b.c,          a.a * b.b + a.b * b.d,
                          a.c * b.a + a.d * b.c,          a.c * b.b + a.d * b.d,
                          a.tx * b.a + a.ty * b.c + b.tx, a.tx * b.b + a.ty * b.d + b.ty};
}

bool Finite(double v) { return std::isfinite(v); }

// Where the context's pixels are, or false when they are gone (a context
// over a port that has since been disposed of draws nothing).
bool Target(CGContext *c, cgdraw::Surface *out) {
    if (c->port && !IsValidPort(c->port)) return false;
    *out = cgdraw::Surface{c->data, c->rowBytes, static_cast<int>(c->width), static_cast<int>(c->height)};
    return true;
}

// Ends any snapshot's sharing of the pixels before they change.
void WillDraw(CGContext *c) {
    if (c->port) qd::PortWillChange(c->port);
    if (auto loan = c->loan.lock()) loan->Detach();
    c->loan.reset();
}

// User space of a rectangle's unit square, through the CTM, to the memory's
// pixel space (y down).
cgdraw::Affine ToPixels(CGContext *c, const cgdraw::Affine &local) {
    const cgdraw::Affine flip{1, 0, 0, -1, 0, static_cast<double>(c->height)};
    return Then(Then(local, c->gs.ctm), flip);
}

// Notes the device area a shape may have touched, for the port's drawn hook.
void NoteChange(CGContext *c, const cgdraw::Affine &m, double w, double h) {
    if (!c->port) return;
    double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
    const double xs[4] = {0, w, 0, w}, ys[4] = {0, 0, h, h};
    for (int i = 0; i < 4; ++i) {
        const double x = m.a * xs[i] + m.c * ys[i] + m.tx, y = m.b * xs[i] + m.d * ys[i] + m.ty;
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
    // The context's pixels may start inside the port's memory.
    qd::PortPixels pp;
    if (!qd::GetPortPixels(c->port, &pp)) return;
    const ptrdiff_t offset = c->data - pp.base;
    const double oy = static_cast<double>(offset / static_cast<ptrdiff_t>(pp.rowBytes));
    const double ox = static_cast<double>((offset % static_cast<ptrdiff_t>(pp.rowBytes)) / 4);
    auto clampTo = [](double v, int hi) { return static_cast<SInt16>(std::clamp(v, 0.0, static_cast<double>(hi))); };
    Rect r{clampTo(std::floor(y0 + oy), pp.height), clampTo(std::floor(x0 + ox), pp.width),
           clampTo(std::ceil(y1 + oy), pp.height), clampTo(std::ceil(x1 + ox), pp.width)};
    if (r.left >= r.right || r.top >= r.bottom) return;
    if (c->changed.left >= c->changed.right) {
        c->changed = r;
    } else {
        c->changed.top = std::min(c->changed.top, r.top);
        c->changed.left = std::min(c->changed.left, r.left);
        c->changed.bottom = std::max(c->changed.bottom, r.bottom);
        c->changed.right = std::max(c->changed.right, r.right);
    }
}

void Report(CGContext *c) {
    if (c->port && c->changed.left < c->changed.right && IsValidPort(c->port)) qd::PortDidChange(c->port, c->changed);
    c->changed = Rect{0, 0, 0, 0};
}

// A rectangle with negative sizes made upright.
CGRect Standard(CGRect r) {
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

CGContext *NewContext(UInt8 *data, size_t width, size_t height, size_t rowBytes, CGBitmapInfo info) {
    auto *c = new (std::nothrow) CGContext;
    if (!c) return nullptr;
    CFRuntimeInit(&c->base, kQVTypeIDContext, FinalizeContext);
    c->data = data;
    c->width = width;
    c->height = height;
    c->rowBytes = rowBytes;
    c->info = info;
    return c;
}

} // namespace

namespace cg {

CGContext *AsContext(CGContextRef context) {
    return reinterpret_cast<CGContext *>(CFRuntimeCast(context, kQVTypeIDContext));
}

} // namespace cg

extern "C" {

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void) {
    auto *s = new (std::nothrow) CGColorSpace;
    if (!s) return nullptr;
    CFRuntimeInit(&s->base, kQVTypeIDColorSpace, FinalizeSpace);
    return s;
}

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space) {
    if (CFRuntimeCast(space, kQVTypeIDColorSpace)) CFRetain(space);
    return space;
}

void CGColorSpaceRelease(CGColorSpaceRef space) {
    if (CFRuntimeCast(space, kQVTypeIDColorSpace)) CFRelease(space);
}

CGContextRef CGBitmapContextCreate(void *data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo) {
    const CGBitmapInfo alpha = bitmapInfo & kCGBitmapAlphaInfoMask, order = bitmapInfo & kCGBitmapByteOrderMask;
    if (bitsPerComponent != 8 || alpha != kCGImageAlphaPremultipliedFirst ||
        (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big))
        return nullptr;
    if (!CFRuntimeCast(space, kQVTypeIDColorSpace)) return nullptr;
    if (width == 0 || height == 0 || width > 0x7FFFFFF || height > 0x7FFFFFF) return nullptr;
    if (!data && bytesPerRow == 0) bytesPerRow = width * 4;
    if (bytesPerRow < width * 4) return nullptr;
    if (bytesPerRow > std::numeric_limits<size_t>::max() / height) return nullptr;
    std::shared_ptr<UInt8> own;
    if (!data) {
        own = qd::AllocatePixels(bytesPerRow * height);
        if (!own) return nullptr;
        data = own.get();
    }
    CGContext *c = NewContext(static_cast<UInt8 *>(data), width, height, bytesPerRow, bitmapInfo);
    if (!c) return nullptr;
    c->own = std::move(own);
    if (!c->own) {
        // Pixels that belong to a port: snapshots borrow them from the port.
        CGrafPtr port = qd::FindPortByPixels(data);
        qd::PortPixels pp;
        if (port && qd::GetPortPixels(port, &pp)) {
            const UInt8 *end = static_cast<UInt8 *>(data) + bytesPerRow * (height - 1) + width * 4;
            if (end <= pp.base + pp.rowBytes * pp.height) c->port = port;
        }
    }
    return c;
}

void *CGBitmapContextGetData(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    if (!c) return nullptr;
    WillDraw(c); // the caller may write through the address
    return c->data;
}

size_t CGBitmapContextGetWidth(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    return c ? c->width : 0;
}

size_t CGBitmapContextGetHeight(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    return c ? c->height : 0;
}

size_t CGBitmapContextGetBytesPerRow(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    return c ? c->rowBytes : 0;
}

size_t CGBitmapContextGetBitsPerComponent(CGContextRef context) { return cg::AsContext(context) ? 8 : 0; }

size_t CGBitmapContextGetBitsPerPixel(CGContextRef context) { return cg::AsContext(context) ? 32 : 0; }

CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    return c ? c->info : 0;
}

CGImageRef CGBitmapContextCreateImage(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    if (!c) return nullptr;
    if (c->port) {
        if (!IsValidPort(c->port)) return nullptr;
        return cg::NewImage(c->width, c->height,
                            qd::LendPortPixels(c->port, c->data, c->rowBytes, c->width, c->height));
    }
    if (c->own) {
        std::shared_ptr<qd::PixelLoan> loan = c->loan.lock();
        if (!loan || !loan->lent) {
            loan = std::make_shared<qd::PixelLoan>();
            loan->data = c->data;
            loan->rowBytes = c->rowBytes;
            loan->width = c->width;
            loan->height = c->height;
            loan->lent = true;
            c->loan = loan;
        }
        return cg::NewImage(c->width, c->height, std::move(loan));
    }
    // Memory we know nothing about: copy now.
    return QVCGImageCreateWithARGB(c->width, c->height, c->rowBytes, c->data);
}

CGContextRef CGContextRetain(CGContextRef context) {
    if (cg::AsContext(context)) CFRetain(context);
    return context;
}

void CGContextRelease(CGContextRef context) {
    if (cg::AsContext(context)) CFRelease(context);
}

void CGContextSaveGState(CGContextRef context) {
    if (CGContext *c = cg::AsContext(context)) c->stack.push_back(c->gs);
}

void CGContextRestoreGState(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    if (!c || c->stack.empty()) return;
    c->gs = c->stack.back();
    c->stack.pop_back();
}

void CGContextConcatCTM(CGContextRef context, CGAffineTransform t) {
    CGContext *c = cg::AsContext(context);
    if (!c) return;
    const cgdraw::Affine m{t.a, t.b, t.c, t.d, t.tx, t.ty};
    c->gs.ctm = Then(m, c->gs.ctm);
}

void CGContextTranslateCTM(CGContextRef context, CGFloat tx, CGFloat ty) {
    CGContext *c = cg::AsContext(context);
    if (!c) return;
    c->gs.ctm = Then(cgdraw::Affine{1, 0, 0, 1, tx, ty}, c->gs.ctm);
}

void CGContextScaleCTM(CGContextRef context, CGFloat sx, CGFloat sy) {
    CGContext *c = cg::AsContext(context);
    if (!c) return;
    c->gs.ctm = Then(cgdraw::Affine{sx, 0, 0, sy, 0, 0}, c->gs.ctm);
}

void CGContextRotateCTM(CGContextRef context, CGFloat angle) {
    CGContext *c = cg::AsContext(context);
    if (!c) return;
    const double co = std::cos(static_cast<double>(angle)), si = std::sin(static_cast<double>(angle));
    c->gs.ctm = Then(cgdraw::Affine{co, si, -si, co, 0, 0}, c->gs.ctm);
}

CGAffineTransform CGContextGetCTM(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    if (!c) return CGAffineTransformIdentity;
    const cgdraw::Affine &m = c->gs.ctm;
    return CGAffineTransform{static_cast<CGFloat>(m.a),  static_cast<CGFloat>(m.b),  static_cast<CGFloat>(m.c),
                             static_cast<CGFloat>(m.d),  static_cast<CGFloat>(m.tx), static_cast<CGFloat>(m.ty)};
}

void CGContextSetAlpha(CGContextRef context, CGFloat alpha) {
    CGContext *c = cg::AsContext(context);
    if (!c || !Finite(alpha)) return;
    c->gs.alpha = std::clamp(static_cast<double>(alpha), 0.0, 1.0);
}

void CGContextSetBlendMode(CGContextRef, CGBlendMode) {} // only the normal mode is drawn

void CGContextSetRGBFillColor(CGContextRef context, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    CGContext *c = cg::AsContext(context);
    if (!c) return;
    const CGFloat v[4] = {red, green, blue, alpha};
    for (int i = 0; i < 4; ++i) c->gs.fill[i] = Finite(v[i]) ? std::clamp(static_cast<double>(v[i]), 0.0, 1.0) : 0;
}

void CGContextSetInterpolationQuality(CGContextRef context, CGInterpolationQuality quality) {
    if (CGContext *c = cg::AsContext(context)) c->gs.quality = quality;
}

CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef context) {
    CGContext *c = cg::AsContext(context);
    return c ? c->gs.quality : kCGInterpolationDefault;
}

void CGContextSetShouldAntialias(CGContextRef context, Boolean shouldAntialias) {
    if (CGContext *c = cg::AsContext(context)) c->gs.antialias = shouldAntialias != 0;
}

void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image) {
    CGContext *c = cg::AsContext(context);
    CGImage *img = cg::AsImage(image);
    cgdraw::Surface target;
    if (!c || !img || !Target(c, &target)) return;
    rect = Standard(rect);
    if (!(rect.size.width > 0 && rect.size.height > 0) || !Finite(rect.origin.x) || !Finite(rect.origin.y)) return;
    // Image pixels (y down) onto the rectangle in user space (y up).
    const double w = static_cast<double>(img->width), h = static_cast<double>(img->height);
    const cgdraw::Affine local{rect.size.width / w, 0, 0, -static_cast<double>(rect.size.height) / h, rect.origin.x,
                               static_cast<double>(rect.origin.y) + rect.size.height};
    const cgdraw::Affine m = ToPixels(c, local);
    cgdraw::Paint paint;
    paint.alpha = c->gs.alpha;
    paint.antialias = c->gs.antialias;
    paint.nearest = c->gs.quality == kCGInterpolationNone;
    // Drawing a snapshot of these very pixels: WillDraw gives it its own copy
    // first, and the drawing reads that.
    WillDraw(c);
    cgdraw::DrawImage(target, cg::ImageSource(img), m, paint);
    NoteChange(c, m, w, h);
}

void CGContextFillRect(CGContextRef context, CGRect rect) {
    CGContext *c = cg::AsContext(context);
    cgdraw::Surface target;
    if (!c || !Target(c, &target)) return;
    rect = Standard(rect);
    if (!(rect.size.width > 0 && rect.size.height > 0)) return;
    const cgdraw::Affine m =
        ToPixels(c, cgdraw::Affine{rect.size.width, 0, 0, rect.size.height, rect.origin.x, rect.origin.y});
    const double a = c->gs.fill[3];
    const double colour[4] = {a, c->gs.fill[0] * a, c->gs.fill[1] * a, c->gs.fill[2] * a};
    cgdraw::Paint paint;
    paint.alpha = c->gs.alpha;
    paint.antialias = c->gs.antialias;
    WillDraw(c);
    cgdraw::FillQuad(target, m, colour, paint);
    NoteChange(c, m, 1, 1);
}

void CGContextClearRect(CGContextRef context, CGRect rect) {
    CGContext *c = cg::AsContext(context);
    cgdraw::Surface target;
    if (!c || !Target(c, &target)) return;
    rect = Standard(rect);
    if (!(rect.size.width > 0 && rect.size.height > 0)) return;
    const cgdraw::Affine m =
        ToPixels(c, cgdraw::Affine{rect.size.width, 0, 0, rect.size.height, rect.origin.x, rect.origin.y});
    WillDraw(c);
    cgdraw::ClearQuad(target, m, c->gs.antialias);
    NoteChange(c, m, 1, 1);
}

Boolean QVCGSetSIMDEnabled(Boolean enabled) { return cgdraw::SetSIMDEnabled(enabled != 0); }

Boolean QVCGSIMDAvailable(void) { return cgdraw::SIMDAvailable(); }

void CGContextFlush(CGContextRef context) {
    if (CGContext *c = cg::AsContext(context)) Report(c);
}

void CGContextSynchronize(CGContextRef context) { CGContextFlush(context); }

OSStatus QDBeginCGContext(CGrafPtr inPort, CGContextRef *outContext) {
    if (!outContext) return paramErr;
    *outContext = nullptr;
    qd::PortPixels pp;
    if (!qd::GetPortPixels(inPort, &pp)) return paramErr;
    CGContext *c = NewContext(pp.base, static_cast<size_t>(pp.width), static_cast<size_t>(pp.height), pp.rowBytes,
                              kCGImageAlphaPremultipliedFirst);
    if (!c) return memFullErr;
    c->port = inPort;
    c->begunOn = inPort;
    *outContext = c;
    return noErr;
}

OSStatus QDEndCGContext(CGrafPtr inPort, CGContextRef *inoutContext) {
    if (!inoutContext) return paramErr;
    CGContext *c = cg::AsContext(*inoutContext);
    if (!c || c->begunOn != inPort || !inPort) return paramErr;
    Report(c);
    CGContextRelease(*inoutContext);
    *inoutContext = nullptr;
    return noErr;
}

} // extern "C"
