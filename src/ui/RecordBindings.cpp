#include "ui/RecordBindings.h"

#include "common/Contracts.h"
#include "common/ProgramLog.h"
#include "ui/ValueFormat.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/widgets/IndexedGrid.h"

#include <QApplication>
#include <QPalette>

#include <qcustomplot.h>

namespace {

constexpr int kMaxSignalSamples = VDSlot::OscSamples;

bool ValidSlot(int slot)
{
    return slot >= 0 && slot < VDSlot::Count;
}

} // namespace

TParamsControlsManager::TParamsControlsManager(const TDataStorageManager &record, TMonitorR5Logger *logger,
                                               TShowStatus showStatus)
    : record_(record), logger_(logger), showStatus_(std::move(showStatus))
{}

QColor TParamsControlsManager::ChannelBackground(int status)
{
    switch (status) {
    case 1: return TFormatUtilities::Lighten(QColor(128, 128, 0), 55);
    case 2: return TFormatUtilities::Lighten(QColor(128, 0, 0), 70);
    default: return QApplication::palette().color(QPalette::Button);
    }
}

const TParamControls &TParamsControlsManager::Controls(int slot) const
{
    CheckPreConditions(ValidSlot(slot), "TParamsControlsManager.Controls");
    return all_[slot];
}

TValueBinding &TParamsControlsManager::Add(int slot, TBindingKind kind, const char *context)
{
    CheckPreConditions(ValidSlot(slot), context);
    TValueBinding &binding = all_[slot].emplace_back();
    binding.Kind = kind;
    return binding;
}

void TParamsControlsManager::AddScaledValue(int slot, TValueWithDimensionFrame *frame, int meaningfulnessKind,
                                            int channel, int valueKind, const TLimitDescriptor &limits)
{
    CheckPreConditions(frame != nullptr && channel >= 0 && channel <= kNoChannel,
                       "TParamsControlsManager.AddScaledValue");
    TValueBinding &b = Add(slot, TBindingKind::ScaledValue, "TParamsControlsManager.AddScaledValue");
    b.Frame = frame;
    b.MeaningfulnessKind = static_cast<uint8_t>(meaningfulnessKind);
    b.Channel = static_cast<uint8_t>(channel);
    b.ValueKind = static_cast<uint8_t>(valueKind);
    b.Limits = limits;
}

void TParamsControlsManager::AddPlainValue(int slot, TValueWithDimensionFrame *frame, int decimals,
                                           int meaningfulnessKind, int channel, const TLimitDescriptor &limits)
{
    CheckPreConditions(frame != nullptr && channel >= 0 && channel <= kNoChannel && decimals >= 0 && decimals <= 18,
                       "TParamsControlsManager.AddPlainValue");
    TValueBinding &b = Add(slot, TBindingKind::PlainValue, "TParamsControlsManager.AddPlainValue");
    b.Frame = frame;
    b.Decimals = static_cast<uint8_t>(decimals);
    b.MeaningfulnessKind = static_cast<uint8_t>(meaningfulnessKind);
    b.Channel = static_cast<uint8_t>(channel);
    b.Limits = limits;
}

void TParamsControlsManager::AddGridCell(int slot, TCustomIxStringGrid *grid, int valueKind,
                                         const TLimitDescriptor &limits, int channel, int meaningfulnessKind, int row,
                                         int column)
{
    CheckPreConditions(grid != nullptr && channel >= 0 && channel <= kNoChannel && row >= 0 && row <= 255 &&
                           column >= 0 && column <= 255,
                       "TParamsControlsManager.AddGridCell");
    TValueBinding &b = Add(slot, TBindingKind::GridCell, "TParamsControlsManager.AddGridCell");
    b.Grid = grid;
    b.ValueKind = static_cast<uint8_t>(valueKind);
    b.Limits = limits;
    b.Channel = static_cast<uint8_t>(channel);
    b.MeaningfulnessKind = static_cast<uint8_t>(meaningfulnessKind);
    b.Row = static_cast<uint8_t>(row);
    b.Column = static_cast<uint8_t>(column);
    b.HarmonicOrder = static_cast<uint16_t>(row + 1);
}

