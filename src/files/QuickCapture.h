// Quick capture: the picture saved into the save folder at a key, without a dialog and without stopping the
// live view. The caller hands over a copy of the picture; naming it, drawing the measurements on it and
// reducing its thumbnail happen at once, the encoding and writing on a worker thread, one file after the
// other, so the live view only pays for the copy. At most kMaxPending pictures wait in memory; beyond that a
// capture is refused, never dropped silently.
#pragma once

#include <QDateTime>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "files/CaptureOptions.h"
#include "files/StillSave.h"
#include "imaging/DibImage.h"

class QuickCapture {
public:
    static constexpr int kMaxPending = 8;

    enum class Outcome {
        Queued,
        Busy,      // kMaxPending pictures wait already
        NoPicture, // nothing to save, or no memory for the copy
        NoName,    // no free name in the folder
    };
    // A picture whose writing ended: written or not, and its thumbnail (without the drawing).
    struct Finished {
        QString path;
        bool written = false;
        DibImage thumbnail;
    };

    // Writes one picture file (WritePicture; tests hold the worker with their own).
    using Writer = std::function<bool(const QString& path, const DibImage& picture, int format, const SaveOptions&)>;

    // The owner collects what was written with takeFinished, on its own thread (the window at its status tick).
    explicit QuickCapture(Writer writer = &WritePicture);
    // Writes every picture still waiting before it returns: a capture that was accepted is never lost.
    ~QuickCapture();
    QuickCapture(const QuickCapture&) = delete;
    QuickCapture& operator=(const QuickCapture&) = delete;

    // Queues picture (taken over) for writing into folder as options say, named by options' pattern and
    // counter (which then counts on), with the drawing when options ask for it. path gets the file's path.
    Outcome capture(DibImage&& picture, const QString& folder, CaptureOptions& options, const QString& calibName,
        const SaveOptions& save, const OverlayDrawer& drawer, const QDateTime& when, QString* path = nullptr);
    // The pictures finished since the last call, in the order they were captured.
    std::vector<Finished> takeFinished();
    // Pictures accepted and not yet written.
    int pending() const;
    // Returns once every accepted picture is written (or failed).
    void waitUntilIdle();

private:
    struct Shot {
        QString path;
        int format = 0;
        SaveOptions save;
        DibImage picture;
        DibImage thumbnail;
    };
    void run();

    Writer m_Write;
    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::condition_variable m_Idle;
    std::deque<Shot> m_Queue;
    std::vector<Finished> m_Finished;
    std::set<QString> m_Reserved; // paths queued or being written: no other capture may take them
    int m_Writing = 0;
    bool m_Stop = false;
    std::thread m_Thread;
};
