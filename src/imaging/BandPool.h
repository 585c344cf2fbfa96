// A small pool of worker threads that runs the bands of one job at a time. The calling thread takes part;
// between jobs the workers sleep on a condition variable, so an idle pool costs no processor time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class BandPool {
public:
    // threads counts the caller: a pool of 1 has no workers and runs every band on the caller's thread.
    explicit BandPool(int threads);
    ~BandPool();
    BandPool(const BandPool&) = delete;
    BandPool& operator=(const BandPool&) = delete;

    int threads() const { return int(m_Workers.size()) + 1; }

    // Runs task(context, band) for every band 0 .. count - 1 and returns when all have finished. Neither
    // this nor the workers allocate.
    void Run(int count, void (*task)(void*, int), void* context);

    template <class F> void Run(int count, F& f)
    {
        Run(
            count, [](void* c, int band) { (*static_cast<F*>(c))(band); }, &f);
    }

private:
    void WorkerLoop();
    // Takes and runs bands of the current job until none is left.
    void RunBands(std::unique_lock<std::mutex>& lock);

    std::mutex m_Mutex;
    std::condition_variable m_Wake; // a job was posted, or the pool is closing
    std::condition_variable m_Done; // the last band of the job finished
    std::vector<std::thread> m_Workers;
    uint64_t m_Job = 0; // counts posted jobs; a worker runs each job it sees once
    bool m_Closing = false;
    void (*m_Task)(void*, int) = nullptr;
    void* m_Context = nullptr;
    int m_Count = 0;
    int m_Next = 0; // the next band nobody has taken
    int m_Unfinished = 0; // bands taken or not yet taken that have not finished
};