void TParamsControlsManager::AddBarPoint(int slot, QCPBars *series, int barPosition, int valueKind, int channel,
                                         int meaningfulnessKind)
{
    CheckPreConditions(barPosition >= 0 && channel >= 0 && channel <= kNoChannel, "TParamsControlsManager.AddBarPoint");
    TValueBinding &b = Add(slot, TBindingKind::BarPoint, "TParamsControlsManager.AddBarPoint");
    b.Bars = series;
    b.BarPosition = barPosition;
    b.ValueKind = static_cast<uint8_t>(valueKind);
    b.Channel = static_cast<uint8_t>(channel);
    b.MeaningfulnessKind = static_cast<uint8_t>(meaningfulnessKind);
}

void TParamsControlsManager::AddNotification(int slot, std::function<void()> method, const QString &name)
{
    CheckPreConditions(static_cast<bool>(method), "TParamsControlsManager.AddNotification");
    TValueBinding &b = Add(slot, TBindingKind::Notification, "TParamsControlsManager.AddNotification");
    b.Method = std::move(method);
    b.MethodName = name;
}

void TParamsControlsManager::AddShowingSignalForm(int slot, int signalGroup, int signalIndex, int sampleIndex)
{
    const int signalCount = signalGroup == 0 ? 6 : signalGroup == 1 ? 3 : 0;
    CheckPreConditions(signalIndex >= 0 && signalIndex < signalCount && sampleIndex >= 0 &&
                           sampleIndex < kMaxSignalSamples,
                       "TParamsControlsManager.AddShowingSignalForm");
    TValueBinding &b = Add(slot, TBindingKind::SignalSample, "TParamsControlsManager.AddShowingSignalForm");
    b.SignalGroup = static_cast<uint8_t>(signalGroup);
    b.SignalIndex = static_cast<uint8_t>(signalIndex);
    b.SampleIndex = sampleIndex;
}

void TParamsControlsManager::RefreshParameter(int slot)
{
    RefreshSlot(slot);
    CallDeferredNotifications();
}

void TParamsControlsManager::RefreshRange(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, VDSlot::Count - 1);
    for (int slot = first; slot <= last; ++slot)
        RefreshSlot(slot);
    CallDeferredNotifications();
}

void TParamsControlsManager::RefreshSlot(int slot)
{
    if (!ValidSlot(slot))
        return;
    const TParamControls &list = all_[slot];
    if (list.empty())
        return;
    const float value = record_.Value(slot);
    for (const TValueBinding &binding : list)
        Refresh(binding, slot, value);
}

void TParamsControlsManager::Refresh(const TValueBinding &b, int slot, float value)
{
    switch (b.Kind) {
    case TBindingKind::ScaledValue:
    case TBindingKind::PlainValue: {
        if (!b.Frame)
            return;
        const bool meaningful = record_.IsMeaningful(b.MeaningfulnessKind, b.Channel, 1);
        const int status = record_.ClassifyAgainstLimits(slot, b.Limits);
        const QColor background = ChannelBackground(record_.ChannelStatus(b.Channel));
        if (b.Kind == TBindingKind::ScaledValue)
            b.Frame->ShowScaledValue(record_.ScaleFactor(b.ValueKind), record_.DisplayDigits(b.ValueKind), background,
                                     status, meaningful, value);
        else
            b.Frame->ShowPlainValue(b.Decimals, meaningful, background, status, value);
        return;
    }
    case TBindingKind::GridCell: RefreshGridCell(b, slot, value); return;
    case TBindingKind::BarPoint: RefreshBar(b, value); return;
    case TBindingKind::Notification: DeferNotification(b); return;
    case TBindingKind::SignalSample:
        if (signalPointHandler_)
            signalPointHandler_(b.SignalGroup, b.SignalIndex, b.SampleIndex);
        return;
    }
}

