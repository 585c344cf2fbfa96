// Fusing a collected focus stack on a thread of its own, so the window stays responsive and can show the
// progress and offer a Cancel. The frames are the job's from the start and are freed as soon as the fusing
// ends, whatever its outcome.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

#include "imaging/DibImage.h"
#include "stack/FocusStack.h"

class FocusStackJob {
public:
    FocusStackJob() = default;
    FocusStackJob(const FocusStackJob&) = delete;
    FocusStackJob& operator=(const FocusStackJob&) = delete;
    // A job still running is cancelled and waited for.
    ~FocusStackJob();

    // Starts fusing frames (a job runs once).
    void start(std::vector<DibImage> frames);
    // Asks the fusing to stop; it ends shortly with StackResult::Cancelled.
    void cancel() { m_Cancel = true; }
    bool finished() const { return m_Finished.load(); }
    // Steps done of all there are, for a progress bar (0 of 0 before the first report).
    int done() const { return m_Done.load(); }
    int total() const { return m_Total.load(); }
    // The frames it was started with.
    int frameCount() const { return m_FrameCount; }
    // Once finished: the outcome, with the fused picture moved into picture when it is Done (picture is left
    // alone otherwise). Waits for the thread.
    StackResult take(DibImage& picture);

private:
    std::thread m_Thread;
    std::vector<DibImage> m_Frames;
    DibImage m_Fused;
    StackResult m_Result = StackResult::Failed;
    int m_FrameCount = 0;
    std::atomic<bool> m_Cancel { false };
    std::atomic<bool> m_Finished { false };
    std::atomic<int> m_Done { 0 };
    std::atomic<int> m_Total { 0 };
};
