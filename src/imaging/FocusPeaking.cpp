#include "imaging/FocusPeaking.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "imaging/DibImage.h"
#include "imaging/KernelSupport.h"
#include "imaging/ViewComposer.h"

#if defined(__x86_64__) || defined(__i386__)
#include "imaging/KernelAvx2.h"
#define NX_PEAKING_AVX2 1
#endif

namespace {

// Grid points beside the searched part that the steepness test reads (three across the edge).
constexpr int32_t kMargin = 3;
// About this many gradients of the whole frame give its noise level.
constexpr double kNoiseSamples = 8192.0;
// An edge's gradient is above this many times the median gradient, and above kFloor: a clean synthetic
// picture has no noise at all, and a step of a few levels is not worth tinting.
constexpr int32_t kNoiseFactor = 5;
constexpr int32_t kFloor = 32;
constexpr int32_t kMaxGradient = 8 * 255;
// Steep: the step over the three pixels around the edge is at least 3/5 of the range over seven. A step
// blurred by a sigma of 2 pixels makes about 0.45, one of a pixel about 0.63, a sharp one 1.
constexpr int32_t kSteepNum = 3, kSteepDen = 5;

int32_t lightness(const uint8_t* p, int bytes)
{
    if (bytes == 1)
        return *p;
    const int32_t hi = std::max({ p[0], p[1], p[2] }), lo = std::min({ p[0], p[1], p[2] });
    return (hi + lo) / 2;
}

// The Sobel gradient magnitude |gx| + |gy| around the middle row's point x of three rows.
int32_t sobel(const uint8_t* a, const uint8_t* b, const uint8_t* c, int32_t x)
{
    const int32_t gx = a[x + 1] + 2 * b[x + 1] + c[x + 1] - a[x - 1] - 2 * b[x - 1] - c[x - 1];
    const int32_t gy = c[x - 1] + 2 * c[x] + c[x + 1] - a[x - 1] - 2 * a[x] - a[x + 1];
    return std::abs(gx) + std::abs(gy);
}

// The gradient threshold from the median gradient over a sample of the whole frame (the noise of a flat
// frame; a busy one raises it, so only its strongest edges light).
int32_t noiseThreshold(const DibImage& picture)
{
    const int32_t w = picture.width(), h = picture.height(), bytes = picture.bytesPerPixel();
    if (w < 3 || h < 3)
        return kFloor;
    const int32_t step = std::max(1, int32_t(std::ceil(std::sqrt(double(w - 2) * (h - 2) / kNoiseSamples))));
    std::array<uint32_t, kMaxGradient + 1> histogram {};
    uint32_t n = 0;
    std::array<std::array<uint8_t, 3>, 3> l {};
    for (int32_t y = 1 + step / 2; y < h - 1; y += step) {
        const uint8_t* rows[3] = { picture.rowTopDown(y - 1), picture.rowTopDown(y), picture.rowTopDown(y + 1) };
        for (int32_t x = 1 + step / 2; x < w - 1; x += step) {
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c)
                    l[r][c] = uint8_t(lightness(rows[r] + ptrdiff_t(x - 1 + c) * bytes, bytes));
            ++histogram[size_t(sobel(l[0].data(), l[1].data(), l[2].data(), 1))];
            ++n;
        }
    }
    uint32_t below = 0;
    int32_t median = 0;
    while (median < kMaxGradient && (below += histogram[size_t(median)]) < (n + 1) / 2)
        ++median;
    return std::max(kFloor, kNoiseFactor * median);
}

// --- Row forms. Each vector form does a leading part of the row and returns where it stopped; the scalar
// form finishes it, so both give the same bytes.

void lightnessRow(const uint8_t* src, int32_t n, uint8_t* dst, int32_t from)
{
    for (int32_t x = from; x < n; ++x)
        dst[x] = uint8_t(lightness(src + ptrdiff_t(x) * 3, 3));
}

void pickRow(const uint8_t* src, int32_t n, int32_t step, uint8_t* dst, int32_t from)
{
    for (int32_t i = from; i < n; ++i)
        dst[i] = src[ptrdiff_t(i) * step];
}

void gradientRow(const uint8_t* a, const uint8_t* b, const uint8_t* c, int32_t w, uint16_t* m, int32_t from)
{
    for (int32_t x = from; x < w - 1; ++x)
        m[x] = uint16_t(sobel(a, b, c, x));
}

#ifdef NX_PEAKING_AVX2

