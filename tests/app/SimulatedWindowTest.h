// The base of the main window's tests with the simulated camera: a fresh camera whose open sequence does
// not pause, a settings file with a small centred capture window, and the event loop run until a condition
// holds.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

#include "camera/CameraDevice.h"
#include "platform/simcam/SimCamera.h"

class SimulatedWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Sim = installSimulatedCamera();
        CameraDevice::setSleepHook([](uint32_t) {});
    }
    void TearDown() override
    {
        uninstallSimulatedCamera();
        CameraDevice::setSleepHook(nullptr);
    }

    // The settings file the window starts from: a small centred window keeps the tests light; extra keys
    // ("KEY=value\n" lines) come first and so win over the defaults here.
    void writeSettings(const QString& extra = QString())
    {
        QFile f(m_Dir.filePath("NxQb740Le.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(("[NX-QB740LE]\n" + extra + "EH=640\nEV=480\nEHS=704\nEVS=528\n").toUtf8());
    }

    // Runs the event loop (so the 100 ms timer ticks) until pred holds or ms have passed.
    template <typename Pred> static bool pumpUntil(Pred pred, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!pred()) {
            if (t.elapsed() > ms)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        return true;
    }
    static void pumpFor(int ms)
    {
        pumpUntil([] { return false; }, ms);
    }

    std::shared_ptr<SimCamera> m_Sim;
    QTemporaryDir m_Dir;
};
