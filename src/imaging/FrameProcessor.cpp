#include "imaging/FrameProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>

#include "imaging/KernelRows.h"

namespace {

// Runs a kernel with a single integer parameter over the whole image, in place.
void applyInPlace(DibImage& img, PixelKernel kernel, int32_t value)
{
    int32_t* p = &value;
    img.Apply(kernel, img, nullptr, 0, 0, &p, nullptr);
}

// A colour gain times 100, truncated. The gains come from the settings file: whatever it holds, the
// conversion to an integer stays defined (the kernel itself saturates out-of-range gains).
int32_t gainPercent(double gain)
{
    if (!std::isfinite(gain))
        return 100;
    return int32_t(std::clamp(gain * 100.0, -1.0e6, 1.0e6));
}

BayerParams bayerParams(const ProcessSettings& s)
{
    return { s.bayerMode, gainPercent(s.bayerR), gainPercent(s.bayerG), gainPercent(s.bayerB) };
}

bool hlsOn(const ProcessSettings& s)
{
    return s.hls.H != 0 || s.hls.L != 0 || s.hls.S != 0;
}

int defaultBands()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
}

} // namespace

// What one frame runs, set up once and then read by every band.
struct FrameProcessor::Chain {
    uint8_t* work = nullptr; // the picture processed in place (bottom-up rows)
    ptrdiff_t stride = 0;
    int32_t width = 0, height = 0;
    int ch = 1;
    size_t rowBytes = 0;
    const uint8_t* raw = nullptr; // the Bayer source, same size as the picture; null without Bayer
    ptrdiff_t rawStride = 0;
    std::optional<kernel::BayerRow> bayer;
    std::optional<kernel::HlsRow> hls;
    bool tone = false; // gamma and contrast as one table (and the grey threshold when nothing follows)
    kernel::ByteTable toneTable;
    std::optional<kernel::SharpenRow> sharpen;
    bool binarize = false; // after sharpening
    int32_t limit = 0;
    kernel::ByteTable threshold;

    uint8_t* row(int32_t r) const { return work + stride * r; }
    const uint8_t* rawRow(int32_t r) const { return raw + rawStride * r; }
    bool interior(int32_t r) const { return r >= 2 && r <= height - 3 && width > 4; }

    // The steps before sharpening on a row whose source is already in place.
    void pre(uint8_t* p) const
    {
        if (hls)
            hls->run(p, p, width);
        if (tone)
            kernel::mapBytes(p, p, int32_t(rowBytes), toneTable);
    }
    void post(uint8_t* p) const
    {
        if (!binarize)
            return;
        if (ch == 3)
            kernel::binarizeRgbRow(p, p, width, limit);
        else
            kernel::mapBytes(p, p, int32_t(rowBytes), threshold);
    }
    // Row r's source into out: the picture's row (or its saved copy), or its Bayer conversion. The two
    // rows at either end take the nearest converted row, as the whole-picture kernel does.
    void source(int32_t r, const uint8_t* original, uint8_t* out) const
    {
        if (bayer && height <= 4) {
            std::memset(out, 0, rowBytes);
        } else if (bayer) {
            const int32_t c = std::clamp(r, 2, height - 3);
            bayer->run(out, rawRow(c - 2), rawRow(c - 1), rawRow(c), rawRow(c + 1), width, c);
        } else if (out != original) {
            std::memcpy(out, original, rowBytes);
        }
    }
};

// Scratch memory of one band, kept between frames: four rows before sharpening, the three rows next to
// the band saved before any band writes, and the sharpening's column sums.
struct FrameProcessor::Band {
    int32_t first = 0, end = 0; // rows [first, end)
    std::vector<uint8_t> rows;
    std::vector<uint16_t> sums;
    size_t rowBytes = 0;