// Eight pixels' lightness in bytes 0-3 of each lane.
__attribute__((target("avx2"))) inline __m256i lightness8(const uint8_t* p)
{
    const __m128i planes = _mm_setr_epi8(0, 3, 6, 9, 1, 4, 7, 10, 2, 5, 8, 11, -1, -1, -1, -1);
    const __m256i v = _mm256_shuffle_epi8(kernel::loadBgr8(p), _mm256_set_m128i(planes, planes));
    const __m256i g = _mm256_srli_si256(v, 4), r = _mm256_srli_si256(v, 8);
    const __m256i hi = _mm256_max_epu8(v, _mm256_max_epu8(g, r)), lo = _mm256_min_epu8(v, _mm256_min_epu8(g, r));
    // The average rounds up; the sum halved rounds down.
    return _mm256_sub_epi8(_mm256_avg_epu8(hi, lo), _mm256_and_si256(_mm256_xor_si256(hi, lo), _mm256_set1_epi8(1)));
}

__attribute__((target("avx2"))) int32_t lightnessAvx2(const uint8_t* src, int32_t n, uint8_t* dst)
{
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int32_t x = 0;
    for (; x + 34 <= n; x += 32) { // loadBgr8 reads four bytes past its eighth pixel
        const __m256i a = lightness8(src + 3 * x), b = lightness8(src + 3 * (x + 8));
        const __m256i c = lightness8(src + 3 * (x + 16)), d = lightness8(src + 3 * (x + 24));
        const __m256i abcd = _mm256_unpacklo_epi64(_mm256_unpacklo_epi32(a, b), _mm256_unpacklo_epi32(c, d));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_permutevar8x32_epi32(abcd, order));
    }
    return x;
}

// Every other byte (the grid at fit's most common step).
__attribute__((target("avx2"))) int32_t pickEvenAvx2(const uint8_t* src, int32_t n, uint8_t* dst)
{
    const __m256i low = _mm256_set1_epi16(0x00FF);
    int32_t i = 0;
    // Each pass reads src[2i .. 2i + 63]; the n picks span only 2n - 1 bytes, so the last pass must end short.
    for (; i + 32 < n; i += 32) {
        const __m256i a = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i)), low);
        const __m256i b
            = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i + 32)), low);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
            _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
    }
    return i;
}

__attribute__((target("avx2"))) inline __m256i widen(const uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

__attribute__((target("avx2"))) int32_t gradientAvx2(
    const uint8_t* a, const uint8_t* b, const uint8_t* c, int32_t w, uint16_t* m)
{
    int32_t x = 1;
    for (; x + 17 <= w; x += 16) { // reads x - 1 .. x + 16
        const __m256i al = widen(a + x - 1), ac = widen(a + x), ar = widen(a + x + 1);
        const __m256i bl = widen(b + x - 1), br = widen(b + x + 1);
        const __m256i cl = widen(c + x - 1), cc = widen(c + x), cr = widen(c + x + 1);
        const __m256i gx = _mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(ar, al), _mm256_sub_epi16(cr, cl)),
            _mm256_slli_epi16(_mm256_sub_epi16(br, bl), 1));
        const __m256i gy = _mm256_add_epi16(_mm256_add_epi16(_mm256_sub_epi16(cl, al), _mm256_sub_epi16(cr, ar)),
            _mm256_slli_epi16(_mm256_sub_epi16(cc, ac), 1));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(m + x), _mm256_add_epi16(_mm256_abs_epi16(gx), _mm256_abs_epi16(gy)));
    }
    return x;
}

// Bit 2k (and 2k + 1) set where m[k] > t, for sixteen gradients.
__attribute__((target("avx2"))) uint32_t aboveAvx2(const uint16_t* m, int16_t t)
{
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m));
    return uint32_t(_mm256_movemask_epi8(_mm256_cmpgt_epi16(v, _mm256_set1_epi16(t))));
}

#endif

} // namespace

int FocusPeaking::Tint(const DibImage& shown, const ViewGeometry& geometry, QImage& view, ColorRef colour)
{
    m_Edges.clear();
    if (view.format() != QImage::Format_RGB32 || view.width() != geometry.deviceWidth()
        || view.height() != geometry.deviceHeight() || !makeGrid(shown, geometry))
        return 0;
    m_Threshold = noiseThreshold(shown);
    findEdges(kernel::useSimd(kernel::SimdLevel::Avx2));
    paint(view, colour);
    return int(m_Edges.size());
}

