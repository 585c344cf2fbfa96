// The one owner of the viewer's settings and of the view's zoom, scroll and rectangle. The user-interface
// thread changes them through it; each display pass copies what it needs at its start, under a short lock,
// and works on that copy, so a pass never sees half a change and a writer never waits for a pass.
#pragma once

#include <mutex>
#include <utility>

#include "live/ViewerSettings.h"
#include "imaging/FrameProcessor.h"
#include "imaging/ViewGeometry.h"

// What one display pass works with.
struct LiveSnapshot {
    ProcessSettings process;
    int32_t autoIrisFlg = 0;
    int32_t autoIrisMode = 0;
    int32_t whiteBalance = 0; // a white-balance measurement is asked for
    ViewGeometry view;        // the picture size is the pass's to fill in
};

class LiveSettings {
public:
    // A copy of the settings as they are now.
    ViewerSettings values() const;
    // One field (or anything computed from the settings), read under the lock.
    template <typename Read>
    auto read(Read&& get) const
    {
        std::lock_guard lock(m_Mutex);
        return std::forward<Read>(get)(std::as_const(m_Values));
    }
    // Changes settings; every pass that starts afterwards sees the whole change.
    template <typename Edit>
    void change(Edit&& edit)
    {
        std::lock_guard lock(m_Mutex);
        std::forward<Edit>(edit)(m_Values);
    }
    void replace(const ViewerSettings& values);

    // The view as the layout made it: rectangle, zoom index and scroll offsets (truncated to whole pixels).
    void setView(const Rect& view, int32_t zoomIndex, double baiX, double baiY);
    // Device pixels per window pixel of the screen the view is on (WholeDevicePixelRatio); 1 until told.
    void setDevicePixelRatio(int32_t ratio);
    // The view without the picture's size.
    ViewGeometry view() const;
    // The scroll offsets alone (a pan); the caller keeps them within the picture.
    void setScroll(double baiX, double baiY);

    LiveSnapshot snapshot() const;

    // The display pass's white-balance result: stores the gains and ends the request, but only while the
    // request still stands (it may have been withdrawn while the pass measured). Returns whether it did.
    bool completeWhiteBalance(double r, double g, double b);

private:
    ViewGeometry viewLocked() const;

    mutable std::mutex m_Mutex;
    ViewerSettings m_Values;
    Rect m_ViewRect;
    int32_t m_ZoomIndex = 1;
    int32_t m_DevicePixelRatio = 1;
};

// The processing part of the settings, as the kernel chain takes it.
ProcessSettings ProcessSettingsOf(const ViewerSettings& s);
