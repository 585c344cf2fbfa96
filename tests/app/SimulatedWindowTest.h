// The base of the main window's tests with the simulated camera: a fresh camera whose open sequence does
// not pause, a settings file with a small centred capture window, and the event loop run until a condition
// holds.
#pragma once

#include <QTemporaryDir>

#include "support/LiveWindowSupport.h"

class SimulatedWindowTest : public livetest::SimulatedCameraTest {
protected:
    // The settings file the window starts from; extra keys ("KEY=value\n" lines) come first and so win.
    void writeSettings(const QString& extra = QString())
    {
        ASSERT_TRUE(livetest::writeSettings(m_Dir.path(), extra));
    }

    static constexpr int kPatientMs = livetest::kPatientMs;

    template <typename Pred> static bool pumpUntil(Pred pred, int ms) { return livetest::pumpUntil(pred, ms); }
    static void pumpFor(int ms)
    {
        livetest::pumpUntil([] { return false; }, ms);
    }

    QTemporaryDir m_Dir;
};
