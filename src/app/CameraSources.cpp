#include "app/CameraSources.h"

#include <algorithm>

#include "camera/OwnCameraSource.h"

CameraSources& cameraSources()
{
    // This build has no video-device source: it lists no devices and opens none, so every choice comes to
    // the own camera. A build with one sets both functions here.
    static CameraSources sources {
        [] { return std::vector<VideoSourceInfo> {}; },
        [](const VideoSourceInfo&) { return std::unique_ptr<LiveSource> {}; },
    };
    return sources;
}

std::unique_ptr<LiveSource> OpenCameraSource(const std::string& option, const std::string& stored,
                                             const CameraSources& sources)
{
    const std::vector<VideoSourceInfo> devices
        = sources.listVideoDevices ? sources.listVideoDevices() : std::vector<VideoSourceInfo> {};
    const SourceChoice choice = ChooseCameraSource(option, stored, devices);
    if (choice.kind == SourceChoice::Kind::Video && sources.openVideoDevice) {
        const auto listed = std::find_if(
            devices.begin(), devices.end(), [&](const VideoSourceInfo& d) { return d.path == choice.path; });
        const VideoSourceInfo device = listed != devices.end() ? *listed : VideoSourceInfo { choice.path, {} };
        if (std::unique_ptr<LiveSource> source = sources.openVideoDevice(device))
            return source;
    }
    return std::make_unique<OwnCameraSource>();
}
