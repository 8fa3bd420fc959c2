#pragma once

// The "Формы сигналов" page: the nine waveforms of the latest oscillogram
// on one chart (voltages on the left axis, currents dashed on the right),
// check boxes per signal, sample markers, grid, the periods to request, the
// read-out under the mouse, and for the engineer on site a freeze of the
// picture and a save of it as COMTRADE files.
//
// The wheel zooms, a drag with the left button pans, a double click undoes
// the zoom. The page takes a new oscillogram only while it is shown.

#include "ui/pages/SignalsForms.h"

#include <QList>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QCPAxis;
class QCPGraph;
class QCPRange;
class QCustomPlot;
class QLabel;
class QMouseEvent;
class QPushButton;
class QKeyEvent;
class QSlider;
class QToolButton;
class TCommons;

// A horizontal up-down: two arrow buttons side by side, the left one a step
// down and the right one a step up (repeating while held), and the left and
// right arrow keys while it has the focus. It shows no number of its own.
class THorizontalUpDown : public QWidget
{
    Q_OBJECT

public:
    explicit THorizontalUpDown(QWidget *parent = nullptr);

    int value() const { return value_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setRange(int minimum, int maximum);
    // Held within the range; valueChanged only when the position moves.
    void setValue(int value);
    QToolButton *LeftButton() const { return left_; }
    QToolButton *RightButton() const { return right_; }

signals:
    void valueChanged(int value);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void ShowBounds();

    int minimum_ = 0;
    int maximum_ = 99;
    int value_ = 0;
    QToolButton *left_;
    QToolButton *right_;
};

// Ties each signal to its series, check box and read-out label.
class TFormsBuisnessAndGUIConformityManager
{
public:
    struct TEntry
    {
        TFormOfOneSignal *Signal;
        QCPGraph *Series;
        QCheckBox *CheckBox;
        QLabel *Label;
    };

    explicit TFormsBuisnessAndGUIConformityManager(ISignalsFormView *view);

    // Takes the signal's look into the controls at once.
    void AddConformity(TFormOfOneSignal *signal, QCPGraph *series, QCheckBox *checkBox, QLabel *label);
    const TEntry *ConformityByCheckBox(const QObject *control) const;
    const TEntry *ConformityBySeries(const QObject *series) const;
    const TEntry *ConformityBySignalForm(const TFormOfOneSignal *signal) const;
    const QList<TEntry> &Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

private:
    ISignalsFormView *view_;
    QList<TEntry> entries_;
};

// Ties each axis description to the chart axes that show it.
class TAxisBuisnessAndGUIConformityManager
{
public:
    struct TEntry
    {
        TAxisInfo *Axis;
        QList<QCPAxis *> ChartAxes;
    };

    explicit TAxisBuisnessAndGUIConformityManager(ISignalsFormView *view);

    void AddConformity(TAxisInfo *axis, const QList<QCPAxis *> &chartAxes);
    const TEntry *ConformityByAxisInfo(const TAxisInfo *axis) const;
    void Clear() { entries_.clear(); }

private:
    ISignalsFormView *view_;
    QList<TEntry> entries_;
};

class TSignalsFormsFrame : public QWidget, public ISignalsFormView
{
    Q_OBJECT

public:
    explicit TSignalsFormsFrame(QWidget *parent = nullptr);
    ~TSignalsFormsFrame() override;

    // Makes the representer over the engine's record and follows the
    // engine's oscillograms; Disconnect before the engine goes.
    void ConnectEngine(TCommons &commons);
    void DisconnectEngine();

    TSignalsFormsRepresenter *Representer() const { return representer_; }
    // The latest stored oscillogram onto the chart (unless frozen), then
    // the scaling rule.
    void AutoScale();
    // The record stored an oscillogram (or was cleared). The chart is renewed
    // at most once per refresh interval: over a fast link oscillograms come
    // several times a second, faster than anyone reads a waveform, and each
    // costs a chart repaint. The latest one always shows.
    void OscillogramStored();
    // 0: every oscillogram at once (tests and benchmarks).
    void SetRefreshInterval(int ms) { refreshIntervalMs_ = ms; }
    static constexpr int kRefreshIntervalMs = 300;
    // Writes the oscillogram on screen as a .cfg/.dat pair chosen in the
    // file dialog; false when nothing was written.
    bool SaveShownOscillogram();