void TParamsControlsManager::RefreshGridCell(const TValueBinding &b, int slot, float value)
{
    TCustomIxStringGrid *grid = b.Grid.data();
    // a cell the grid no longer has, or one a union covers, cannot show a value
    if (!grid || b.Column >= grid->ColCount() || b.Row >= grid->RowCount() ||
        grid->AboutCell(b.Column, b.Row).CellType != TCellType::ctNormal)
        return;
    const bool meaningful = record_.IsMeaningful(b.MeaningfulnessKind, b.Channel, b.HarmonicOrder);
    const int status = record_.ClassifyAgainstLimits(slot, b.Limits);

    TCellOptions options;
    options.CellType = TCellType::ctNormal;
    options.Afters = QPoint(0, 0);
    options.FontColor = QColor(0, 0, 0);
    options.FontStyle = 0;
    if (meaningful) {
        double scale = record_.ScaleFactor(b.ValueKind);
        if (scale == 0)
            scale = 1;
        grid->SetCellText(b.Column, b.Row,
                          TFormatUtilities::FormatNumber(value / scale, record_.DisplayDigits(b.ValueKind)));
        options.FontColor = TFormatUtilities::StatusColor(status);
        options.FontStyle = TFormatUtilities::StatusBold(status) ? fsBold : 0;
    } else {
        grid->SetCellText(b.Column, b.Row, kNotMeaningfulCell);
    }
    options.BrushColor = ChannelBackground(record_.ChannelStatus(b.Channel));
    grid->SetCellOptions(b.Column, b.Row, options);
}

void TParamsControlsManager::RefreshBar(const TValueBinding &b, float value)
{
    auto *bars = qobject_cast<QCPBars *>(b.Bars.data());
    if (!bars)
        return;
    const bool meaningful = record_.IsMeaningful(b.MeaningfulnessKind, b.Channel, 1);
    double scale = record_.ScaleFactor(b.ValueKind);
    if (scale == 0)
        scale = 1;
    auto data = bars->data();
    if (b.BarPosition >= data->size())
        return;
    (data->begin() + b.BarPosition)->value = meaningful ? value / scale : 0.0;
    // many bars change per block: the chart redraws once, on its next turn;
    // a hidden chart redraws when it is shown
    QCustomPlot *plot = bars->parentPlot();
    if (plot && plot->isVisible())
        plot->replot(QCustomPlot::rpQueuedReplot);
}

void TParamsControlsManager::DeferNotification(const TValueBinding &b)
{
    for (const TValueBinding *waiting : deferred_)
        if (waiting->MethodName == b.MethodName)
            return;
    deferred_.push_back(&b);
}

void TParamsControlsManager::CallDeferredNotifications()
{
    if (deferred_.empty())
        return;
    // taken first: a method that refreshes slots itself starts a list of its own
    const std::vector<const TValueBinding *> calls = std::move(deferred_);
    deferred_.clear();
    for (const TValueBinding *b : calls)
        CallNotification(b->Method, b->MethodName);
}

void TParamsControlsManager::CallNotification(const std::function<void()> &method, const QString &name)
{
    try {
        method();
    } catch (const Exception &e) {
        ReportDiagramError(name, e.Message());
    } catch (const std::exception &e) {
        // Anything else escaping here would unwind through the event loop.
        ReportDiagramError(name, QString::fromUtf8(e.what()));
    }
}

void TParamsControlsManager::ReportDiagramError(const QString &name, const QString &message)
{
    if (logger_)
        logger_->Log(kDiagramError + QLatin1Char(' ') + name + QStringLiteral(". ") + message);
    if (showStatus_)
        showStatus_(kDiagramError);
}
