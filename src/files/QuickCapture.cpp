#include "files/QuickCapture.h"

#include <QFileInfo>

#include "files/CaptureName.h"
#include "files/ThumbnailStore.h"

QuickCapture::QuickCapture(Writer writer)
    : m_Write(std::move(writer))
    , m_Thread([this] { run(); })
{
}

QuickCapture::~QuickCapture()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Stop = true;
    }
    m_Wake.notify_all();
    m_Thread.join();
}

QuickCapture::Outcome QuickCapture::capture(DibImage&& picture, const QString& folder, CaptureOptions& options,
    const QString& calibName, const SaveOptions& save, const OverlayDrawer& drawer, const QDateTime& when,
    QString* path)
{
    if (picture.isEmpty())
        return Outcome::NoPicture;
    Shot shot;
    shot.format = options.format;
    shot.save = save;
    {
        std::lock_guard lock(m_Mutex);
        if (int(m_Queue.size()) + m_Writing >= kMaxPending)
            return Outcome::Busy;
        const QString base = CaptureName::Expand(options.namePattern, when, options.counter, calibName);
        shot.path = CaptureName::FreePath(folder, base, CaptureOptions::Extension(options.format),
            [this](const QString& p) { return m_Reserved.count(p) != 0 || QFileInfo::exists(p); });
        if (shot.path.isEmpty())
            return Outcome::NoName;
        m_Reserved.insert(shot.path);
    }
    // The thumbnail shows the picture without the drawing, as SAVE's does.
    ThumbnailStore::Reduce(picture, shot.thumbnail);
    // BMP and JPEG hold colour only, and the drawing needs colour: a grey picture becomes a colour copy.
    const bool colour = drawer || shot.format == kSaveBmp || shot.format == kSaveJpeg;
    if (colour && picture.bitsPerPixel() != 24) {
        DibImage copy;
        if (!CopyTo24(picture, copy)) {
            std::lock_guard lock(m_Mutex);
            m_Reserved.erase(shot.path);
            return Outcome::NoPicture;
        }
        picture = std::move(copy);
    }
    if (drawer)
        drawer(picture);
    shot.picture = std::move(picture);
    ++options.counter;
    if (path)
        *path = shot.path;
    {
        std::lock_guard lock(m_Mutex);
        m_Queue.push_back(std::move(shot));
    }
    m_Wake.notify_one();
    return Outcome::Queued;
}

int QuickCapture::pending() const
{
    std::lock_guard lock(m_Mutex);
    return int(m_Queue.size()) + m_Writing;
}

std::vector<QuickCapture::Finished> QuickCapture::takeFinished()
{
    std::lock_guard lock(m_Mutex);
    return std::exchange(m_Finished, {});
}

void QuickCapture::waitUntilIdle()
{
    std::unique_lock lock(m_Mutex);
    m_Idle.wait(lock, [this] { return m_Queue.empty() && m_Writing == 0; });
}

void QuickCapture::run()
{
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_Wake.wait(lock, [this] { return m_Stop || !m_Queue.empty(); });
        if (m_Queue.empty())
            return; // stopping, and nothing left to write
        Shot shot = std::move(m_Queue.front());
        m_Queue.pop_front();
        ++m_Writing;
        lock.unlock();
        const bool written = m_Write(shot.path, shot.picture, shot.format, shot.save);
        shot.picture = DibImage();
        lock.lock();
        --m_Writing;
        m_Reserved.erase(shot.path);
        m_Finished.push_back({ shot.path, written, std::move(shot.thumbnail) });
        if (m_Queue.empty())
            m_Idle.notify_all();
    }
}
