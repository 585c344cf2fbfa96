// Hands the composed view pictures from the display thread to the user-interface thread. Three buffers:
// the display thread composes into its own, publishing swaps it with the ready one, and the UI thread
// swaps the ready one with the one it paints. Each side holds the lock only for a pointer swap, so
// neither waits for the other's work and no picture is ever seen half-written.
#pragma once

#include <memory>
#include <mutex>

#include "imaging/DibImage.h"
#include "imaging/Rect.h"

class ViewPublisher {
public:
    ViewPublisher();

    // Display thread: the picture to compose into.
    DibImage& back() { return *m_Back; }
    // Display thread: makes back() the newest picture, to be shown at viewRect.
    void publish(const Rect& viewRect);

    // UI thread: takes the newest picture if one was published since the last take. The picture stays
    // valid, untouched by the display thread, until the next take.
    bool take();
    const DibImage& front() const { return *m_Front; }
    Rect frontRect() const { return m_FrontRect; }

private:
    std::mutex m_Mutex;
    std::unique_ptr<DibImage> m_Back, m_Ready, m_Front;
    Rect m_ReadyRect, m_FrontRect;
    bool m_Fresh = false;
};
