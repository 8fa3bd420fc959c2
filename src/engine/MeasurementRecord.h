#pragma once

// The measurement record: every value the polling thread learns from the
// meter, the meter's time-interval table and its clock. The polling thread
// writes it through the writer; the window, its bindings and the CSV saver
// read it. Each write of a block ends with a word to the record's observer.

#include "engine/LimitDescriptor.h"
#include "engine/RecordSlots.h"
#include "engine/RecordValues.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QObject>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TRecordObserver;

// The four bytes of a data request: "CMD", "CMD1", "iType", "iCount".
using TDataDescriptor = std::array<uint8_t, 4>;

class TDataStorageWriter
{
public:
    TDataStorageWriter(TRecordValues &values, TRecordObserver *observer);
    virtual ~TDataStorageWriter();

    TDataStorageWriter(const TDataStorageWriter &) = delete;
    TDataStorageWriter &operator=(const TDataStorageWriter &) = delete;

    // Decodes one data answer into the data block; tells the data changed.
    virtual void WriteData(const TDataDescriptor &descriptor, QByteArrayView answer);
    // 9 x 1280 samples, signal after signal; tells the oscillogram changed.
    virtual void WriteOscillogram(std::span<const float> samples);

    // 280 values into slots 0..279, then the display scale follows the new
    // nominals; tells slots 0..2 changed, then the nominals.
    void WriteNominals(std::span<const float> block);
    void StoreValue(int slot, float value, bool notify);

    double PhaseVoltageMultiplier() const { return phaseVoltageMultiplier_.load(std::memory_order_relaxed); }
    double LineVoltageMultiplier() const { return lineVoltageMultiplier_.load(std::memory_order_relaxed); }
    double CurrentMultiplier() const { return currentMultiplier_.load(std::memory_order_relaxed); }
    double PowerMultiplier() const { return powerMultiplier_.load(std::memory_order_relaxed); }
    int PhaseVoltageDigits() const { return phaseVoltageDigits_.load(std::memory_order_relaxed); }
    int LineVoltageDigits() const { return lineVoltageDigits_.load(std::memory_order_relaxed); }
    int CurrentDigits() const { return currentDigits_.load(std::memory_order_relaxed); }
    int PowerDigits() const { return powerDigits_.load(std::memory_order_relaxed); }

    // 1e9, 1e6, 1e3 or 1: the unit prefix a nominal of this size is shown with.
    static double MultiplierOf(double nominal);
    // Digits after the point for a value of this size (1..4).
    static int DigitsOf(double scaled);

protected:
    // Null when nobody listens.
    TRecordObserver *Observer() const { return observer_; }

    TRecordValues &values_;

private:
    TRecordObserver *observer_;
    std::atomic<double> phaseVoltageMultiplier_{1.0};
    std::atomic<double> lineVoltageMultiplier_{1.0};
    std::atomic<double> currentMultiplier_{1.0};
    std::atomic<double> powerMultiplier_{1.0};
    std::atomic<int> phaseVoltageDigits_{2};
    std::atomic<int> lineVoltageDigits_{2};
    std::atomic<int> currentDigits_{2};
    std::atomic<int> powerDigits_{2};
};

class TDataStorageManager
{
public:
    static constexpr int TimeIntervalCount = 48;

    // observer: told of every change; may be null (nobody told).
    explicit TDataStorageManager(TRecordObserver *observer);
    virtual ~TDataStorageManager();

    TDataStorageManager(const TDataStorageManager &) = delete;
    TDataStorageManager &operator=(const TDataStorageManager &) = delete;

    TDataStorageWriter *Writer() const { return writer_.get(); }

    // --- reading (any thread) ---
    // One slot; an index outside 0..14274 is a contract failure.
    float Value(int index) const;
    const TRecordValues &Values() const { return values_; }
    // A private copy of all 14275 values, each block consistent in itself.
    std::vector<float> SnapshotData() const { return values_.Snapshot(); }
    void CopyBlock(TRecordBlock block, std::span<float> dest) const { values_.CopyBlock(block, dest); }

    std::array<TTimeInterval, TimeIntervalCount> TimeIntervals() const;
    // Days since 1899-12-30, the fraction being the time of day; 0 = not read.
    double DeviceDateTime() const { return deviceDateTime_.load(std::memory_order_relaxed); }

    // Status of a voltage channel 0..5 (0, 1 or 2); 6 means no channel: 0.
    int ChannelStatus(int channel) const;
    bool IsMeaningful(int kind, int channel, int harmonicOrder) const;
    // 0 within limits, 1 above the maximum, 2 above the normal upper limit,
    // 3 below the normal lower limit, 4 below the maximum lower limit.
    int ClassifyAgainstLimits(int slot, const TLimitDescriptor &limits) const;
    // Whether the meter clock lies in one of the meter's time intervals.
    bool InLimitPeriod() const;
    // Value kinds: 1 phase voltage, 2 line voltage, 3 current, 4 power.
    double ScaleFactor(int valueKind) const;
    int DisplayDigits(int valueKind) const;

    // --- writing (the polling thread; Clear also the window) ---
    void StoreValue(int slot, float value, bool notify);
    void WriteNominals(std::span<const float> block);
    void WriteData(const TDataDescriptor &descriptor, QByteArrayView answer);
    void WriteOscillogram(std::span<const float> samples);
    // 48 entries of start hour, start minute, end hour, end minute. A short
    // answer fills the entries it holds and ends the table there.
    void SetTimeIntervals(QByteArrayView answer);
    void SetTimeIntervals(std::span<const TTimeInterval> intervals);
    // Tells the device time changed when the stored value changes.
    void SetDeviceDateTime(double value);
    void SetDeviceDateTime(const QDateTime &moment) { SetDeviceDateTime(EncodeDateTime(moment)); }
    // All slots and the clock to 0; intervals and display scale stay.
    void Clear();

    // Day-count date-time of the record (local time); invalid gives 0.
    static double EncodeDateTime(const QDateTime &moment);
    static QDateTime DecodeDateTime(double value);

protected:
    void SetWriter(std::unique_ptr<TDataStorageWriter> writer) { writer_ = std::move(writer); }
    TRecordValues &MutableValues() { return values_; }

private:
    TDataStorageWriter &RequireWriter(const char *context) const;
    float U1(int channel) const { return values_.Get(VDSlot::U1 + channel); }
    float I1(int phase) const { return values_.Get(VDSlot::I1 + phase); }

    TRecordObserver *observer_;
    TRecordValues values_;
    std::unique_ptr<TDataStorageWriter> writer_;
    std::array<std::atomic<uint32_t>, TimeIntervalCount> timeIntervals_{};
    std::atomic<double> deviceDateTime_{0.0};
};

// The record of the Tarvel meters: the data answer is decoded by TWriterVD
// (made where the decoder lives).
class TDataStorageManagerVD : public TDataStorageManager
{
public:
    explicit TDataStorageManagerVD(TRecordObserver *observer = nullptr);
};
