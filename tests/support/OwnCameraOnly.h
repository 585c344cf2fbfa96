// Window tests run on the simulated own camera even on a machine with a video camera plugged in: included
// by one file of a test program, it empties the device list the window chooses from (a test that wants a
// video device sets its own).
#pragma once

#include "live/CameraSources.h"

namespace livetest {

inline const bool g_OwnCameraOnly = [] {
    cameraSources().listVideoDevices = [] { return std::vector<VideoDeviceInfo> {}; };
    return true;
}();

} // namespace livetest
