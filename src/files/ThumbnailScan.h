// Thumbnails of a list of picture files made on every core in the background, handed over in the list's
// order as they become ready (a picture still being decoded holds back those after it). Destroying the scan
// cancels it: the threads stop after the picture they are on, and nothing more is handed over.
#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "files/ThumbnailEntry.h"

class ThumbnailScan {
public:
    using Maker = std::function<std::unique_ptr<ThumbnailEntry>(const QString& path)>;

    // threads 0: one per core.
    ThumbnailScan(std::vector<QString> paths, Maker make, unsigned threads = 0);
    ~ThumbnailScan();
    ThumbnailScan(const ThumbnailScan&) = delete;
    ThumbnailScan& operator=(const ThumbnailScan&) = delete;

    // The entries ready at the front of the list not handed over yet, in order (pictures that could not be
    // decoded are passed over).
    std::vector<std::unique_ptr<ThumbnailEntry>> TakeReady();
    // Blocks until every picture is done.
    void Wait();
    // Whether every entry has been handed over.
    bool finished() const { return m_Handed == m_Paths.size(); }
    // Pictures done (handed over or not) and in all, for a progress display.
    size_t done() const { return m_Done.load(); }
    size_t total() const { return m_Paths.size(); }

private:
    void work();

    std::vector<QString> m_Paths;
    Maker m_Make;
    std::vector<std::unique_ptr<ThumbnailEntry>> m_Made;
    std::unique_ptr<std::atomic<bool>[]> m_Ready;
    std::atomic<size_t> m_Next { 0 };
    std::atomic<size_t> m_Done { 0 };
    std::atomic<bool> m_Cancelled { false };
    size_t m_Handed = 0;
    std::mutex m_Mutex;
    std::condition_variable m_AllDone;
    std::vector<std::thread> m_Threads;
};
