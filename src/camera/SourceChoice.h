// Which camera the viewer opens: the command line's choice, else the settings file's, else the first video
// capture device, else the viewer's own camera.
#pragma once

#include <string>
#include <vector>

#include "camera/VideoDevice.h"

struct SourceChoice {
    enum class Kind { Own, Video };
    Kind kind = Kind::Own;
    std::string path; // the video device's path (Video only)
    bool operator==(const SourceChoice&) const = default;
};

// option: the command line's "--camera" value (empty when not given); stored: the settings' CameraSource
// value (empty: automatic). Each is "own", a device path ("/dev/videoN"), or empty/"auto" for the automatic
// choice: the first of devices, or the own camera when there is none. A path is taken as given even when the
// list lacks it (the device may answer anyway); anything else counts as automatic. The command line wins.
// A video device's frame size as the settings give it ("1280x720"; spaces and a capital X allowed): true with
// width and height set for a size of 1 to 8192 each way, false (both left alone) for anything else.
bool ParseFrameSize(const std::string& text, int* width, int* height);

SourceChoice ChooseCameraSource(const std::string& option, const std::string& stored,
                                const std::vector<VideoDeviceInfo>& devices);
