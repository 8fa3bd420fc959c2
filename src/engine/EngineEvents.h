#pragma once

// What the engine tells its users: the window, the headless poller, tests.
// The signals are emitted on the polling thread as well as on the thread of
// the caller; a receiver on another thread gets them queued, in order, so
// the polling thread never waits for it. A receiver that may live on the
// emitting thread connects with Qt::QueuedConnection to keep that order.

#include "engine/LinkStatistics.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <mutex>

enum TRunState : uint8_t {
    rsRunning = 0,
    rsStopped = 1,
    rsStopRequested = 2,
};

enum TSeverity : uint8_t {
    svInformation = 0,
    svWarning = 1,
    svError = 2,
};

// The numbers under which the engine's messages are known in logs and tests.
enum TEngineMessage : int {
    emPollStateChanged = 1104,
    emValueChanged = 1105,
    emStatusText = 1106,
    emNominalsChanged = 1107,
    emDataChanged = 1108,
    emOscillogramChanged = 1109,
    emFirstOscillogram = 1120,
    emDeviceTimeChanged = 1121,
};

// What the measurement record tells of its changes; it knows nothing more
// of whoever listens.
class TRecordObserver
{
public:
    virtual ~TRecordObserver() = default;
    // A single value; the nominals are also told one by one.
    virtual void RecordValueChanged(int slot) = 0;
    virtual void RecordNominalsChanged() = 0;
    virtual void RecordDataChanged() = 0;
    virtual void RecordOscillogramChanged() = 0;
    virtual void RecordDeviceTimeChanged() = 0;
};

class TEngineEvents : public QObject, public TRecordObserver
{
    Q_OBJECT

public:
    static constexpr int kMaxStatusLength = 255;

    using QObject::QObject;

    // The status line's text, cut to kMaxStatusLength characters. An
    // information that repeats the text shown last is not told again (a run
    // reports its progress every cycle); warnings and errors always are.
    void ShowStatus(const QString &text, TSeverity severity);
    // The next status is told whatever it is (a new run starts).
    void ForgetShownStatus();

    void RecordValueChanged(int slot) override { emit ValueChanged(slot); }
    void RecordNominalsChanged() override { emit NominalsChanged(); }
    void RecordDataChanged() override { emit DataChanged(); }
    void RecordOscillogramChanged() override { emit OscillogramChanged(); }
    void RecordDeviceTimeChanged() override { emit DeviceTimeChanged(); }

private:
    std::mutex statusMutex_;
    QString lastStatus_;
    TSeverity lastSeverity_ = svInformation;
    bool statusShown_ = false;

signals:
    void StatusChanged(const QString &text, TSeverity severity);
    // The run state as it was set; a receiver that judges the run asks the
    // engine's current state, which may have moved on since.
    void RunStateChanged(TRunState state);
    void ValueChanged(int slot);
    void NominalsChanged();
    void DataChanged();
    void OscillogramChanged();
    void DeviceTimeChanged();
    // The first oscillogram of a run has been read.
    void FirstOscillogram();
    // The link's counters of the current run: zero at its start, then after
    // each cycle, each oscillogram and at its end.
    void LinkStatisticsChanged(const TLinkStatistics &statistics);
};
