#pragma once

// The oscillogram as the signal-forms page presents it, free of any widget:
// the nine signals with their names, colours and visibility, the three axes
// in physical terms (voltage, current, sample number), the scaling rule and
// the representer that drives a view through ISignalsFormView.
//
// The samples shown are the representer's own copy of the record's
// oscillogram block, taken whole through the block's sequence counter: the
// polling thread may store the next oscillogram meanwhile, and a picture
// mixed of two would show steps that the network never had.

#include <QColor>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TRecordValues;
class TFormOfOneSignal;
class TAxisInfo;
class TChartInfoAndSettings;
class TSignalsFormsRepresenter;

// What the model tells its view. The view does not belong to the model.
class ISignalsFormView
{
public:
    virtual ~ISignalsFormView() = default;

    virtual void Attach(TSignalsFormsRepresenter *representer) = 0;
    virtual void Detach() = 0;
    virtual void AxisRangeChanged(TAxisInfo *axis) = 0;
    virtual void AxisAdded(TAxisInfo *axis) = 0;
    virtual void GridVisibilityChanged() = 0;
    // signal: the curve under the cursor, or null.
    virtual void CursorInfoChanged(TFormOfOneSignal *signal, TChartInfoAndSettings *settings) = 0;
    virtual void SignalColorChanged(TFormOfOneSignal *signal) = 0;
    virtual void SignalPointChanged(TFormOfOneSignal *signal, int sample) = 0;
    virtual void SignalNameChanged(TFormOfOneSignal *signal) = 0;
    virtual void SignalPointsVisibilityChanged(TFormOfOneSignal *signal) = 0;
    virtual void SignalShowingChanged(TFormOfOneSignal *signal) = 0;
    // Every sample of every signal was replaced by a new oscillogram: the
    // view takes them all at once and redraws once.
    virtual void SignalsSamplesChanged() = 0;
};

inline constexpr int kSamplesPerPeriod = 64;
inline constexpr int kMinPeriods = 2;
inline constexpr int kMaxPeriods = 20;
inline constexpr int kSignalSamples = kSamplesPerPeriod * kMaxPeriods; // 1280
inline constexpr int kVoltageSignals = 6;
inline constexpr int kCurrentSignals = 3;
inline constexpr int kAllSignals = kVoltageSignals + kCurrentSignals;

class TFormOfOneSignal
{
public:
    // samples: the signal's 1280 values (contract: view and samples given).
    TFormOfOneSignal(ISignalsFormView *view, const float *samples);

    // Contract: 0 <= sample < 1280.
    float GetPoint(int sample) const;
    const float *Samples() const { return samples_; }

    QColor Color() const { return color_; }
    const QString &Name() const { return name_; }
    bool Showing() const { return showing_; }
    bool PointsVisible() const { return pointsVisible_; }

    // Each tells the view only of a real change.
    void SetColor(const QColor &color);
    void SetName(const QString &name);
    void SetShowing(bool showing);
    void SetPointsVisible(bool visible);

private:
    ISignalsFormView *view_;
    const float *samples_;
    QColor color_ = QColor(0, 0, 0);
    QString name_;
    bool showing_ = true;
    bool pointsVisible_ = false;
};

// Ua, Ub, Uc, Uab, Ubc, Uca, then Ia, Ib, Ic, over 9 x 1280 samples.
class TAllSignalsForms
{
public:
    TAllSignalsForms(ISignalsFormView *view, const float *samples);

    TFormOfOneSignal *GetVoltage(int k) const;
    TFormOfOneSignal *GetCurrent(int k) const;
    TFormOfOneSignal *ReturnSignalForm(bool isCurrent, int k) const;
    void SetPointsVisibleAll(bool visible);

private:
    std::array<std::unique_ptr<TFormOfOneSignal>, kVoltageSignals> voltages_;
    std::array<std::unique_ptr<TFormOfOneSignal>, kCurrentSignals> currents_;
};

// One axis of the chart in physical terms.
class TAxisInfo
{
public:
    struct TInitial
    {
        QString Name;
        QString Units;
        int Decimals = 0;
        float Minimum = 0;
        float Maximum = 0;
        float Value = 0;
    };

