// Running the event loop in window tests until something has happened, or a time is up.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

// Processes events until pred() holds (true) or ms milliseconds have passed (false).
template <typename Pred>
bool pumpUntil(Pred pred, int ms)
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
