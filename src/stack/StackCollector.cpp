#include "stack/StackCollector.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kSamples = 65536.0;
// A block counts as sharper when its score beats the best kept by this share...
constexpr double kMargin = 0.25;
// ...and exceeds this mean squared gradient (two-pixel differences), well above sensor noise in a flat area.
constexpr double kFloor = 64.0;
// A frame is the last kept one over again when no block's mean absolute lightness difference from it reaches
// this (about sensor noise): a frame that changed in one block only is not a duplicate.
constexpr double kDuplicateLevels = 1.5;

inline int lightness(const uint8_t* p, int bytes)
{
    if (bytes == 1)
        return *p;
    const int hi = std::max({ p[0], p[1], p[2] }), lo = std::min({ p[0], p[1], p[2] });
    return (hi + lo) / 2;
}

struct Sampled {
    std::vector<double> blocks;
    std::vector<uint8_t> samples;
    double largestChange = 0.0; // the largest mean absolute difference of a block from last
};

// Lightness at a grid of points, the mean squared gradient per block of the map, and per block the change
// from the samples of the last kept frame (when given).
Sampled sample(const DibImage& frame, const std::vector<uint8_t>& last)
{
    const int w = frame.width(), h = frame.height(), bytes = frame.bytesPerPixel();
    const int step = std::max(1, int(std::ceil(std::sqrt(double(w) * h / kSamples))));
    Sampled s;
    s.blocks.assign(StackCollector::kBlocksX * StackCollector::kBlocksY, 0.0);
    std::vector<int> counts(s.blocks.size(), 0);
    std::vector<int64_t> changes(s.blocks.size(), 0);
    s.samples.reserve(size_t((w / step + 1) * (h / step + 1)));
    for (int y = 1; y + 1 < h; y += step) {
        const uint8_t* up = frame.rowTopDown(y - 1);
        const uint8_t* row = frame.rowTopDown(y);
        const uint8_t* down = frame.rowTopDown(y + 1);
        const int by = y * StackCollector::kBlocksY / h;
        for (int x = 1; x + 1 < w; x += step) {
            const int gx = lightness(row + (x + 1) * bytes, bytes) - lightness(row + (x - 1) * bytes, bytes);
            const int gy = lightness(down + x * bytes, bytes) - lightness(up + x * bytes, bytes);
            const size_t b = size_t(by * StackCollector::kBlocksX + x * StackCollector::kBlocksX / w);
            s.blocks[b] += double(gx * gx + gy * gy);
            ++counts[b];
            const int level = lightness(row + x * bytes, bytes);
            if (s.samples.size() < last.size())
                changes[b] += std::abs(level - int(last[s.samples.size()]));
            s.samples.push_back(uint8_t(level));
        }
    }
    for (size_t b = 0; b < s.blocks.size(); ++b) {
        s.blocks[b] = counts[b] ? s.blocks[b] / counts[b] : 0.0;
        s.largestChange = std::max(s.largestChange, counts[b] ? double(changes[b]) / counts[b] : 0.0);
    }
    return s;
}

} // namespace

StackCollector::Offer StackCollector::offer(const DibImage& frame)
{
    if (frame.isEmpty() || (frame.bitsPerPixel() != 8 && frame.bitsPerPixel() != 24))
        return Offer::Mismatched;
    if (!m_Frames.empty()) {
        const DibImage& first = m_Frames.front();
        if (frame.width() != first.width() || frame.height() != first.height()
            || frame.bitsPerPixel() != first.bitsPerPixel())
            return Offer::Mismatched;
    }
    if (count() >= kMaxFrames)
        return Offer::Full;
    Sampled s = sample(frame, m_LastSamples);
    if (!m_Frames.empty()) {
        if (s.largestChange < kDuplicateLevels)
            return Offer::Duplicate;
        bool adds = false;
        for (size_t b = 0; b < s.blocks.size() && !adds; ++b)
            adds = s.blocks[b] > kFloor && s.blocks[b] > m_BestBlock[b] * (1.0 + kMargin);
        if (!adds)
            return Offer::AddsNothing;
    }
    DibImage copy;
    if (!copy.CreateLike(&frame))
        return Offer::Full; // no memory for another frame
    std::memcpy(copy.bits(), frame.bits(), size_t(frame.byteSize()));
    m_Frames.push_back(std::move(copy));
    if (m_BestBlock.empty())
        m_BestBlock = s.blocks;
    else
        for (size_t b = 0; b < s.blocks.size(); ++b)
            m_BestBlock[b] = std::max(m_BestBlock[b], s.blocks[b]);
    m_LastSamples = std::move(s.samples);
    return Offer::Kept;
}

int64_t StackCollector::bytes() const
{
    int64_t sum = 0;
    for (const DibImage& f : m_Frames)
        sum += f.byteSize();
    return sum;
}

std::vector<DibImage> StackCollector::takeFrames()
{
    std::vector<DibImage> out = std::move(m_Frames);
    clear();
    return out;
}

void StackCollector::clear()
{
    m_Frames.clear();
    m_BestBlock.clear();
    m_LastSamples.clear();
}
