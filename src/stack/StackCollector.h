// Collects frames for a focus stack while the focus knob turns: a frame is kept (deep copy) only when it makes
// some part of the picture sharper than every frame kept so far and is not the last kept one over again.
// Runs on the thread that receives the frames, so each offer only samples the frame (about 64k points).
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/DibImage.h"

class StackCollector {
public:
    // Kept at full size: at most 64 x 9.4 MB (604 MB) for 2048 x 1536 colour frames.
    static constexpr int kMaxFrames = 64;
    // The sharpness map: this many blocks across and down, whatever the frame's size.
    static constexpr int kBlocksX = 16;
    static constexpr int kBlocksY = 12;

    enum class Offer {
        Kept,
        Duplicate,   // no block differs from the last kept frame by more than about noise
        AddsNothing, // no block sharper than the best kept so far by the margin
        Full,        // kMaxFrames are held already, or no memory for another
        Mismatched,  // size or depth differs from the first frame (or an empty frame)
    };

    Offer offer(const DibImage& frame);

    int count() const { return int(m_Frames.size()); }
    // Memory held by the kept frames' pixels.
    int64_t bytes() const;
    const std::vector<DibImage>& frames() const { return m_Frames; }
    // Hands over the frames (in the order kept) and starts afresh.
    std::vector<DibImage> takeFrames();
    void clear();

private:
    std::vector<DibImage> m_Frames;
    std::vector<double> m_BestBlock;     // the highest block score over the kept frames
    std::vector<uint8_t> m_LastSamples;  // the last kept frame's lightness at the sample points
};
