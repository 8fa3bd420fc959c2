#pragma once

// The holder of the engine's shared objects: poll settings, measurement
// record, polling manager, program log and the window that receives the
// engine's messages. Created by the main window at start, freed at its end.

#include "common/ProgramLog.h"

#include <QObject>
#include <QPointer>
#include <memory>
#include <mutex>

class TCommons;
class TConnectionSettings;
class TDataStorageManager;
class TRequestThreadManager;

// Makes the engine objects of one meter family.
class TObjectsFactory
{
public:
    virtual ~TObjectsFactory() = default;
    virtual std::unique_ptr<TDataStorageManager> CreateStore(QObject *window) const = 0;
    virtual std::unique_ptr<TRequestThreadManager> CreateManager(TCommons &commons) const = 0;
    virtual std::unique_ptr<TConnectionSettings> CreateSettings() const = 0;
};

class TCommons
{
public:
    // Without a factory only the log exists (the window can still show and
    // log; it refuses to poll).
    TCommons(const TObjectsFactory *factory, QObject *window);
    // Logs to the given file instead of the program's own (tools, tests);
    // an empty name means the program's own.
    TCommons(const TObjectsFactory *factory, QObject *window, const QString &logFileName);
    ~TCommons();

    TCommons(const TCommons &) = delete;
    TCommons &operator=(const TCommons &) = delete;

    TConnectionSettings *Settings() const;
    TDataStorageManager *Store() const;
    TRequestThreadManager *Manager() const;
    TMonitorR5Logger &Logger() { return *logger_; }
    QObject *Window() const { return window_.data(); }

    // Status text for the window's status line, cut to 255 characters; a
    // failed post drops it.
    void PostStatus(const QString &text) const;

    static constexpr int kMaxStatusLength = 255;

private:
    void CreateObjects(const TObjectsFactory *factory);

    mutable std::mutex lock_;
    QPointer<QObject> window_;
    std::unique_ptr<TConnectionSettings> settings_;
    std::unique_ptr<TDataStorageManager> store_;
    std::unique_ptr<TRequestThreadManager> manager_;
    std::unique_ptr<TMonitorR5Logger> logger_;
};
