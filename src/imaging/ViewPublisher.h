// Hands the composed view pictures from the display thread to the user-interface thread. Three buffers:
// the display thread composes into its own, publishing swaps it with the ready one, and the UI thread
// swaps the ready one with the one it paints. Each side holds the lock only for a pointer swap, so
// neither waits for the other's work and no picture is ever seen half-written. Every picture travels with
// the geometry it was composed with.
#pragma once

#include <QImage>

#include <chrono>
#include <memory>
#include <mutex>

#include "imaging/ViewGeometry.h"

struct ViewPicture {
    QImage image;          // top-down, as the UI paints it
    ViewGeometry geometry; // the view rectangle, zoom, scroll and picture size it shows
    // The camera frame it shows: its number and when it came (steady clock, microseconds); 0 for a picture
    // composed from no new frame.
    uint64_t frameNumber = 0;
    int64_t frameTimeUs = 0;
};

class ViewPublisher {
public:
    using Clock = std::chrono::steady_clock;

    ViewPublisher();

    // Display thread: the picture to compose into.
    ViewPicture& back() { return *m_Back; }
    // Display thread: makes back() the newest picture.
    void publish();

    // UI thread: takes the newest picture if one was published since the last take. The picture stays
    // valid, untouched by the display thread, until the next take.
    bool take();
    const ViewPicture& front() const { return *m_Front; }
    // When the newest picture was published, and the time between the last two (zero before two).
    Clock::time_point lastPublished() const;
    Clock::duration lastInterval() const;

private:
    mutable std::mutex m_Mutex;
    std::unique_ptr<ViewPicture> m_Back, m_Ready, m_Front;
    bool m_Fresh = false;
    Clock::time_point m_Published {};
    Clock::duration m_Interval {};
};
