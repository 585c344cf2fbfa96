// Helpers of the tests that run the camera or the main window's live view: a fresh simulated camera per test
// without the camera's settling sleeps, the event loop pumped until something holds, and a settings file with
// a small capture window.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

#include "camera/CameraDevice.h"
#include "platform/Clock.h"
#include "platform/simcam/SimCamera.h"

namespace livetest {

// The bound of a wait for something that is sure to come (a frame, a timer's tick): it runs out only when
// something is broken, never because the machine is busy or the build is a sanitizer's, so it is long.
constexpr int kPatientMs = 120000;

// Holds the millisecond clock still while it lives: every pass of the live view then sees no time pass, as on
// an infinitely fast machine, so the rules that depend on the time between frames do not depend on the load.
// Make it before the window and let it go after (the display thread reads the clock).
class StillClock {
public:
    StillClock()
    {
        setClockHook([]() -> uint32_t { return 1000; });
    }
    ~StillClock() { setClockHook(nullptr); }
    StillClock(const StillClock&) = delete;
    StillClock& operator=(const StillClock&) = delete;
};

class SimulatedCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CameraDevice::setSleepHook([](uint32_t) {});
        m_Sim = installSimulatedCamera();
    }
    void TearDown() override
    {
        uninstallSimulatedCamera();
        CameraDevice::setSleepHook(nullptr);
    }

    std::shared_ptr<SimCamera> m_Sim;
};

// Runs the event loop (so the window's timers tick) until pred holds or ms have passed.
template <typename Pred> bool pumpUntil(Pred pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

// Runs the event loop until the live view has shown no frame for quietMs (frames already under way have come
// in), at most ms in all.
template <typename Live> bool pumpUntilFramesStop(const Live& live, int quietMs, int ms)
{
    QElapsedTimer total;
    total.start();
    uint64_t last = live.framesShown();
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < quietMs) {
        if (total.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
        if (live.framesShown() != last) {
            last = live.framesShown();
            quiet.restart();
        }
    }
    return true;
}

// Writes NxQb740Le.ini into folder: the extra "KEY=value\n" lines first (so they win), then a small centred
// capture window that keeps the tests light.
inline bool writeSettings(const QString& folder, const QString& extra = QString())
{
    QFile f(folder + "/NxQb740Le.ini");
    return f.open(QIODevice::WriteOnly)
        && f.write(("[NX-QB740LE]\n" + extra + "EH=640\nEV=480\nEHS=704\nEVS=528\n").toUtf8()) > 0;
}

} // namespace livetest