    void fit(size_t bytes, size_t sumCount)
    {
        rowBytes = (bytes + 63) / 64 * 64;
        if (rows.size() < 7 * rowBytes)
            rows.resize(7 * rowBytes);
        if (sums.size() < sumCount)
            sums.resize(sumCount);
    }
    uint8_t* ring(int32_t r) { return rows.data() + rowBytes * size_t(r & 3); }
    // Saved rows: first - 2, first - 1 and end.
    uint8_t* saved(int32_t r) { return rows.data() + rowBytes * size_t(r == end ? 6 : 4 + (r - (first - 2))); }

    void run(const Chain& c)
    {
        if (!c.sharpen) {
            for (int32_t r = first; r < end; ++r) {
                uint8_t* p = c.row(r);
                c.source(r, p, p);
                c.pre(p);
                c.post(p);
            }
            return;
        }
        // Each row is made ready in the ring one row ahead of the row the sharpening writes.
        const int32_t from = std::max(first - 2, 0), to = std::min(end, c.height - 1);
        for (int32_t r = from; r <= to; ++r) {
            uint8_t* ready = ring(r);
            c.source(r, r < first || r >= end ? saved(r) : c.row(r), ready);
            c.pre(ready);
            if (r - 1 >= first)
                write(c, r - 1);
        }
        if (end == c.height && c.height - 1 >= first)
            write(c, c.height - 1);
    }

    void write(const Chain& c, int32_t o)
    {
        uint8_t* out = c.row(o);
        const uint8_t* ready = ring(o);
        if (c.interior(o)) {
            const size_t edge = 2 * size_t(c.ch);
            std::memcpy(out, ready, edge);
            std::memcpy(out + c.rowBytes - edge, ready + c.rowBytes - edge, edge);
            c.sharpen->run(out, ring(o - 2), ring(o - 1), ready, ring(o + 1), c.width, c.ch, sums.data());
        } else {
            std::memcpy(out, ready, c.rowBytes);
        }
        c.post(out);
    }
};

FrameProcessor::FrameProcessor(int bands)
{
    SetBands(bands);
}

FrameProcessor::~FrameProcessor() = default;

void FrameProcessor::SetBands(int bands)
{
    m_Bands = bands <= 0 ? defaultBands() : std::min(bands, 64);
}

FrameProcessor::Gains FrameProcessor::MeasureWhiteBalance(DibImage& raw, int32_t bayerMode)
{
    BalanceStats stats;
    stats.mode = bayerMode;
    BalanceStats* p = &stats;
    raw.Apply(MeasureBalance, raw, nullptr, 0, 0, &p, nullptr);
    const auto clampGain = [](double v) { return std::clamp(v, 0.0, 2.0); };
    return { clampGain(stats.gainRed * 0.01), 1.0, clampGain(stats.gainBlue * 0.01) };
}

DibImage& FrameProcessor::Process(DibImage& raw, DibImage& color, const ProcessSettings& s)
{
    DibImage& shown = (s.bayerFlg || s.rgbFlg || s.yuvFlg) ? color : raw;
    DibImage& work = s.bayerFlg ? color : raw;
    const int ch = work.bytesPerPixel();
    const bool fits = !work.isEmpty() && (ch == 1 || ch == 3)
        && (!s.bayerFlg
            || (ch == 3 && raw.bitsPerPixel() == 8 && raw.width() == work.width() && raw.height() == work.height()));
    if (!fits) {
        ProcessWhole(raw, color, s);
        return shown;
    }
    Chain c;
    c.work = work.bits();
    c.stride = work.stride();
    c.width = work.width();
    c.height = work.height();
    c.ch = ch;
    c.rowBytes = size_t(c.width) * size_t(ch);
    if (s.bayerFlg) {
        c.raw = raw.bits();
        c.rawStride = raw.stride();
        c.bayer.emplace(bayerParams(s), 1, 3);
        if (hlsOn(s))
            c.hls.emplace(s.hls);
    }
    kernel::ByteTable table;
    for (int i = 0; i < 256; ++i)
        c.toneTable[i] = uint8_t(i);
    if (s.gamma != 100) {
        kernel::gammaTable(s.gamma, c.toneTable);
        c.tone = true;
    }
    if (s.hls.C != 0) {
        kernel::contrastTable(s.hls.C, table);
        for (uint8_t& v : c.toneTable)
            v = table[v];
        c.tone = true;
    }
    if (s.hls.SP != 0)
        c.sharpen.emplace(s.hls.SP);
    if (s.binaryFlg) {
        c.limit = kernel::binarizeLimit(s.binary);
        kernel::thresholdTable(s.binary, c.threshold);
        if (ch == 1 && !c.sharpen) { // a byte map after a byte map: one table
            for (uint8_t& v : c.toneTable)
                v = c.threshold[v];
            c.tone = true;
        } else {
            c.binarize = true;
        }
    }
    if (!c.bayer && !c.hls && !c.tone && !c.sharpen && !c.binarize)
        return shown;
    RunChain(c);
    return shown;
}