bool FocusPeaking::makeGrid(const DibImage& shown, const ViewGeometry& geometry)
{
    if (shown.isEmpty() || (shown.bitsPerPixel() != 8 && shown.bitsPerPixel() != 24))
        return false;
    const int32_t pw = shown.width(), ph = shown.height(), vw = geometry.deviceWidth(), vh = geometry.deviceHeight();
    if (vw <= 0 || vh <= 0)
        return false;
    ViewComposer::MapColumns(geometry, pw, m_ViewColumns);
    ViewComposer::MapRows(geometry, ph, m_ViewRows);
    // The part shown: the composer's columns and rows only grow (or are -1 off the picture).
    const auto span = [](const std::vector<int32_t>& v, int32_t& lo, int32_t& hi) {
        lo = INT32_MAX, hi = -1;
        for (const int32_t p : v)
            if (p >= 0)
                lo = std::min(lo, p), hi = std::max(hi, p);
        return hi >= 0;
    };
    int32_t left, right, top, bottom;
    if (!span(m_ViewColumns, left, right) || !span(m_ViewRows, top, bottom))
        return false;
    // At fit, a grid point for each view pixel's worth of picture at least, so no cell is skipped.
    m_Step = geometry.zoomIndex <= 0 ? std::max({ 1, (pw + vw - 1) / vw, (ph + vh - 1) / vh }) : 1;
    const int32_t s = m_Step;
    m_OriginX = std::max(0, left - kMargin * s);
    m_OriginY = std::max(0, top - kMargin * s);
    m_Width = (std::min(pw - 1, right + kMargin * s) - m_OriginX) / s + 1;
    m_Height = (std::min(ph - 1, bottom + kMargin * s) - m_OriginY) / s + 1;
    if (m_Width <= 2 * kMargin || m_Height <= 2 * kMargin)
        return false;

    [[maybe_unused]] const bool vector = kernel::useSimd(kernel::SimdLevel::Avx2);
    const int32_t bytes = shown.bytesPerPixel(), w = m_Width, spanned = (w - 1) * s + 1;
    m_Light.resize(size_t(w) * size_t(m_Height));
    if (bytes == 3 && s > 1)
        m_RowLight.resize(size_t(spanned));
    for (int32_t gy = 0; gy < m_Height; ++gy) {
        const uint8_t* src = shown.rowTopDown(m_OriginY + gy * s) + ptrdiff_t(m_OriginX) * bytes;
        uint8_t* dst = m_Light.data() + ptrdiff_t(gy) * w;
        const uint8_t* grey = src; // the row's lightness at every picture pixel
        if (bytes == 3) {
            uint8_t* whole = s == 1 ? dst : m_RowLight.data();
            int32_t done = 0;
#ifdef NX_PEAKING_AVX2
            if (vector)
                done = lightnessAvx2(src, spanned, whole);
#endif
            lightnessRow(src, spanned, whole, done);
            grey = whole;
        }
        if (grey == dst)
            continue;
        if (s == 1) {
            std::memcpy(dst, grey, size_t(w));
            continue;
        }
        int32_t done = 0;
#ifdef NX_PEAKING_AVX2
        if (vector && s == 2)
            done = pickEvenAvx2(grey, w, dst);
#endif
        pickRow(grey, w, s, dst, done);
    }
    return true;
}

void FocusPeaking::findEdges([[maybe_unused]] bool vector)
{
    const int32_t w = m_Width, h = m_Height;
    m_Gradient.assign(size_t(w) * 3, 0);
    m_RowEdges.assign(size_t(h) + 1, 0);
    const auto light = [&](int32_t y) { return m_Light.data() + ptrdiff_t(y) * w; };
    const auto gradient = [&](int32_t y) { return m_Gradient.data() + ptrdiff_t(y % 3) * w; };
    const auto makeGradient = [&](int32_t y) {
        int32_t done = 1;
#ifdef NX_PEAKING_AVX2
        if (vector)
            done = gradientAvx2(light(y - 1), light(y), light(y + 1), w, gradient(y));
#endif
        gradientRow(light(y - 1), light(y), light(y + 1), w, gradient(y), done);
    };
    const int16_t t = int16_t(std::min(m_Threshold, kMaxGradient));
    makeGradient(kMargin - 1);
    makeGradient(kMargin);
    for (int32_t y = kMargin; y < h - kMargin; ++y) {
        makeGradient(y + 1);
        const uint16_t *above = gradient(y - 1), *row = gradient(y), *below = gradient(y + 1);
        int32_t x = kMargin;
#ifdef NX_PEAKING_AVX2
        if (vector)
            for (; x + 16 <= w - kMargin; x += 16)
                for (uint32_t bits = aboveAvx2(row + x, t); bits; bits &= bits - 1, bits &= bits - 1) {
                    const int32_t at = x + std::countr_zero(bits) / 2; // two bits a lane
                    if (isEdge(at, y, above, row, below))
                        m_Edges.push_back(at);
                }
#endif
        for (; x < w - kMargin; ++x)
            if (row[x] > t && isEdge(x, y, above, row, below))
                m_Edges.push_back(x);
        m_RowEdges[size_t(y) + 1] = int32_t(m_Edges.size());
    }
    for (int32_t y = std::max(h - kMargin, kMargin); y < h; ++y)
        m_RowEdges[size_t(y) + 1] = int32_t(m_Edges.size());
}

