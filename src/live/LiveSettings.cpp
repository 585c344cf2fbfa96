#include "live/LiveSettings.h"

#include <cmath>

namespace {

// Scroll offsets are whole picture pixels, so that picture, overlay and mouse map alike at every zoom.
double wholePixels(double bai) { return std::isfinite(bai) ? std::trunc(bai) : 0.0; }

} // namespace

ViewerSettings LiveSettings::values() const
{
    std::lock_guard lock(m_Mutex);
    return m_Values;
}

void LiveSettings::replace(const ViewerSettings& values)
{
    std::lock_guard lock(m_Mutex);
    m_Values = values;
}

void LiveSettings::setView(const Rect& view, int32_t zoomIndex, double baiX, double baiY)
{
    std::lock_guard lock(m_Mutex);
    m_ViewRect = view;
    m_ZoomIndex = zoomIndex;
    m_Values.m_Bai_X = wholePixels(baiX);
    m_Values.m_Bai_Y = wholePixels(baiY);
}

void LiveSettings::setScroll(double baiX, double baiY)
{
    std::lock_guard lock(m_Mutex);
    m_Values.m_Bai_X = wholePixels(baiX);
    m_Values.m_Bai_Y = wholePixels(baiY);
}

void LiveSettings::setDevicePixelRatio(int32_t ratio)
{
    std::lock_guard lock(m_Mutex);
    m_DevicePixelRatio = WholeDevicePixelRatio(ratio);
}

ViewGeometry LiveSettings::view() const
{
    std::lock_guard lock(m_Mutex);
    return viewLocked();
}

ViewGeometry LiveSettings::viewLocked() const
{
    ViewGeometry g;
    g.view = m_ViewRect;
    g.zoomIndex = m_ZoomIndex;
    g.baiX = m_Values.m_Bai_X;
    g.baiY = m_Values.m_Bai_Y;
    g.devicePixelRatio = m_DevicePixelRatio;
    return g;
}

LiveSnapshot LiveSettings::snapshot() const
{
    std::lock_guard lock(m_Mutex);
    LiveSnapshot s;
    s.process = ProcessSettingsOf(m_Values);
    s.autoIrisFlg = m_Values.m_AutoIrisFlg;
    s.autoIrisMode = m_Values.m_AutoIrisMode;
    s.whiteBalance = m_Values.m_WB_Flg;
    s.view = viewLocked();
    return s;
}

bool LiveSettings::completeWhiteBalance(double r, double g, double b)
{
    std::lock_guard lock(m_Mutex);
    if (!m_Values.m_WB_Flg)
        return false;
    m_Values.m_BayerR = r;
    m_Values.m_BayerG = g;
    m_Values.m_BayerB = b;
    m_Values.m_WB_Flg = 0;
    return true;
}

ProcessSettings ProcessSettingsOf(const ViewerSettings& v)
{
    ProcessSettings s;
    s.bayerFlg = v.m_BayerFlg;
    s.bayerMode = v.m_BayerMode;
    s.bayerR = v.m_BayerR;
    s.bayerG = v.m_BayerG;
    s.bayerB = v.m_BayerB;
    s.hls = v.m_HLS;
    s.gamma = v.Gamma;
    s.binaryFlg = v.m_BinaryFlg;
    s.binary = v.m_Binary;
    s.rgbFlg = v.m_RGBFlg;
    s.yuvFlg = v.m_YUVFlg;
    return s;
}
