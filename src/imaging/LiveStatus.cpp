#include "imaging/LiveStatus.h"

#include <cstdio>

void FrameRateMeter::count(uint32_t nowMs)
{
    if (!m_Started) {
        m_Started = true;
        m_IntervalStart = nowMs;
    }
    ++m_Frames;
    const uint32_t elapsed = nowMs - m_IntervalStart;
    if (elapsed > 1000) {
        m_Rate = double(m_Frames) * 1000.0 / double(elapsed);
        m_Frames = 0;
        m_IntervalStart = nowMs;
    }
}

QString FormatLiveStatus(int32_t captureMs, int32_t getImageMs, int32_t showImageMs, double framesPerSecond)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "NX-QB740LE Version 1.510  Capture Time %3d GetImage Time %3d  ShowImage Time %3d  Frame per "
                  "Second %.1f",
                  captureMs, getImageMs, showImageMs, framesPerSecond);
    return QString::fromLatin1(text);
}
