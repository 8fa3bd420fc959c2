#pragma once

// The "Тренды" page: chosen quantities of a meter over an interval of its
// clock, read from the archive on a thread of its own (never on this one):
// the 3-s cycles up to six hours, the 10-minute rows beyond. While polling,
// an interval that ends "now" grows with each whole cycle; a hidden page
// only keeps the cycles and draws them when shown.

#include "archive/ArchiveSeries.h"
#include "engine/CycleSink.h"
#include "ui/pages/TrendsQuantities.h"

#include <QDateTime>
#include <QWidget>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;
class TTrendsChart;
class TQualityReportDialog;

class TTrendsPage : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxSeries = 12;
    // Cycles kept for a hidden page (an hour); past it the page reads the archive again.
    static constexpr int kHiddenCycles = 1200;

    enum class TSpan { Hour, SixHours, Day, Week, All };

    explicit TTrendsPage(QWidget *parent = nullptr);
    ~TTrendsPage() override;

    // Where the archive is; its meters are read again.
    void SetArchiveTarget(const TArchiveTarget &target);
    // Handed the copies of each run's cycles (on the polling thread); they
    // reach the page through its event queue. Lives as long as the page.
    TCycleSink *CycleFeed();

    // An interval ending with the meter's latest cycle, followed while polling.
    void ChooseSpan(TSpan span);
    // A fixed interval [from, to) of meter time.
    void ChooseInterval(const QDateTime &from, const QDateTime &to);
    // Checks or unchecks a quantity of the list (Archive names, Ku(n) as
    // Archive::HarmonicQuantity); false when refused or unknown.
    bool SetChecked(const QString &name, bool checked);
    void SetHarmonicOrder(int order);
    std::vector<Trends::TQuantity> Shown() const;

    TTrendsChart *Chart() const { return chart_; }
    const Archive::TSeriesResult &Data() const { return data_; }
    QString StatusText() const;
    // No request is on its way.
    bool Idle() const { return !loading_ && !summaryAsked_; }
    QDateTime From() const { return from_; }
    QDateTime To() const { return to_; }

    void ExportCsv();
    void SaveImage();
    // The quality report of the meter over the interval shown ("Весь архив"
    // longer than a week: its last seven whole days), in a preview window of
    // its own; nothing when there is no meter to judge.
    TQualityReportDialog *OpenQualityReport();

signals:
    // A read of the archive was shown (tests wait for it).
    void SeriesShown();

protected:
    void showEvent(QShowEvent *event) override;
    // A digit typed over more than one section of a date field starts the
    // section the selection starts in (else the edit keeps the old day).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class TFeed;
    friend class TFeed;

    void BuildControls();
    void FillQuantityTree();
    void OnItemChanged(QTreeWidgetItem *item);
    void OnSummary(const Archive::TSummary &summary, const QString &error);
    void OnSeries(const Archive::TSeriesResult &result);
    void OnShowClicked();
    void Reload();
    void Rebuild();
    void ShowStatus(const QString &text);
    // The source and the count of the points drawn in the interval.
    void ShowCount();
    // What the archive holds now: its meters and their spans read again.
    void AskSummary(bool reload);
    const Archive::TMeterRow *CurrentMeter() const;

    // live
    void OnRunStarted(const TMeterIdentity &meter);
    void OnSettings(const TSettingsCopy &settings);
    void OnCycle(TCycleCopy cycle);
    // The cycles the feed holds, in order.
    void DrainFeed();
    // The from/to fields show the interval as it is now (it grows while live).
    void ShowInterval();
    void AppendLive(const TCycleCopy &cycle);
    void FlushPending();
    bool LiveMeterShown() const;

    TArchiveSeriesLoader *loader_;
    std::unique_ptr<TFeed> feed_;
    TTrendsChart *chart_ = nullptr;
    QTreeWidget *trvQuantities_ = nullptr;
    QSpinBox *spnOrder_ = nullptr;
    QComboBox *cmbMeter_ = nullptr;
    QLabel *lblMeter_ = nullptr;
    QDateTimeEdit *dteFrom_ = nullptr;
    QDateTimeEdit *dteTo_ = nullptr;
    QLabel *lblStatus_ = nullptr;

    TArchiveTarget target_;
    std::vector<Archive::TMeterRow> meters_;
    bool summaryAsked_ = false;
    bool summaryAgain_ = false;    // asked again while one was on its way
    bool reloadOnSummary_ = false; // reload even when the meters' spans are as they were
    // Ku(n) asked of cycles that hold no spectra: drawn from the 10-minute rows
    bool harmonicsFromAggregates_ = false;
    TSpan span_ = TSpan::Hour;
    bool anchored_ = true; // the interval ends with the latest cycle
    QDateTime from_, to_;
    Archive::TSeriesResult data_;
    int serial_ = 0;
    bool loading_ = false;
    std::optional<TMeterIdentity> liveMeter_;
    QDateTime lastLive_; // meter time of the last polled cycle, shown or not
    std::deque<TCycleCopy> pending_;
    bool stale_ = false; // more cycles came while hidden than were kept
};
