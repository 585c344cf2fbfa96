// Index rules of the capture ring. The writer fills one buffer at a time; the buffer it completes becomes the
// newest, and it goes on to the next buffer that is neither that one nor the one the reader holds. The reader
// takes the newest complete buffer, dropping older ones, and holds it until its copy is done. The whole state
// packs into one word, so each side changes it with one compare-and-swap decided on the other's current state.
#pragma once

#include <cstdint>

struct RingIndices {
    static constexpr int kNone = 0xFFFF;     // no buffer
    static constexpr int kMaxCount = kNone;  // the largest ring the word can index
    int write = 0;       // the buffer being filled
    int newest = kNone;  // the last buffer completed and not yet taken
    int read = kNone;    // the buffer the reader holds

    constexpr uint64_t pack() const
    {
        return uint64_t(uint16_t(write)) | uint64_t(uint16_t(newest)) << 16 | uint64_t(uint16_t(read)) << 32;
    }
    static constexpr RingIndices unpack(uint64_t word)
    {
        return {int(word & 0xFFFF), int(word >> 16 & 0xFFFF), int(word >> 32 & 0xFFFF)};
    }
};

// The index after index in a ring of count buffers.
inline int ringNext(int index, int count)
{
    return index + 1 >= count ? 0 : index + 1;
}

// The writer has completed the buffer at write: it becomes the newest (an older untaken one is dropped), and
// the writer goes on to the next buffer, stepping over the reader's. In a ring of two with the reader holding
// the other buffer there is nowhere else to go: the writer fills the same buffer again and its frame is
// dropped rather than handed out while it is overwritten.
inline RingIndices ringComplete(RingIndices state, int count)
{
    const int done = state.write;
    int next = ringNext(done, count);
    if (next == state.read)
        next = ringNext(next, count);
    state.newest = next == done ? RingIndices::kNone : done;
    state.write = next;
    return state;
}

// The reader asks for a frame: it takes the newest complete buffer when there is one, letting go of the one
// it held. True when it then holds a frame to copy.
inline bool ringTakeNewest(RingIndices& state)
{
    if (state.newest != RingIndices::kNone) {
        state.read = state.newest;
        state.newest = RingIndices::kNone;
    }
    return state.read != RingIndices::kNone;
}
