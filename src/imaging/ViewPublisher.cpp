#include "imaging/ViewPublisher.h"

#include <utility>

ViewPublisher::ViewPublisher()
    : m_Back(std::make_unique<ViewPicture>()), m_Ready(std::make_unique<ViewPicture>()),
      m_Front(std::make_unique<ViewPicture>())
{
}

void ViewPublisher::publish()
{
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(m_Mutex);
    std::swap(m_Back, m_Ready);
    m_Fresh = true;
    if (m_Published != Clock::time_point {})
        m_Interval = now - m_Published;
    m_Published = now;
}

bool ViewPublisher::take()
{
    std::lock_guard lock(m_Mutex);
    if (!m_Fresh)
        return false;
    std::swap(m_Front, m_Ready);
    m_Fresh = false;
    return true;
}

ViewPublisher::Clock::time_point ViewPublisher::lastPublished() const
{
    std::lock_guard lock(m_Mutex);
    return m_Published;
}

ViewPublisher::Clock::duration ViewPublisher::lastInterval() const
{
    std::lock_guard lock(m_Mutex);
    return m_Interval;
}
