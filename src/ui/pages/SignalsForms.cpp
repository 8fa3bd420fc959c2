#include "ui/pages/SignalsForms.h"

#include "common/Contracts.h"
#include "engine/RecordValues.h"
#include "ui/ValueFormat.h"

#include <cmath>
#include <span>

namespace {

struct TSignalLook
{
    const char16_t *Name;
    QColor Color;
};

// The names mix the letters as the meter family's documents write them:
// "a" is Latin, "в" (U+0432) and "с" (U+0441) are Cyrillic.
const TSignalLook kVoltageLooks[kVoltageSignals] = {
    {u"Ua", QColor(255, 255, 0)},      {u"U\u0432", QColor(0, 255, 0)},           {u"U\u0441", QColor(255, 0, 0)},
    {u"Ua\u0432", QColor(102, 69, 0)}, {u"U\u0432\u0441", QColor(160, 160, 160)}, {u"U\u0441a", QColor(151, 0, 151)},
};
const TSignalLook kCurrentLooks[kCurrentSignals] = {
    {u"Ia", QColor(255, 204, 0)},
    {u"I\u0432", QColor(0, 128, 0)},
    {u"I\u0441", QColor(255, 0, 128)},
};

constexpr float kAutoScaleMargin = 0.1f;

float Peak(std::span<const float> samples)
{
    float peak = 0;
    for (float v : samples)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

} // namespace

// ----------------------------------------------------------- TFormOfOneSignal

TFormOfOneSignal::TFormOfOneSignal(ISignalsFormView *view, const float *samples) : view_(view), samples_(samples)
{
    CheckPreConditions(view != nullptr && samples != nullptr, "TFormOfOneSignal.Create");
}

float TFormOfOneSignal::GetPoint(int sample) const
{
    CheckPreConditions(sample >= 0 && sample < kSignalSamples, "TFormOfOneSignal.GetPoint");
    return samples_[sample];
}

void TFormOfOneSignal::SetColor(const QColor &color)
{
    if (color == color_)
        return;
    color_ = color;
    view_->SignalColorChanged(this);
}

void TFormOfOneSignal::SetName(const QString &name)
{
    if (name == name_)
        return;
    name_ = name;
    view_->SignalNameChanged(this);
}

void TFormOfOneSignal::SetShowing(bool showing)
{
    if (showing == showing_)
        return;
    showing_ = showing;
    view_->SignalShowingChanged(this);
}

void TFormOfOneSignal::SetPointsVisible(bool visible)
{
    if (visible == pointsVisible_)
        return;
    pointsVisible_ = visible;
    view_->SignalPointsVisibilityChanged(this);
}

// ----------------------------------------------------------- TAllSignalsForms

TAllSignalsForms::TAllSignalsForms(ISignalsFormView *view, const float *samples)
{
    CheckPreConditions(view != nullptr && samples != nullptr, "TAllSignalsForms.Create");
    for (int k = 0; k < kVoltageSignals; ++k)
        voltages_[k] = std::make_unique<TFormOfOneSignal>(view, samples + kSignalSamples * k);
    for (int k = 0; k < kCurrentSignals; ++k)
        currents_[k] = std::make_unique<TFormOfOneSignal>(view, samples + kSignalSamples * (kVoltageSignals + k));
    for (int k = 0; k < kVoltageSignals; ++k)
        voltages_[k]->SetColor(kVoltageLooks[k].Color);
    for (int k = 0; k < kCurrentSignals; ++k)
        currents_[k]->SetColor(kCurrentLooks[k].Color);
    for (int k = 0; k < kVoltageSignals; ++k)
        voltages_[k]->SetName(QString::fromUtf16(kVoltageLooks[k].Name));
    for (int k = 0; k < kCurrentSignals; ++k)
        currents_[k]->SetName(QString::fromUtf16(kCurrentLooks[k].Name));
}

TFormOfOneSignal *TAllSignalsForms::GetVoltage(int k) const
{
    CheckPreConditions(k >= 0 && k < kVoltageSignals, "TAllSignalsForms.GetVoltage");
    return voltages_[k].get();
}

TFormOfOneSignal *TAllSignalsForms::GetCurrent(int k) const
{
    CheckPreConditions(k >= 0 && k < kCurrentSignals, "TAllSignalsForms.GetCurrent");
    return currents_[k].get();
}

TFormOfOneSignal *TAllSignalsForms::ReturnSignalForm(bool isCurrent, int k) const
{
    CheckPreConditions(k >= 0 && k < (isCurrent ? kCurrentSignals : kVoltageSignals),
                       "TAllSignalsForms.ReturnSignalForm");
    return isCurrent ? currents_[k].get() : voltages_[k].get();
}

void TAllSignalsForms::SetPointsVisibleAll(bool visible)
{
    for (auto &signal : voltages_)
        signal->SetPointsVisible(visible);
    for (auto &signal : currents_)
        signal->SetPointsVisible(visible);
}

// ------------------------------------------------------------------ TAxisInfo

TAxisInfo::TAxisInfo(ISignalsFormView *view, const TInitial &initial, TChartInfoAndSettings *owner)
    : view_(view),
      name_(initial.Name),
      units_(initial.Units),
      decimals_(initial.Decimals),
      minimum_(initial.Minimum),
      maximum_(initial.Maximum),
      value_(initial.Value),
      owner_(owner)
{
    CheckPreConditions(view != nullptr, "TAxisInfo.Create");
}

QString TAxisInfo::Caption() const
{
    return name_ + QStringLiteral(", ") + units_;
}

QString TAxisInfo::ValueText(float value) const
{
    return TFormatUtilities::FormatNumber(value, decimals_) + units_;
}

void TAxisInfo::SetMinimumAndMaximum(float maximum, float minimum)
{
    CheckPreConditions(minimum <= maximum, "TAxisInfo.SetMinimumAndMaximum");
    minimum_ = minimum;
    maximum_ = maximum;
    view_->AxisRangeChanged(this);
}

QString TPointsAxis::Caption() const
{
    return Name();
}

QString TPointsAxis::ValueText(float value) const
{
    return QString::number(static_cast<long long>(std::trunc(value)));
}

// ------------------------------------------------------ TChartInfoAndSettings

TChartInfoAndSettings::TChartInfoAndSettings(ISignalsFormView *view)
    : voltage_(std::make_unique<TAxisInfo>(
          view, TAxisInfo::TInitial{QStringLiteral("Напряжение"), QStringLiteral(" В"), 3, -100, 100, 0}, this)),
      current_(std::make_unique<TAxisInfo>(
          view, TAxisInfo::TInitial{QStringLiteral("Ток"), QStringLiteral(" А"), 4, -1, 1, 0}, this)),
      points_(std::make_unique<TPointsAxis>(
          view, TAxisInfo::TInitial{QStringLiteral("Отсчёт"), QString(), 0, 1, 128, 1}, this))
{}

bool TChartInfoAndSettings::AllValuesInRange() const
{
    return voltage_->IsValueInRange() && current_->IsValueInRange() && points_->IsValueInRange();
}

QString TChartInfoAndSettings::AxisValueText(const TAxisInfo *axis) const
{
    return AllValuesInRange() ? axis->ValueText(axis->Value()) : QStringLiteral("-");
}

// --------------------------------------------------- TSignalsFormsRepresenter

TSignalsFormsRepresenter::TSignalsFormsRepresenter(ISignalsFormView *view, const TRecordValues *record)
    : view_(view), record_(record), samples_(kAllSignals * kSignalSamples, 0.0f)
{
    CheckPreConditions(view != nullptr && record != nullptr, "TSignalsFormsRepresenter.Create");
    forms_ = std::make_unique<TAllSignalsForms>(view_, samples_.data());
    settings_ = std::make_unique<TChartInfoAndSettings>(view_);
    view_->Attach(this);
    SetGridVisible(true);
    CheckPostConditions(view_ && forms_ && settings_, "TSignalsFormsRepresenter.Create");
}

TSignalsFormsRepresenter::~TSignalsFormsRepresenter()
{
    view_->Detach();
}

void TSignalsFormsRepresenter::AutoScale()
{
    const std::span<const float> all(samples_);
    float uMax = Peak(all.first(kVoltageSignals * kSignalSamples));
    float iMax = Peak(all.subspan(kVoltageSignals * kSignalSamples));
    if (uMax != 0 && iMax != 0) {
        uMax += kAutoScaleMargin * uMax;
        iMax += kAutoScaleMargin * iMax;
        settings_->VoltageAxis()->SetMinimumAndMaximum(uMax, -uMax);
        settings_->CurrentAxis()->SetMinimumAndMaximum(iMax, -iMax);
    }
    settings_->PointsAxis()->SetMinimumAndMaximum(static_cast<float>(kSamplesPerPeriod * periods_), 0);
}

void TSignalsFormsRepresenter::UndoZoom()
{
    if (NeedsAutoScaleOnUndo())
        AutoScale();
}

bool TSignalsFormsRepresenter::NeedsAutoScaleOnUndo() const
{
    return !settings_->VoltageAxis()->IsValueInRange() && !settings_->CurrentAxis()->IsValueInRange() &&
           settings_->PointsAxis()->IsValueInRange();
}

void TSignalsFormsRepresenter::SetGridVisible(bool visible)
{
    if (visible == gridVisible_)
        return;
    gridVisible_ = visible;
    view_->GridVisibilityChanged();
}

void TSignalsFormsRepresenter::SetPeriods(int periods)
{
    CheckPreConditions(periods >= kMinPeriods && periods <= kMaxPeriods, "TSignalsFormsRepresenter.SetPeriods");
    periods_ = periods;
}

void TSignalsFormsRepresenter::CursorMoved(TFormOfOneSignal *signal, float voltage, float current, float sample)
{
    settings_->VoltageAxis()->SetValue(voltage);
    settings_->CurrentAxis()->SetValue(current);
    settings_->PointsAxis()->SetValue(sample);
    view_->CursorInfoChanged(signal, settings_.get());
}

void TSignalsFormsRepresenter::UpdatePoint(bool isCurrent, int signal, int sample)
{
    view_->SignalPointChanged(forms_->ReturnSignalForm(isCurrent, signal), sample);
}

bool TSignalsFormsRepresenter::UpdateSamples()
{
    if (frozen_)
        return false;
    const uint32_t version = record_->Version(TRecordBlock::Oscillogram);
    if (version == samplesVersion_)
        return false;
    // A write that ends during the copy leaves the newer samples here under
    // the older version: the next call copies them once more, harmlessly.
    record_->CopyBlock(TRecordBlock::Oscillogram, samples_);
    samplesVersion_ = version;
    view_->SignalsSamplesChanged();
    return true;
}
