#include "repair/PanelLayout.h"

namespace {

// int(x): truncation toward zero of a single-precision value.
int T(float x) { return static_cast<int>(x); }

}  // namespace

PanelLayout ComputePanelLayout(const RECT& c, float s, int agreeTextWidth, int feedbackTextWidth) {
    PanelLayout p{};
    const int l = c.left, t = c.top, r = c.right, b = c.bottom;
    const int w = r - l, h = b - t;

    // The two right-hand buttons are placed in double precision.
    const int closeLeft = static_cast<int>(static_cast<double>(r) - 31.2 * static_cast<double>(s));
    p.close = {closeLeft, t, T(closeLeft + 26 * s), T(t + 34 * s)};
    const int minLeft = static_cast<int>(static_cast<double>(r) - 59.8 * static_cast<double>(s));
    p.minimize = {minLeft, t, T(minLeft + 26 * s), T(t + 34 * s)};

    const int vl = l + T(188 * s), vt = t + T(16 * s);
    p.version = {vl, vt, vl + T(40 * s), vt + T(15 * s)};

    if (w > 400) {
        const int rl = l + T(400 * s / 2 - 246 * s / 2), rt = t + T(600 * s / 2 - 20 * s);
        p.repair = {rl, rt, rl + T(246 * s), rt + T(47 * s)};
        p.repairSource = {77, 280, 323, 327};
        const int ml = l + T(50 * s), mt = b - T(60 * s);
        p.moreTools = {ml, mt, ml + T(58 * s), mt + T(18 * s)};
        p.moreToolsSource = {50, 540, 108, 558};
    } else {
        const int rl = l + w / 2 - 123, rt = t + h / 2 - 20;
        p.repair = {rl, rt, rl + 246, rt + 47};
        p.repairSource = p.repair;
        const int ml = l + 50, mt = b - 60;
        p.moreTools = {ml, mt, ml + 58, mt + 18};
        p.moreToolsSource = p.moreTools;
    }

    const int q = agreeTextWidth / 14;
    const int al = T(8 * s), at = T(b - 25 * s);
    p.agree = {al, at, T(al + 16 * s + 2 * q + 2), T(at + 20 * s)};
    const int ll = p.agree.right + 6;
    p.agreementLink = {ll, at, ll + 14 * q, T(at + 20 * s)};
    const int d = T(feedbackTextWidth + 4 * s + 2 + 6);
    const int fl = r - d - 6;
    p.feedbackLink = {fl, at, fl + d, T(at + 20 * s)};
    return p;
}
