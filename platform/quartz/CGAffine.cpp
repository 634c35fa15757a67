// Affine transforms of the Quartz stand-in, in the platform's convention:
// x' = a x + c y + tx, y' = b x + d y + ty; "t1 then t2" concatenation.
#include <algorithm>
#include <cmath>

#include "quartz/CoreGraphics.h"

extern "C" {

const CGAffineTransform CGAffineTransformIdentity = {1, 0, 0, 1, 0, 0};

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty) {
    return CGAffineTransform{a, b, c, d, tx, ty};
}

CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) {
    return CGAffineTransform{1, 0, 0, 1, tx, ty};
}

CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) { return CGAffineTransform{sx, 0, 0, sy, 0, 0}; }

CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
    const double c = std::cos(static_cast<double>(angle)), s = std::sin(static_cast<double>(angle));
    return CGAffineTransform{static_cast<CGFloat>(c), static_cast<CGFloat>(s), static_cast<CGFloat>(-s),
                             static_cast<CGFloat>(c), 0, 0};
}

CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2) {
    return CGAffineTransform{t1.a * t2.a + t1.b * t2.c,          t1.a * t2.b + t1.b * t2.d,
                             t1.c * t2.a + t1.d * t2.c,          t1.c * t2.b + t1.d * t2.d,
                             t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}

CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy) {
    return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}

CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle) {
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

CGAffineTransform CGAffineTransformInvert(CGAffineTransform t) {
    const double det = static_cast<double>(t.a) * t.d - static_cast<double>(t.b) * t.c;
    if (det == 0 || !std::isfinite(det)) return t;
    const double a = t.d / det, b = -t.b / det, c = -t.c / det, d = t.a / det;
    return CGAffineTransform{static_cast<CGFloat>(a),
                             static_cast<CGFloat>(b),
                             static_cast<CGFloat>(c),
                             static_cast<CGFloat>(d),
                             static_cast<CGFloat>(-(a * t.tx + c * t.ty)),
                             static_cast<CGFloat>(-(b * t.tx + d * t.ty))};
}

Boolean CGAffineTransformIsIdentity(CGAffineTransform t) {
    return t.a == 1 && t.b == 0 && t.c == 0 && t.d == 1 && t.tx == 0 && t.ty == 0;
}

Boolean CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2) {
    return t1.a == t2.a && t1.b == t2.b && t1.c == t2.c && t1.d == t2.d && t1.tx == t2.tx && t1.ty == t2.ty;
}

CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t) {
    return CGPoint{t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

CGSize CGSizeApplyAffineTransform(CGSize s, CGAffineTransform t) {
    return CGSize{t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height};
}

CGRect CGRectApplyAffineTransform(CGRect r, CGAffineTransform t) {
    const CGPoint corners[4] = {{r.origin.x, r.origin.y},
                                {r.origin.x + r.size.width, r.origin.y},
                                {r.origin.x, r.origin.y + r.size.height},
                                {r.origin.x + r.size.width, r.origin.y + r.size.height}};
    CGFloat x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const CGPoint &c : corners) {
        const CGPoint p = CGPointApplyAffineTransform(c, t);
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
    return CGRect{{x0, y0}, {x1 - x0, y1 - y0}};
}

} // extern "C"
