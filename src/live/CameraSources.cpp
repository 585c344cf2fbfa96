#include "live/CameraSources.h"

#include <algorithm>

#include "camera/OwnCameraSource.h"
#include "camera/VideoCameraSource.h"

CameraSources& cameraSources()
{
    static CameraSources sources { &VideoDevice::List, &VideoCameraSource::Open };
    return sources;
}

std::unique_ptr<LiveSource> OpenCameraSource(const std::string& option, const std::string& stored,
                                             const CameraSources& sources, const std::string& size,
                                             std::string* notOpened, std::string* denied)
{
    if (notOpened)
        notOpened->clear();
    if (denied)
        denied->clear();
    int width = 0, height = 0;
    ParseFrameSize(size, &width, &height);
    const std::vector<VideoDeviceInfo> devices
        = sources.listVideoDevices ? sources.listVideoDevices() : std::vector<VideoDeviceInfo> {};
    const SourceChoice choice = ChooseCameraSource(option, stored, devices);
    if (choice.kind == SourceChoice::Kind::Video && sources.openVideoDevice) {
        const auto listed = std::find_if(
            devices.begin(), devices.end(), [&](const VideoDeviceInfo& d) { return d.path == choice.path; });
        const VideoDeviceInfo device = listed != devices.end() ? *listed : VideoDeviceInfo { choice.path, {} };
        if (std::unique_ptr<LiveSource> source = sources.openVideoDevice(device, width, height))
            return source;
    }
    if (choice.kind == SourceChoice::Kind::Video && notOpened)
        *notOpened = choice.path;
    // A camera that is there but refuses this user is not "no camera": the user can be told how to get in.
    // The own camera asked for by name needs no such word.
    const std::vector<std::string> refused
        = denied && sources.listDeniedDevices ? sources.listDeniedDevices() : std::vector<std::string> {};
    if (!refused.empty()) {
        const bool automatic = choice.kind == SourceChoice::Kind::Own
            && ChooseCameraSource(option, stored, { { refused.front(), {} } }).kind == SourceChoice::Kind::Video;
        if (automatic)
            *denied = refused.front();
        else if (choice.kind == SourceChoice::Kind::Video
                 && std::find(refused.begin(), refused.end(), choice.path) != refused.end())
            *denied = choice.path;
    }
    return std::make_unique<OwnCameraSource>();
}
