#include "files/ThumbnailScan.h"

#include <algorithm>
#include <system_error>

ThumbnailScan::ThumbnailScan(std::vector<QString> paths, Maker make, unsigned threads)
    : m_Paths(std::move(paths))
    , m_Make(std::move(make))
    , m_Made(m_Paths.size())
    , m_Ready(new std::atomic<bool>[m_Paths.size()])
{
    for (size_t i = 0; i < m_Paths.size(); ++i)
        m_Ready[i] = false;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = unsigned(std::min<size_t>(threads, m_Paths.size()));
    for (unsigned k = 0; k < threads; ++k) {
        try {
            m_Threads.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // fewer threads, same result
        }
    }
    if (m_Threads.empty() && !m_Paths.empty())
        work(); // no thread at all: done here and now
}

ThumbnailScan::~ThumbnailScan()
{
    m_Cancelled = true;
    for (std::thread& t : m_Threads)
        t.join();
}

void ThumbnailScan::work()
{
    for (size_t i; !m_Cancelled && (i = m_Next++) < m_Paths.size();) {
        m_Made[i] = m_Make(m_Paths[i]);
        m_Ready[i].store(true, std::memory_order_release); // the entry is complete before it is seen ready
        if (++m_Done == m_Paths.size()) {
            const std::lock_guard<std::mutex> lock(m_Mutex);
            m_AllDone.notify_all();
        }
    }
}

std::vector<std::unique_ptr<ThumbnailEntry>> ThumbnailScan::TakeReady()
{
    std::vector<std::unique_ptr<ThumbnailEntry>> ready;
    for (; m_Handed < m_Paths.size() && m_Ready[m_Handed].load(std::memory_order_acquire); ++m_Handed)
        if (m_Made[m_Handed])
            ready.push_back(std::move(m_Made[m_Handed]));
    return ready;
}

void ThumbnailScan::Wait()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_AllDone.wait(lock, [this] { return m_Done == m_Paths.size(); });
}
