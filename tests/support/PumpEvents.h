#pragma once

// Runs the event loop until a condition holds or time is up: how a test
// waits for queued signals from the polling thread.

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <functional>

namespace testsupport {

inline bool PumpUntil(const std::function<bool()> &condition, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QApplication::processEvents();
        if (condition())
            return true;
        QThread::msleep(5);
    }
    return condition();
}

} // namespace testsupport
