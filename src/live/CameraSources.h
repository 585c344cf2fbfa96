// The cameras the viewer can open besides its own: the list of video capture devices and how one is opened
// as a live source. The window takes its source from here through OpenCameraSource.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "camera/LiveSource.h"
#include "camera/SourceChoice.h"

struct CameraSources {
    // The video capture devices present now.
    std::function<std::vector<VideoDeviceInfo>()> listVideoDevices;
    // The device as a live source at width x height (0 x 0: its largest up to the sensor's size); null when
    // it does not open or is of no use.
    std::function<std::unique_ptr<LiveSource>(const VideoDeviceInfo& device, int width, int height)> openVideoDevice;
    // The device nodes this user may not open (asked only when the own camera is shown instead of a video one).
    std::function<std::vector<std::string>()> listDeniedDevices = &VideoDevice::Denied;
};

// The program's sources (tests replace the functions before they open a window).
CameraSources& cameraSources();

// The source the choice (see ChooseCameraSource) names among sources; the own camera when the choice is
// the own camera or its video device does not open.
// size: the settings' frame size for a video device ("1280x720"; empty or not a size: the largest).
// notOpened, when given, is set to the path of the chosen video device that did not open (the own camera is
// shown instead), else emptied.
// denied, when given, is set to a device node this user may not open when that is why the own camera is shown
// (the video device chosen, or any node when the choice was automatic and found no device), else emptied.
std::unique_ptr<LiveSource> OpenCameraSource(const std::string& option, const std::string& stored,
                                             const CameraSources& sources, const std::string& size = {},
                                             std::string* notOpened = nullptr, std::string* denied = nullptr);
