// Focus stacking: frames taken at different focus are aligned to one of them (translation and scale, since the
// magnification changes with focus) and fused into one picture sharp wherever some frame was sharp.
#pragma once

#include <atomic>
#include <functional>
#include <vector>

class DibImage;

// Where a frame sees the reference's points. A reference pixel at (x, y), top-down pixel coordinates with
// (0, 0) the centre of the top-left pixel, is found in the frame at
//   (cx + scale * (x - cx) + dx, cy + scale * (y - cy) + dy),  cx = (width - 1) / 2, cy = (height - 1) / 2,
// the centre of the picture. The identity is {0, 0, 1}.
struct FrameAlignment {
    double dx = 0.0;
    double dy = 0.0;
    double scale = 1.0;
};

// Aligns frame to reference (same size; 8-bit or 24-bit, compared on lightness): coarse to fine on a pyramid,
// Gauss-Newton on translation, scale and a brightness offset, both pictures smoothed alike so that a
// difference in focus does not pull. Frames larger than 1024 pixels across are aligned at half size.
// false when the pictures do not match or the search does not settle.
bool AlignFrame(const DibImage& reference, const DibImage& frame, FrameAlignment& alignment);

struct StackProgress {
    // Called on the thread that called FuseFocusStack, at most every 20 ms while the count of steps done
    // (two per frame and the final one) grows; done <= total.
    std::function<void(int done, int total)> report;
    // Checked at every step of each frame's work (a few tens of milliseconds apart on 2048 x 1536).
    const std::atomic<bool>* cancel = nullptr;
    // When given and the fusion is Done: each frame's alignment to the reference, one per frame (a frame left
    // out keeps scale 0).
    std::vector<FrameAlignment>* alignments = nullptr;
    // When given and the fusion is Done: how many frames were left out because they could not be aligned.
    int* leftOut = nullptr;
};

enum class StackResult { Done, Cancelled, Failed };

// Fuses frames of one size and depth (8-bit or 24-bit) into out, in the geometry of the reference, the middle
// frame frames[size / 2]. Each frame is aligned to it and fused on a Laplacian pyramid: every detail
// coefficient comes from the frame whose lightness is most active around it, the choice smoothed by a median
// so that neighbours agree; the coarsest level is the frames' mean. Colour pictures take the choice made on
// lightness for all three channels. One frame comes back as it is. Uses all cores; the memory needed beyond
// the frames does not grow with their number (about 200 MB on two cores for 2048 x 1536 colour).
// Failed for no frames, frames that differ in size or depth, more than 255 frames, frames under 16 pixels on
// a side (unless only one). A frame that cannot be aligned (the part was bumped, a hand passed the lens) is
// left out rather than spoiling the rest. On Cancelled or Failed out is left as it was.
StackResult FuseFocusStack(const std::vector<DibImage>& frames, DibImage& out, const StackProgress& progress);