    TAxisInfo(ISignalsFormView *view, const TInitial &initial, TChartInfoAndSettings *owner);
    virtual ~TAxisInfo() = default;

    // "Напряжение,  В": the name, a comma and the units (which start with a blank).
    virtual QString Caption() const;
    // The value with Decimals digits in the operator's number format, then the units.
    virtual QString ValueText(float value) const;

    const QString &Name() const { return name_; }
    const QString &Units() const { return units_; }
    int Decimals() const { return decimals_; }
    float Minimum() const { return minimum_; }
    float Maximum() const { return maximum_; }
    float Value() const { return value_; }
    void SetValue(float value) { value_ = value; }
    TChartInfoAndSettings *Owner() const { return owner_; }

    bool IsValueInRange() const { return minimum_ <= value_ && value_ <= maximum_; }
    // Contract: minimum <= maximum. Always tells the view.
    void SetMinimumAndMaximum(float maximum, float minimum);

private:
    ISignalsFormView *view_;
    QString name_;
    QString units_;
    int decimals_;
    float minimum_;
    float maximum_;
    float value_;
    TChartInfoAndSettings *owner_;
};

// The sample-number axis: its caption is the name alone, its values whole.
class TPointsAxis : public TAxisInfo
{
public:
    using TAxisInfo::TAxisInfo;
    QString Caption() const override;
    QString ValueText(float value) const override;
};

class TChartInfoAndSettings
{
public:
    explicit TChartInfoAndSettings(ISignalsFormView *view);

    TAxisInfo *VoltageAxis() const { return voltage_.get(); }
    TAxisInfo *CurrentAxis() const { return current_.get(); }
    TAxisInfo *PointsAxis() const { return points_.get(); }

    bool AllValuesInRange() const;
    // The axis' value text while the cursor lies inside all three ranges, else "-".
    QString AxisValueText(const TAxisInfo *axis) const;

private:
    std::unique_ptr<TAxisInfo> voltage_;
    std::unique_ptr<TAxisInfo> current_;
    std::unique_ptr<TAxisInfo> points_;
};

class TSignalsFormsRepresenter
{
public:
    // record: where the oscillograms come from (contract: both given).
    // Attaches itself to the view.
    TSignalsFormsRepresenter(ISignalsFormView *view, const TRecordValues *record);
    ~TSignalsFormsRepresenter();

    TSignalsFormsRepresenter(const TSignalsFormsRepresenter &) = delete;
    TSignalsFormsRepresenter &operator=(const TSignalsFormsRepresenter &) = delete;

    TAllSignalsForms *Forms() const { return forms_.get(); }
    TChartInfoAndSettings *Settings() const { return settings_.get(); }

    // Both vertical ranges to the peaks of all 1280 samples plus 10 % (left
    // alone while either peak is 0); the sample axis to 0 .. 64 * periods.
    void AutoScale();
    void UndoZoom();
    // The cursor left the chart above or below it, within the sample range.
    bool NeedsAutoScaleOnUndo() const;

    bool GridVisible() const { return gridVisible_; }
    void SetGridVisible(bool visible);

    // The periods the meter is asked for and the chart shows (2..20).
    int Periods() const { return periods_; }
    void SetPeriods(int periods);

    void CursorMoved(TFormOfOneSignal *signal, float voltage, float current, float sample);
    void UpdatePoint(bool isCurrent, int signal, int sample);

    // Takes the record's latest oscillogram when it differs from the one
    // shown and the picture is not frozen; true when the samples changed
    // (the view has been told).
    bool UpdateSamples();
    // A frozen picture keeps its samples while the record moves on.
    bool Frozen() const { return frozen_; }
    void SetFrozen(bool frozen) { frozen_ = frozen; }
    // All 9 x 1280 samples shown, signal after signal.
    const std::vector<float> &Samples() const { return samples_; }

private:
    ISignalsFormView *view_;
    const TRecordValues *record_;
    std::vector<float> samples_;
    // The record's version of the samples held; odd: none taken yet.
    uint32_t samplesVersion_ = 1;
    std::unique_ptr<TAllSignalsForms> forms_;
    std::unique_ptr<TChartInfoAndSettings> settings_;
    bool gridVisible_ = false;
    bool frozen_ = false;
    int periods_ = kMinPeriods;
};
