// The viewer's entry point. The own camera's driver is the simulated one: it answers at the real driver's
// device path, so the viewer talks to it exactly as to the camera. "--camera own|/dev/videoN" chooses the
// camera; without it the settings file's CameraSource key does, else the first video capture device, else
// the own camera.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/ViewerApp.h"
#include "platform/simcam/SimCamera.h"

int main(int argc, char* argv[])
{
    // Answered before Qt starts, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: nxviewer [--camera own|/dev/videoN|auto]\n"
                        "A viewer and measuring tool for a USB microscope camera (see nxviewer(1)).\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("nxviewer %s\n", NX_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    const auto camera = installSimulatedCamera();
    // NXVIEWER_SIM_FOCUS turns the simulated lens's focus knob: "sweep[:seconds]" or a position 0..1.
    if (const char* focus = std::getenv("NXVIEWER_SIM_FOCUS"); focus && !camera->applyFocusSetting(focus))
        std::fprintf(stderr, "NXVIEWER_SIM_FOCUS: \"%s\" is neither sweep[:seconds] nor a position 0..1\n", focus);
    CViewerApp viewer;
    viewer.cameraOption = CameraOptionFromArguments(QCoreApplication::arguments());
    viewer.InitInstance();
    return 0;
}
