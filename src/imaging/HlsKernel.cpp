// AdjustHls: per pixel, blue-green-red to hue (0..359, 64 steps per 60 degrees), lightness and
// saturation in integers, offsets added, and back. The two divisions by per-pixel values use exact
// reciprocal tables; arithmetic after the offsets is 64-bit so no setting can overflow it.
#include "imaging/KernelSupport.h"
#include "imaging/Kernels.h"

#include <algorithm>

namespace {

// recip[d] = ceil(2^32 / d): (n * recip[d]) >> 32 == n / d for every n < 2^23 and d <= 510.
struct Reciprocals {
    uint64_t recip[511];
    Reciprocals()
    {
        recip[0] = 0;
        for (uint64_t d = 1; d < 511; ++d)
            recip[d] = ((uint64_t(1) << 32) + d - 1) / d;
    }
    int32_t div(uint32_t n, uint32_t d) const { return int32_t((n * recip[d]) >> 32); }
    // Quotient rounded toward zero for a signed numerator.
    int32_t divSigned(int32_t n, uint32_t d) const { return n < 0 ? -div(uint32_t(-n), d) : div(uint32_t(n), d); }
};

const Reciprocals& reciprocals()
{
    static const Reciprocals table;
    return table;
}

inline uint8_t clampByte(int64_t v)
{
    return uint8_t(std::clamp<int64_t>(v, 0, 255));
}

// One channel from its hue position h (remainder with the sign of the dividend, so it may be negative).
inline uint8_t channel(int64_t h, int64_t m1, int64_t m2)
{
    if (h < 0)
        return clampByte(m1);
    if (h < 60)
        return clampByte(m1 + (((m2 - m1) * h) >> 6));
    if (h < 180)
        return clampByte(m2);
    if (h < 240)
        return clampByte(m1 + (((m2 - m1) * (240 - h)) >> 6));
    return clampByte(m1);
}

inline void adjustPixel(const uint8_t* s, uint8_t* d, const HlsData& hls, const Reciprocals& rc)
{
    const int32_t b = s[0], g = s[1], r = s[2];
    const int32_t mx = std::max({r, g, b}), mn = std::min({r, g, b});
    int64_t L = (mx + mn) >> 1, S = 0, H = 0;
    if (mx != mn) {
        const int32_t delta = mx - mn;
        S = rc.div(uint32_t(delta * 255), uint32_t(L < 128 ? mx + mn : 510 - mx - mn));
        if (r == mx)
            H = rc.divSigned((g - b) * 64, uint32_t(delta));
        else if (g == mx)
            H = rc.divSigned((b - r) * 64, uint32_t(delta)) + 120;
        else
            H = rc.divSigned((r - g) * 64, uint32_t(delta)) + 240;
        if (H < 0)
            H += 360;
        else if (H >= 360)
            H -= 360;
    }
    S += hls.S;
    H += hls.H;
    L += hls.L;
    if (S <= 0) {
        d[0] = d[1] = d[2] = clampByte(L);
        return;
    }
    S = std::min<int64_t>(S, 255);
    const int64_t m2 = L < 128 ? (L * (S + 255)) >> 8 : S + L - ((S * L) >> 8);
    const int64_t m1 = 2 * L - m2;
    d[2] = channel((H + 120) % 360, m1, m2);
    d[1] = channel(H % 360, m1, m2);
    d[0] = channel((H - 120) % 360, m1, m2);
}

}  // namespace

int32_t AdjustHls(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                  uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                  void* user1, void*)
{
    const HlsData* hls = kernel::paramsOf<HlsData>(user1);
    if (!hls || dstBytesPerPixel < 3 || srcBytesPerPixel < 3)
        return 1;
    const Reciprocals& rc = reciprocals();
    const kernel::RowWalk walk(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride,
                               srcStride);
    for (int32_t i = 0; i < walk.height; ++i) {
        const uint8_t* s = walk.srcRow(i);
        uint8_t* d = walk.dstRow(i);
        for (int32_t j = 0; j < walk.width; ++j, s += srcBytesPerPixel, d += dstBytesPerPixel)
            adjustPixel(s, d, *hls, rc);
    }
    return 1;
}
