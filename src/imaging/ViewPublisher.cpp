#include "imaging/ViewPublisher.h"

#include <utility>

ViewPublisher::ViewPublisher()
    : m_Back(std::make_unique<DibImage>()), m_Ready(std::make_unique<DibImage>()),
      m_Front(std::make_unique<DibImage>())
{
}

void ViewPublisher::publish(const Rect& viewRect)
{
    std::lock_guard lock(m_Mutex);
    std::swap(m_Back, m_Ready);
    m_ReadyRect = viewRect;
    m_Fresh = true;
}

bool ViewPublisher::take()
{
    std::lock_guard lock(m_Mutex);
    if (!m_Fresh)
        return false;
    std::swap(m_Front, m_Ready);
    m_FrontRect = m_ReadyRect;
    m_Fresh = false;
    return true;
}
