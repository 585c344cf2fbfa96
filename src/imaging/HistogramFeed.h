// Hands the live picture's histogram from the display thread to the user-interface thread: the display pass
// measures the picture it shows while someone watches, and the watcher polls for a newer one.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "imaging/Histogram.h"

class HistogramFeed {
public:
    // User-interface thread: whether a histogram is wanted (a dialog showing it is open).
    void setWanted(bool wanted) { m_Wanted = wanted; }
    bool wanted() const { return m_Wanted.load(); }

    // Display thread: measures the picture (sampled) and makes it the latest.
    void measure(const DibImage& picture);

    // Copies the latest histogram into out when it is newer than seen (a sequence number, 0 before any) and
    // moves seen on. Returns whether it copied.
    bool takeNewer(uint64_t& seen, Histogram& out) const;

private:
    std::atomic<bool> m_Wanted { false };
    Histogram m_Work; // the display thread's own
    mutable std::mutex m_Mutex;
    Histogram m_Latest;
    uint64_t m_Sequence = 0;
};