void FrameProcessor::RunChain(const Chain& c)
{
    const int bands = std::max(1, std::min(m_Bands, c.height));
    if (m_BandScratch.size() != size_t(bands))
        m_BandScratch.resize(size_t(bands));
    for (int k = 0; k < bands; ++k) {
        Band& band = m_BandScratch[size_t(k)];
        band.first = int32_t(int64_t(c.height) * k / bands);
        band.end = int32_t(int64_t(c.height) * (k + 1) / bands);
        if (!c.sharpen)
            continue;
        band.fit(c.rowBytes, kernel::SharpenRow::scratchSize(c.width, c.ch));
        // The rows next to the band as they are before any band writes: its neighbours change them.
        for (int32_t r = std::max(band.first - 2, 0); r < band.first; ++r)
            std::memcpy(band.saved(r), c.row(r), c.rowBytes);
        if (band.end < c.height)
            std::memcpy(band.saved(band.end), c.row(band.end), c.rowBytes);
    }
    if (bands > 1 && (!m_Pool || m_Pool->threads() != bands))
        m_Pool = std::make_unique<BandPool>(bands);
    auto task = [this, &c](int k) { m_BandScratch[size_t(k)].run(c); };
    if (bands == 1)
        task(0);
    else
        m_Pool->Run(bands, task);
}

void FrameProcessor::ProcessWhole(DibImage& raw, DibImage& color, const ProcessSettings& s)
{
    if (s.bayerFlg) {
        BayerParams params = bayerParams(s);
        BayerParams* p = &params;
        color.Apply(BayerToRgb, raw, nullptr, 0, 0, &p, nullptr);
        if (hlsOn(s)) {
            HlsData hls = s.hls;
            HlsData* h = &hls;
            color.Apply(AdjustHls, color, nullptr, 0, 0, &h, nullptr);
        }
    }
    DibImage& work = s.bayerFlg ? color : raw;
    const bool rgb = work.bitsPerPixel() == 24;
    if (s.gamma != 100)
        applyInPlace(work, rgb ? GammaRgb : GammaGray, s.gamma);
    if (s.hls.C != 0)
        applyInPlace(work, rgb ? ContrastRgb : ContrastGray, s.hls.C);
    const bool copyFits = m_Copy.width() == work.width() && m_Copy.height() == work.height()
        && m_Copy.bitsPerPixel() == work.bitsPerPixel();
    if (s.hls.SP != 0 && (copyFits || m_Copy.CreateLike(&work))) {
        std::memcpy(m_Copy.bits(), work.bits(), size_t(work.byteSize()));
        int32_t value = s.hls.SP;
        int32_t* p = &value;
        work.Apply(rgb ? SharpenRgb : SharpenGray, m_Copy, nullptr, 0, 0, &p, nullptr);
    }
    if (s.binaryFlg)
        applyInPlace(work, rgb ? BinarizeRgb : BinarizeGray, s.binary);
}