bool FocusPeaking::isEdge(int32_t x, int32_t y, const uint16_t* above, const uint16_t* row, const uint16_t* below) const
{
    const int32_t w = m_Width;
    const uint8_t* p = m_Light.data() + ptrdiff_t(y) * w + x;
    const auto at = [&](int32_t dx, int32_t dy) { return int32_t(p[ptrdiff_t(dy) * w + dx]); };
    const int32_t gx = at(1, -1) + 2 * at(1, 0) + at(1, 1) - at(-1, -1) - 2 * at(-1, 0) - at(-1, 1);
    const int32_t gy = at(-1, 1) + 2 * at(0, 1) + at(1, 1) - at(-1, -1) - 2 * at(0, -1) - at(1, -1);
    // Across the edge: along the gradient, to the nearest of the four directions.
    const int32_t ax = std::abs(gx), ay = std::abs(gy);
    int32_t dx = 1, dy = 0;
    if (5 * ax < 2 * ay)
        dx = 0, dy = 1;
    else if (5 * ay >= 2 * ax)
        dy = (gx > 0) == (gy > 0) ? 1 : -1;
    // The peak across the edge; of the two equal gradients beside a sharp step, the one after it.
    const uint16_t* rows[3] = { above, row, below };
    const int32_t m = row[x];
    if (m < rows[1 - dy][x - dx] || m <= rows[1 + dy][x + dx])
        return false;
    int32_t lo = 255, hi = 0;
    for (int32_t k = -kMargin; k <= kMargin; ++k) {
        const int32_t v = at(k * dx, k * dy);
        lo = std::min(lo, v), hi = std::max(hi, v);
    }
    return kSteepDen * std::abs(at(dx, dy) - at(-dx, -dy)) >= kSteepNum * (hi - lo);
}

void FocusPeaking::paint(QImage& view, ColorRef colour)
{
    const uint32_t tint = 0xFF000000u | uint32_t(RedOf(colour)) << 16 | uint32_t(GreenOf(colour)) << 8 | BlueOf(colour);
    const int32_t s = m_Step;
    // The view columns that show each grid column's cell: one run, as the composer's columns only grow.
    m_CellFirst.assign(size_t(m_Width), -1);
    m_CellEnd.assign(size_t(m_Width), -1);
    for (int32_t j = 0; j < int32_t(m_ViewColumns.size()); ++j) {
        const int32_t c = m_ViewColumns[size_t(j)] - m_OriginX;
        if (c < 0 || c / s >= m_Width)
            continue;
        if (m_CellFirst[size_t(c / s)] < 0)
            m_CellFirst[size_t(c / s)] = j;
        m_CellEnd[size_t(c / s)] = j + 1;
    }
    for (int32_t i = 0; i < int32_t(m_ViewRows.size()); ++i) {
        const int32_t r = m_ViewRows[size_t(i)] - m_OriginY;
        if (r < 0 || r / s >= m_Height)
            continue;
        const size_t g = size_t(r / s);
        if (m_RowEdges[g] == m_RowEdges[g + 1])
            continue;
        auto* line = reinterpret_cast<uint32_t*>(view.scanLine(i));
        for (int32_t e = m_RowEdges[g]; e < m_RowEdges[g + 1]; ++e) {
            const size_t c = size_t(m_Edges[size_t(e)]);
            if (m_CellFirst[c] >= 0)
                std::fill(line + m_CellFirst[c], line + m_CellEnd[c], tint);
        }
    }
}
