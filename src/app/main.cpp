// The viewer's entry point. The camera's driver is the simulated one: it answers at the real driver's
// device path, so the viewer talks to it exactly as to the camera.
#include <QApplication>

#include "app/ViewerApp.h"
#include "platform/simcam/SimCamera.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installSimulatedCamera();
    CViewerApp viewer;
    viewer.InitInstance();
    return 0;
}
