#include "stack/FocusStackJob.h"

FocusStackJob::~FocusStackJob()
{
    cancel();
    if (m_Thread.joinable())
        m_Thread.join();
}

void FocusStackJob::start(std::vector<DibImage> frames)
{
    m_Frames = std::move(frames);
    m_FrameCount = int(m_Frames.size());
    m_Thread = std::thread([this] {
        StackProgress progress;
        progress.report = [this](int done, int total) {
            m_Total = total;
            m_Done = done;
        };
        progress.cancel = &m_Cancel;
        m_Result = FuseFocusStack(m_Frames, m_Fused, progress);
        std::vector<DibImage>().swap(m_Frames); // the stack's memory goes back at once
        if (m_Result != StackResult::Done)
            m_Fused = DibImage();
        m_Finished = true;
    });
}

StackResult FocusStackJob::take(DibImage& picture)
{
    if (m_Thread.joinable())
        m_Thread.join();
    if (m_Result == StackResult::Done)
        picture = std::move(m_Fused);
    return m_Result;
}
