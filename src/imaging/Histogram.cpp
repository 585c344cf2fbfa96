#include "imaging/Histogram.h"

namespace {

int64_t sampled(int32_t size, int32_t step)
{
    return (int64_t(size) + step - 1) / step;
}

void countGrey(const DibImage& image, int32_t step, Histogram& out)
{
    auto& grey = out.counts[Histogram::Luma];
    for (int32_t y = 0; y < image.height(); y += step) {
        const uint8_t* row = image.rowBottomUp(y);
        for (int32_t x = 0; x < image.width(); x += step)
            ++grey[row[x]];
    }
    out.counts[Histogram::Red] = grey;
    out.counts[Histogram::Green] = grey;
    out.counts[Histogram::Blue] = grey;
}

void countColour(const DibImage& image, int32_t step, Histogram& out)
{
    auto& red = out.counts[Histogram::Red];
    auto& green = out.counts[Histogram::Green];
    auto& blue = out.counts[Histogram::Blue];
    auto& luma = out.counts[Histogram::Luma];
    const ptrdiff_t pixelStep = ptrdiff_t(step) * 3;
    for (int32_t y = 0; y < image.height(); y += step) {
        const uint8_t* p = image.rowBottomUp(y);
        for (int32_t x = 0; x < image.width(); x += step, p += pixelStep) {
            const uint8_t b = p[0], g = p[1], r = p[2];
            ++blue[b];
            ++green[g];
            ++red[r];
            ++luma[Luminance(r, g, b)];
        }
    }
}

} // namespace

int32_t HistogramStep(int32_t width, int32_t height)
{
    int32_t step = 1;
    while (sampled(width, step) * sampled(height, step) > kHistogramSampleBudget)
        step += 2;
    return step;
}

void MeasureHistogram(const DibImage& image, int32_t step, Histogram& out)
{
    out = Histogram {};
    if (step < 1)
        step = 1;
    if (image.isEmpty() || (image.bitsPerPixel() != 8 && image.bitsPerPixel() != 24))
        return;
    out.pixels = uint32_t(sampled(image.width(), step) * sampled(image.height(), step));
    if (image.bitsPerPixel() == 8)
        countGrey(image, step, out);
    else
        countColour(image, step, out);
}
