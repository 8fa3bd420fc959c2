#pragma once

// The engine as its users see it: it builds and owns the poll settings, the
// measurement record, the polling manager, the program log and the object
// whose signals tell what the engine does. Created by the main window (or a
// tool, or a test) at start, freed at its end; nothing inside the engine
// knows it.

#include "common/ProgramLog.h"
#include "engine/EngineEvents.h"
#include "engine/ObjectsFactory.h"

#include <QString>
#include <climits>
#include <cstdint>
#include <memory>

class TCycleSink;

class TCommons
{
public:
    // Without a factory only the log and the signals exist (the window can
    // still show and log; it refuses to poll). logFileName: the log to write
    // instead of the program's own (tools, tests); empty means the program's.
    explicit TCommons(const TObjectsFactory *factory, const QString &logFileName = QString());
    ~TCommons();

    TCommons(const TCommons &) = delete;
    TCommons &operator=(const TCommons &) = delete;

    // Connect here for the engine's output (on the thread that made the
    // engine).
    TEngineEvents &Events() { return *events_; }
    TConnectionSettings *Settings() const { return settings_.get(); }
    TDataStorageManager *Store() const { return store_.get(); }
    TMonitorR5Logger &Logger() { return *logger_; }

    // --- the polling run; without a factory nothing runs ---
    // Starts a run with the settings as they are now, only when stopped.
    void Start();
    // Asks the run to stop; it finishes the exchange in progress.
    void Stop();
    // The same from a signal handler: lock-free; a Stop() later wakes the
    // run's pauses.
    void StopFromSignalHandler();
    // Waits until the last run's thread has ended; true when it has.
    bool WaitForThread(unsigned long ms = ULONG_MAX);
    TRunState RunState() const;
    // The last status stored by the run and its severity.
    TSeverity Severity() const;
    QString StatusText() const;
    // The factory number of the device of the last started run.
    int32_t LastDeviceNumber() const;
    void SetSaveOscillograms(bool save);
    // False: runs started from now on send no oscillogram requests.
    void SetReadOscillograms(bool read);
    // Who keeps the whole cycles of the runs started from now on (null:
    // nobody); it must outlive them.
    void SetCycleSink(TCycleSink *sink);
    // The mains periods the next oscillogram request asks for (2..20).
    void SetOscPeriods(uint8_t periods);
    uint8_t OscPeriods() const;

private:
    // Made first and freed last: the others tell it what they do.
    std::unique_ptr<TEngineEvents> events_;
    std::unique_ptr<TMonitorR5Logger> logger_;
    std::unique_ptr<TConnectionSettings> settings_;
    std::unique_ptr<TDataStorageManager> store_;
    // Declared last so that it goes first: it waits for a polling thread
    // that may still be writing to the log and the record.
    std::unique_ptr<TRequestThreadManager> manager_;
};
