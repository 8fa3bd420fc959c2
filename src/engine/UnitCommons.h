#pragma once

// The holder of the engine's shared objects, created by the main window at
// start and living until the window is destroyed.

#include "common/UnitLog.h"

#include <QObject>
#include <QPointer>
#include <memory>

class TCommons
{
public:
    explicit TCommons(QObject *window);
    ~TCommons();

    TCommons(const TCommons &) = delete;
    TCommons &operator=(const TCommons &) = delete;

    TMonitorR5Logger &Logger() { return *logger_; }
    QObject *Window() const { return window_.data(); }

    // Status text for the window's status line, cut to 255 characters; a
    // failed post drops it.
    void PostStatus(const QString &text) const;

    static constexpr int kMaxStatusLength = 255;

private:
    QPointer<QObject> window_;
    std::unique_ptr<TMonitorR5Logger> logger_;
};
