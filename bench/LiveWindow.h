// The main window of the live-view benchmarks: a settings file of the given keys in a temporary folder, a
// fresh simulated camera (paced or not), and the window at 1280 x 960 on the offscreen platform, showing.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

#include "app/ViewerDlg.h"
#include "platform/simcam/SimCamera.h"

// Runs the event loop for ms milliseconds.
inline void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

class LiveWindow {
public:
    LiveWindow(const QByteArray& keys, bool paced)
    {
        QFile ini(m_Dir.filePath("NxQb740Le.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[NX-QB740LE]\n" + keys);
        ini.close();
        installSimulatedCamera()->setPaced(paced);
        m_Dlg = std::make_unique<CViewerDlg>(nullptr, m_Dir.path(), "own");
        m_Dlg->QDialog::resize(1280, 960);
        m_Dlg->show();
    }
    ~LiveWindow()
    {
        m_Dlg->done(0);
        m_Dlg.reset();
        uninstallSimulatedCamera();
    }
    LiveWindow(const LiveWindow&) = delete;
    LiveWindow& operator=(const LiveWindow&) = delete;

    CViewerDlg& dlg() { return *m_Dlg; }
    QString folder() const { return m_Dir.path(); }

private:
    QTemporaryDir m_Dir;
    std::unique_ptr<CViewerDlg> m_Dlg;
};
