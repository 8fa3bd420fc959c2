#pragma once

// Bindings from slots of the measurement record to what shows them. Every
// display element is registered once, at window creation, under the slot it
// shows; when a slot or a block of slots changes, RefreshParameter pushes
// the value, its meaningfulness, its limit status and its channel's signal
// status into each element bound to that slot.

#include "engine/MeasurementRecord.h"

#include <QColor>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QCPBars;
class TCustomIxStringGrid;
class TMonitorR5Logger;
class TValueWithDimensionFrame;

enum class TBindingKind : uint8_t {
    ScaledValue = 0,
    PlainValue = 1,
    GridCell = 2,
    BarPoint = 3,
    Notification = 4,
    SignalSample = 5,
};

inline constexpr uint8_t kNoChannel = 6;

struct TValueBinding
{
    TBindingKind Kind = TBindingKind::ScaledValue;
    uint8_t MeaningfulnessKind = 0;
    uint8_t Channel = kNoChannel; // 0..2 phases, 3..5 lines, 6 none
    uint16_t HarmonicOrder = 1;   // grid cells: row + 1
    TLimitDescriptor Limits;
    uint8_t ValueKind = 0; // 1 phase voltage, 2 line voltage, 3 current, 4 power, 5 coefficient

    // kind 1
    uint8_t Decimals = 0;
    // kinds 0, 1
    QPointer<TValueWithDimensionFrame> Frame;
    // kind 2
    QPointer<TCustomIxStringGrid> Grid;
    uint8_t Column = 0;
    uint8_t Row = 0;
    // kind 3 (a QCPBars; kept as QObject so this header needs no chart header)
    QPointer<QObject> Bars;
    int32_t BarPosition = 0;
    // kind 4
    std::function<void()> Method;
    QString MethodName;
    // kind 5: group 0 = voltages (signals 1..6), 1 = currents (signals 7..9)
    uint8_t SignalGroup = 0;
    uint8_t SignalIndex = 0;
    int32_t SampleIndex = 0;
};

// The bindings of one slot, in registration order.
using TParamControls = std::vector<TValueBinding>;

// One binding list per slot of the record, all present from the start so a
// slot finds its list directly.
class TAllParamsControls
{
public:
    TAllParamsControls() : lists_(VDSlot::Count) {}

    int Count() const { return static_cast<int>(lists_.size()); }
    TParamControls &operator[](int slot) { return lists_[slot]; }
    const TParamControls &operator[](int slot) const { return lists_[slot]; }

private:
    std::vector<TParamControls> lists_;
};

class TParamsControlsManager
{
public:
    using TShowStatus = std::function<void(const QString &text)>;

    // record: the measurement record the bindings read; logger and
    // showStatus receive the report of a failed notification (either may
    // be empty).
    TParamsControlsManager(const TDataStorageManager &record, TMonitorR5Logger *logger, TShowStatus showStatus);

    TParamsControlsManager(const TParamsControlsManager &) = delete;
    TParamsControlsManager &operator=(const TParamsControlsManager &) = delete;

    void AddScaledValue(int slot, TValueWithDimensionFrame *frame, int meaningfulnessKind, int channel, int valueKind,
                        const TLimitDescriptor &limits = {});
    void AddPlainValue(int slot, TValueWithDimensionFrame *frame, int decimals, int meaningfulnessKind, int channel,
                       const TLimitDescriptor &limits = {});
    void AddGridCell(int slot, TCustomIxStringGrid *grid, int valueKind, const TLimitDescriptor &limits, int channel,
                     int meaningfulnessKind, int row, int column);
    void AddBarPoint(int slot, QCPBars *series, int barPosition, int valueKind, int channel, int meaningfulnessKind);
    // name: the method's name as it appears in the log when it fails. A
    // method is known by its name: bound to many slots, it still runs once
    // per refresh, after every value of the refresh has been shown.
    void AddNotification(int slot, std::function<void()> method, const QString &name);
    void AddShowingSignalForm(int slot, int signalGroup, int signalIndex, int sampleIndex);

    // Kind-5 bindings call this with (group, signal index, sample index).
    using TSignalPointHandler = std::function<void(int group, int signal, int sample)>;
    void SetSignalPointHandler(TSignalPointHandler handler) { signalPointHandler_ = std::move(handler); }

    // Refreshes every binding of the slot in registration order, the
    // notified methods last; a slot outside the record is ignored.
    void RefreshParameter(int slot);
    // Slots first..last inclusive, ascending, then each notified method once.
    void RefreshRange(int first, int last);

    // Runs a method the way a notification runs it: a failure is logged
    // and reported under the method's name instead of escaping.
    void CallNotification(const std::function<void()> &method, const QString &name);

    const TDataStorageManager &Record() const { return record_; }

    const TParamControls &Controls(int slot) const;
    const TAllParamsControls &AllControls() const { return all_; }

    // Background of a value by the signal status of its channel: button
    // face, light olive (status 1) or light maroon (status 2).
    static QColor ChannelBackground(int status);

    static inline const QString kNotMeaningfulCell = QStringLiteral("-.--");
    static inline const QString kDiagramError = QStringLiteral("Ошибка при расчете диаграмм");

private:
    TValueBinding &Add(int slot, TBindingKind kind, const char *context);
    void RefreshSlot(int slot);
    void Refresh(const TValueBinding &binding, int slot, float value);
    // A diagram drawn once per refresh shows what drawing it after each of
    // its slots would have left on the screen, at a fraction of the cost.
    void DeferNotification(const TValueBinding &binding);
    void CallDeferredNotifications();
    void RefreshGridCell(const TValueBinding &binding, int slot, float value);
    void RefreshBar(const TValueBinding &binding, float value);
    void ReportDiagramError(const QString &name, const QString &message);

    const TDataStorageManager &record_;
    TMonitorR5Logger *logger_;
    TShowStatus showStatus_;
    TAllParamsControls all_;
    TSignalPointHandler signalPointHandler_;
    std::vector<const TValueBinding *> deferred_;
};
