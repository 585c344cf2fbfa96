// The viewer's entry point.
#include <QApplication>

#include "app/ViewerApp.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    CViewerApp viewer;
    viewer.InitInstance();
    return 0;
}