    int Periods() const { return periods_; }
    QCustomPlot *Chart() const { return chtSignalsForms; }
    // The bytes the curves keep between paints for their pixels.
    qsizetype CurveCanvasBytes() const;
    // The read-out for a point of the chart, as the mouse moving there gives.
    void CursorReadOut(const QPoint &position);

    // --- ISignalsFormView ---
    void Attach(TSignalsFormsRepresenter *representer) override;
    void Detach() override;
    void AxisRangeChanged(TAxisInfo *axis) override;
    void AxisAdded(TAxisInfo *axis) override;
    void GridVisibilityChanged() override;
    void CursorInfoChanged(TFormOfOneSignal *signal, TChartInfoAndSettings *settings) override;
    void SignalColorChanged(TFormOfOneSignal *signal) override;
    void SignalPointChanged(TFormOfOneSignal *signal, int sample) override;
    void SignalNameChanged(TFormOfOneSignal *signal) override;
    void SignalPointsVisibilityChanged(TFormOfOneSignal *signal) override;
    void SignalShowingChanged(TFormOfOneSignal *signal) override;
    void SignalsSamplesChanged() override;

    // The sample-number axis never leaves the record under zoom or pan.
    static constexpr double kFirstSample = 1;
    static constexpr double kLastSample = kSignalSamples;

    // --- controls (named as in the window's design) ---
    QWidget *pnlSettings = nullptr;
    QLabel *pnlSeparator = nullptr;
    std::array<QCheckBox *, kVoltageSignals> chkVoltage{};
    std::array<QCheckBox *, kCurrentSignals> chkCurrent{};
    QCheckBox *chkShowPoints = nullptr;
    QCheckBox *chkCoordGridVisibility = nullptr;
    QPushButton *Button1 = nullptr;
    THorizontalUpDown *ud1 = nullptr;
    QSlider *trckbr1 = nullptr;
    QCheckBox *chkFreeze = nullptr;
    QPushButton *btnSaveComtrade = nullptr;
    QCheckBox *chkSaveOscillograms = nullptr;
    QCustomPlot *chtSignalsForms = nullptr;
    QLabel *lblInfoVoltageValue = nullptr;
    QLabel *lblInfoVoltageData = nullptr;
    QLabel *lblInfoCurrentValue = nullptr;
    QLabel *lblInfoCurrentData = nullptr;
    QLabel *lblInfoPointIndexValue = nullptr;
    std::array<QCPGraph *, kVoltageSignals> lnsrsVoltage{};
    std::array<QCPGraph *, kCurrentSignals> lnsrsCurrent{};
    QCPGraph *lnsrsVoltageGrid = nullptr;
    QCPGraph *lnsrsCurrentGrid = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *BuildSettingsPanel();
    QWidget *BuildInfoPanel();
    void BuildChart();
    QCPGraph *AddSeries(const char *name, const QString &title, bool current);

    void ChangeSignalFormShowingStatus(QObject *sender, bool checked);
    void SetSeriesPointsVisibility(QObject *sender, bool checked);
    void ChangePeriods(int periods);
    void ShowPeriodsHint();
    void ToggleSettings();
    void SetFrozen(bool frozen);
    void UndoZoomByMouse();
    void KeepSampleAxisInRecord(const QCPRange &range, const QCPRange &previous);
    void ChartRedrawn();
    void KeepSampleAxisInset();
    QCPGraph *ShownSeriesAt(const QPoint &position) const;
    void FillSeries(const TFormsBuisnessAndGUIConformityManager::TEntry &entry);
    void FillAllSeries();
    void Redraw();
    void ShowLatestOscillogram();

    std::unique_ptr<TFormsBuisnessAndGUIConformityManager> forms_;
    std::unique_ptr<TAxisBuisnessAndGUIConformityManager> axes_;
    TCommons *commons_ = nullptr;
    std::unique_ptr<TSignalsFormsRepresenter> ownRepresenter_;
    TSignalsFormsRepresenter *representer_ = nullptr;
    int periods_ = kMinPeriods;
    // The series wait for the samples the representer holds (page hidden).
    bool seriesStale_ = false;
    int refreshIntervalMs_ = kRefreshIntervalMs;
    QElapsedTimer sinceRefresh_;
    QTimer refreshLater_; // a refresh held back until the interval is over
    // Set while the chart's own ranges are written back into the model, or
    // the model's ranges into the chart: neither answers the other.
    bool syncingRanges_ = false;
    // The ranges the model set last: what a double click goes back to.
    struct THome
    {
        double Lower, Upper;
    };
    QList<std::pair<QCPAxis *, THome>> home_;
};
