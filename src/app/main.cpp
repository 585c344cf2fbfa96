// The viewer's entry point. The own camera's driver is the simulated one: it answers at the real driver's
// device path, so the viewer talks to it exactly as to the camera. "--camera own|/dev/videoN" chooses the
// camera; without it the settings file's CameraSource key does, else the first video capture device, else
// the own camera.
#include <QApplication>

#include "app/ViewerApp.h"
#include "platform/simcam/SimCamera.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installSimulatedCamera();
    CViewerApp viewer;
    viewer.cameraOption = CameraOptionFromArguments(QCoreApplication::arguments());
    viewer.InitInstance();
    return 0;
}
