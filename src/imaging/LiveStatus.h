// The live view's status line: the timings of the last pass and the frame rate over 1-second intervals.
#pragma once

#include <QString>

#include <cstdint>

class FrameRateMeter {
public:
    // Counts a frame shown at nowMs (a millisecond tick); the rate is renewed once more than a second
    // has passed since the interval began.
    void count(uint32_t nowMs);
    double rate() const { return m_Rate; }

private:
    bool m_Started = false;
    uint32_t m_IntervalStart = 0;
    uint32_t m_Frames = 0;
    double m_Rate = 0.0;
};

// "NX-QB740LE Version 1.510  Capture Time %3d GetImage Time %3d  ShowImage Time %3d  Frame per Second %.1f"
QString FormatLiveStatus(int32_t captureMs, int32_t getImageMs, int32_t showImageMs, double framesPerSecond);
