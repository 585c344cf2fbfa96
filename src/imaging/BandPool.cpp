#include "imaging/BandPool.h"

BandPool::BandPool(int threads)
{
    for (int i = 1; i < threads; ++i)
        m_Workers.emplace_back([this] { WorkerLoop(); });
}

BandPool::~BandPool()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Closing = true;
    }
    m_Wake.notify_all();
    for (std::thread& t : m_Workers)
        t.join();
}

void BandPool::Run(int count, void (*task)(void*, int), void* context)
{
    if (count <= 0)
        return;
    if (m_Workers.empty() || count == 1) {
        for (int band = 0; band < count; ++band)
            task(context, band);
        return;
    }
    std::unique_lock<std::mutex> lock(m_Mutex);
    m_Task = task;
    m_Context = context;
    m_Count = count;
    m_Next = 0;
    m_Unfinished = count;
    ++m_Job;
    m_Wake.notify_all();
    RunBands(lock);
    m_Done.wait(lock, [this] { return m_Unfinished == 0; });
    m_Task = nullptr;
    m_Context = nullptr;
}

void BandPool::RunBands(std::unique_lock<std::mutex>& lock)
{
    while (m_Next < m_Count) {
        const int band = m_Next++;
        void (*task)(void*, int) = m_Task;
        void* context = m_Context;
        lock.unlock();
        task(context, band);
        lock.lock();
        if (--m_Unfinished == 0)
            m_Done.notify_one();
    }
}

void BandPool::WorkerLoop()
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    uint64_t seen = m_Job;
    for (;;) {
        m_Wake.wait(lock, [&] { return m_Closing || m_Job != seen; });
        if (m_Closing)
            return;
        seen = m_Job;
        RunBands(lock);
    }
}
