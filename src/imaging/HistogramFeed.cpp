#include "imaging/HistogramFeed.h"

void HistogramFeed::measure(const DibImage& picture)
{
    // Counted outside the lock: the watcher never waits for a whole pass over the picture.
    MeasureHistogram(picture, HistogramStep(picture.width(), picture.height()), m_Work);
    std::lock_guard lock(m_Mutex);
    m_Latest = m_Work;
    ++m_Sequence;
}

bool HistogramFeed::takeNewer(uint64_t& seen, Histogram& out) const
{
    std::lock_guard lock(m_Mutex);
    if (m_Sequence == seen)
        return false;
    out = m_Latest;
    seen = m_Sequence;
    return true;
}
