// Helpers shared by the kernel implementations: reading the parameter block and walking the rows of
// an applied rectangle. Internal to the imaging library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/Rect.h"

namespace kernel {

// user1 holds the address of a pointer to the parameter block; null at either level means "no block".
template <class T>
const T* paramsOf(void* user1)
{
    return user1 ? *static_cast<T* const*>(user1) : nullptr;
}

// The source and destination row of row i of an applied rectangle (rows counted bottom-up).
struct RowWalk {
    uint8_t* dst = nullptr;
    const uint8_t* src = nullptr;
    ptrdiff_t dstStride = 0;
    ptrdiff_t srcStride = 0;
    int32_t width = 0;
    int32_t height = 0;

    // A missing image or rectangle, or an empty one, walks no rows.
    RowWalk(uint8_t* d, const uint8_t* s, const Rect* r, int32_t x, int32_t y, uint16_t dstBpp, uint16_t srcBpp,
            int32_t dStride, int32_t sStride)
    {
        if (!d || !s || !r || r->right <= r->left || r->bottom <= r->top)
            return;
        dst = d + ptrdiff_t(dStride) * y + ptrdiff_t(dstBpp) * x;
        src = s + ptrdiff_t(sStride) * r->top + ptrdiff_t(srcBpp) * r->left;
        dstStride = dStride;
        srcStride = sStride;
        width = r->right - r->left;
        height = r->bottom - r->top;
    }
    uint8_t* dstRow(int32_t i) const { return dst + dstStride * i; }
    const uint8_t* srcRow(int32_t i) const { return src + srcStride * i; }
};

// Truncation toward zero of a double that may be out of range or not a number: saturates instead of
// being undefined.
inline int32_t truncSaturated(double v, int32_t ifNan)
{
    if (v != v)
        return ifNan;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return int32_t(v);
}

// The widest instruction set the vector forms may use. Tests lower the cap to check every form against
// the others on the same processor.
enum class SimdLevel { None = 0, Ssse3 = 1, Sse41 = 2, Avx2 = 3, Avx512Vbmi = 4, Best = Avx512Vbmi };
void setSimdCap(SimdLevel cap);
// Whether this processor has the level and the cap allows it.
bool useSimd(SimdLevel level);

}  // namespace kernel
