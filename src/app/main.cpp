// The viewer's entry point.
#include <QApplication>
#include <QDialog>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QDialog window;
    window.setWindowTitle("NX-QB740LE Version 1.510");
    window.resize(1120, 820);
    window.show();
    return app.exec();
}
