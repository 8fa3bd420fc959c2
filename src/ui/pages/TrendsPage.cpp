#include "ui/pages/TrendsPage.h"

#include "archive/ArchiveColumns.h"
#include "archive/ArchiveRows.h"
#include "common/UserFolders.h"
#include "engine/RecordSlots.h"
#include "ui/FileDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/pages/QualityReportDialog.h"
#include "ui/pages/TrendsChart.h"
#include "ui/pages/TrendsCsv.h"
#include "ui/pages/TrendsSeries.h"

#include <mutex>
#include <QComboBox>
#include <QDir>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

using namespace Trends;

namespace {

constexpr int kNameRole = Qt::UserRole;
constexpr int kChannelRole = Qt::UserRole + 1; // Ku(n) items: the voltage channel
constexpr int kDefaultOrder = 3;
const QString kEditFormat = QStringLiteral("dd.MM.yyyy HH:mm");

qint64 SpanSeconds(TTrendsPage::TSpan span)
{
    switch (span) {
    case TTrendsPage::TSpan::Hour: return 3600;
    case TTrendsPage::TSpan::SixHours: return 6 * 3600;
    case TTrendsPage::TSpan::Day: return 86400;
    case TTrendsPage::TSpan::Week: return 7 * 86400;
    case TTrendsPage::TSpan::All: return 0;
    }
    return 0;
}

// A value of the quantity in a cycle's copy; NaN when it holds none.
double CycleValue(const TCycleCopy &cycle, const QString &name)
{
    int slot = -1;
    if (const int index = Archive::QuantityIndex(name); index >= 0) {
        slot = Archive::Quantities()[size_t(index)].Slot;
    } else if (const QStringList parts = name.split(u':'); parts.size() == 3) {
        slot = VDSlot::KUn + parts[1].toInt() * VDSlot::HarmonicCount + parts[2].toInt() - 2;
    }
    const qsizetype i = slot - VDSlot::DataFirst;
    if (slot < 0 || i < 0 || size_t(i) >= cycle.Data.size() || !std::isfinite(cycle.Data[size_t(i)]))
        return std::numeric_limits<double>::quiet_NaN();
    return double(cycle.Data[size_t(i)]);
}

} // namespace

// On the polling thread: each copy goes to the page's queue and returns.
class TTrendsPage::TFeed : public TCycleSink
{
public:
    explicit TFeed(TTrendsPage *page) : page_(page) {}

    void RunStarted(const TMeterIdentity &meter) override
    {
        TTrendsPage *page = page_;
        QMetaObject::invokeMethod(
            page_, [page, meter] { page->OnRunStarted(meter); }, Qt::QueuedConnection);
    }
    void SettingsRead(TSettingsCopy settings) override
    {
        TTrendsPage *page = page_;
        QMetaObject::invokeMethod(
            page_, [page, settings = std::move(settings)] { page->OnSettings(settings); }, Qt::QueuedConnection);
    }
    // Cycles that come faster than the window takes them wait together for
    // one wake-up: the window's queue never fills with them.
    void CycleRead(TCycleCopy cycle) override
    {
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            wake = waiting_.empty();
            waiting_.push_back(std::move(cycle));
        }
        if (!wake)
            return;
        TTrendsPage *page = page_;
        QMetaObject::invokeMethod(
            page_, [page] { page->DrainFeed(); }, Qt::QueuedConnection);
    }
    void RunEnded() override {}

    std::vector<TCycleCopy> Take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(waiting_, {});
    }

private:
    TTrendsPage *page_;
    std::mutex mutex_;
    std::vector<TCycleCopy> waiting_;
};

TTrendsPage::TTrendsPage(QWidget *parent)
    : QWidget(parent), loader_(new TArchiveSeriesLoader(this)), feed_(std::make_unique<TFeed>(this))
{
    setObjectName(QStringLiteral("TrendsPage"));
    BuildControls();
    FillQuantityTree();
    connect(loader_, &TArchiveSeriesLoader::SummaryLoaded, this, &TTrendsPage::OnSummary);
    connect(loader_, &TArchiveSeriesLoader::SeriesLoaded, this, &TTrendsPage::OnSeries);
    to_ = QDateTime::currentDateTimeUtc();
    from_ = to_.addSecs(-SpanSeconds(span_));
}

TTrendsPage::~TTrendsPage() = default;

TCycleSink *TTrendsPage::CycleFeed()
{
    return feed_.get();
}

void TTrendsPage::BuildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    auto *intervalRow = new QHBoxLayout;
    lblMeter_ = new QLabel(QStringLiteral("Измеритель:"), this);
    cmbMeter_ = new QComboBox(this);
    cmbMeter_->setObjectName(QStringLiteral("cmbTrendMeter"));
    lblMeter_->hide();
    cmbMeter_->hide();
    connect(cmbMeter_, &QComboBox::activated, this, [this] { Reload(); });
    const std::pair<const char *, TSpan> spans[] = {{"1 ч", TSpan::Hour},
                                                    {"6 ч", TSpan::SixHours},
                                                    {"Сутки", TSpan::Day},
                                                    {"7 суток", TSpan::Week},
                                                    {"Весь архив", TSpan::All}};
    int index = 0;
    for (const auto &[caption, span] : spans) {
        // tool buttons: the row holds the interval's edits too at the window's least width
        auto *button = new QToolButton(this);
        button->setText(QString::fromUtf8(caption));
        button->setObjectName(QStringLiteral("btnTrendSpan%1").arg(index++));
        connect(button, &QToolButton::clicked, this, [this, span = span] { ChooseSpan(span); });
        intervalRow->addWidget(button);
    }
    intervalRow->addSpacing(8);
    intervalRow->addWidget(new QLabel(QStringLiteral("с"), this));
    dteFrom_ = new QDateTimeEdit(this);
    dteFrom_->setObjectName(QStringLiteral("dteTrendFrom"));
    intervalRow->addWidget(dteFrom_);
    intervalRow->addWidget(new QLabel(QStringLiteral("по"), this));
    dteTo_ = new QDateTimeEdit(this);
    dteTo_->setObjectName(QStringLiteral("dteTrendTo"));
    intervalRow->addWidget(dteTo_);
    for (QDateTimeEdit *edit : {dteFrom_, dteTo_}) {
        edit->setDisplayFormat(kEditFormat);
        edit->setTimeSpec(Qt::UTC); // the meter's clock, shown as it reads
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00")) + 40);
        edit->installEventFilter(this);
    }
    auto *show = new QPushButton(QStringLiteral("Показать"), this);
    show->setObjectName(QStringLiteral("btnTrendShow"));
    connect(show, &QPushButton::clicked, this, &TTrendsPage::OnShowClicked);
    intervalRow->addWidget(show);
    intervalRow->addStretch(1);
    layout->addLayout(intervalRow);

    auto *body = new QHBoxLayout;
    auto *side = new QVBoxLayout;
    trvQuantities_ = new QTreeWidget(this);
    trvQuantities_->setObjectName(QStringLiteral("trvTrendQuantities"));
    trvQuantities_->setHeaderHidden(true);
    trvQuantities_->setFixedWidth(170);
    side->addWidget(trvQuantities_, 1);
    auto *orderRow = new QHBoxLayout;
    orderRow->addWidget(new QLabel(QStringLiteral("Ku(n), n:"), this));
    spnOrder_ = new QSpinBox(this);
    spnOrder_->setObjectName(QStringLiteral("spnTrendHarmonicOrder"));
    spnOrder_->setRange(2, 1 + VDSlot::HarmonicCount);
    spnOrder_->setValue(kDefaultOrder);
    orderRow->addWidget(spnOrder_, 1);
    side->addLayout(orderRow);
    body->addLayout(side);
    chart_ = new TTrendsChart(this);
    body->addWidget(chart_, 1);
    layout->addLayout(body, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblMeter_);
    bottom->addWidget(cmbMeter_);
    auto *csv = new QPushButton(QStringLiteral("Экспорт CSV…"), this);
    csv->setObjectName(QStringLiteral("btnTrendExportCsv"));
    connect(csv, &QPushButton::clicked, this, &TTrendsPage::ExportCsv);
    auto *image = new QPushButton(QStringLiteral("Сохранить изображение…"), this);
    image->setObjectName(QStringLiteral("btnTrendSaveImage"));
    connect(image, &QPushButton::clicked, this, &TTrendsPage::SaveImage);
    auto *report = new QPushButton(QStringLiteral("Отчёт о качестве…"), this);
    report->setObjectName(QStringLiteral("btnTrendQualityReport"));
    connect(report, &QPushButton::clicked, this, &TTrendsPage::OpenQualityReport);
    bottom->addWidget(csv);
    bottom->addWidget(image);
    bottom->addWidget(report);
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblTrendStatus"));
    lblStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bottom->addWidget(lblStatus_, 1);
    layout->addLayout(bottom);
}

void TTrendsPage::FillQuantityTree()
{
    trvQuantities_->clear();
    std::vector<QTreeWidgetItem *> groups;
    for (const QString &group : Groups()) {
        auto *item = new QTreeWidgetItem(trvQuantities_, {group});
        item->setFlags(Qt::ItemIsEnabled);
        groups.push_back(item);
    }
    const auto add = [&](const TQuantity &q) {
        auto *item = new QTreeWidgetItem(groups[size_t(Groups().indexOf(q.Group))], {q.Caption});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setData(0, kNameRole, q.Name);
        item->setForeground(0, q.Color.darker(110));
        const bool byDefault =
            q.Name == QLatin1String("Urms_a") || q.Name == QLatin1String("Urms_b") || q.Name == QLatin1String("Urms_c");
        item->setCheckState(0, byDefault ? Qt::Checked : Qt::Unchecked);
        return item;
    };
    for (const TQuantity &q : Quantities())
        add(q);
    for (int c = 0; c < kHarmonicChannels; ++c)
        add(Harmonic(c, spnOrder_->value()))->setData(0, kChannelRole, c);
    trvQuantities_->expandItem(groups.front());
    connect(trvQuantities_, &QTreeWidget::itemChanged, this, &TTrendsPage::OnItemChanged);
    connect(spnOrder_, &QSpinBox::valueChanged, this, &TTrendsPage::SetHarmonicOrder);
}

void TTrendsPage::SetHarmonicOrder(int order)
{
    if (spnOrder_->value() != order) {
        spnOrder_->setValue(order); // comes back here
        return;
    }
    bool shown = false;
    const QSignalBlocker block(trvQuantities_);
    for (QTreeWidgetItemIterator it(trvQuantities_); *it; ++it) {
        const QVariant channel = (*it)->data(0, kChannelRole);
        if (!channel.isValid())
            continue;
        const TQuantity q = Harmonic(channel.toInt(), order);
        (*it)->setText(0, q.Caption);
        (*it)->setData(0, kNameRole, q.Name);
        shown = shown || (*it)->checkState(0) == Qt::Checked;
    }
    if (shown)
        Reload();
}

std::vector<TQuantity> TTrendsPage::Shown() const
{
    std::vector<TQuantity> shown;
    for (QTreeWidgetItemIterator it(trvQuantities_); *it; ++it)
        if (((*it)->flags() & Qt::ItemIsUserCheckable) && (*it)->checkState(0) == Qt::Checked)
            shown.push_back(Find((*it)->data(0, kNameRole).toString()));
    return shown;
}

bool TTrendsPage::SetChecked(const QString &name, bool checked)
{
    for (QTreeWidgetItemIterator it(trvQuantities_); *it; ++it)
        if ((*it)->data(0, kNameRole).toString() == name) {
            (*it)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked); // judged in OnItemChanged
            return ((*it)->checkState(0) == Qt::Checked) == checked;
        }
    return false;
}

void TTrendsPage::OnItemChanged(QTreeWidgetItem *item)
{
    if (!(item->flags() & Qt::ItemIsUserCheckable))
        return;
    if (item->checkState(0) == Qt::Checked && Shown().size() > size_t(kMaxSeries)) {
        const QSignalBlocker block(trvQuantities_);
        item->setCheckState(0, Qt::Unchecked);
        ShowStatus(
            QStringLiteral("На графике не более %1 величин: снимите одну, чтобы показать другую").arg(kMaxSeries));
        return;
    }
    Reload();
}

void TTrendsPage::SetArchiveTarget(const TArchiveTarget &target)
{
    target_ = target;
    meters_.clear();
    if (!target_.IsValid()) {
        ShowStatus(QStringLiteral("Архив не задан"));
        return;
    }
    harmonicsFromAggregates_ = false;
    AskSummary(true);
}

void TTrendsPage::AskSummary(bool reload)
{
    reloadOnSummary_ = reloadOnSummary_ || reload;
    if (!target_.IsValid())
        return;
    if (summaryAsked_) {
        summaryAgain_ = true; // the one on its way may have been read before the archive grew
        return;
    }
    summaryAsked_ = true;
    loader_->RequestSummary(target_);
}

const Archive::TMeterRow *TTrendsPage::CurrentMeter() const
{
    const qint64 id = cmbMeter_->currentData().toLongLong();
    for (const Archive::TMeterRow &meter : meters_)
        if (meter.Id == id)
            return &meter;
    return nullptr;
}

void TTrendsPage::OnSummary(const Archive::TSummary &summary, const QString &error)
{
    summaryAsked_ = false;
    const qint64 previous = cmbMeter_->currentData().toLongLong();
    std::vector<Archive::TMeterRow> before = std::move(meters_);
    meters_.clear();
    for (const Archive::TMeterRow &meter : summary.Meters)
        if (meter.Cycles > 0 || meter.Aggregates > 0)
            meters_.push_back(meter);
    const auto sameSpans = [](const Archive::TMeterRow &a, const Archive::TMeterRow &b) {
        return a.Id == b.Id && a.FirstMeterTime == b.FirstMeterTime && a.LastMeterTime == b.LastMeterTime;
    };
    const bool changed = !std::equal(before.begin(), before.end(), meters_.begin(), meters_.end(), sameSpans);
    const bool forced = std::exchange(reloadOnSummary_, false);
    cmbMeter_->clear();
    int chosen = 0;
    for (const Archive::TMeterRow &meter : meters_) {
        cmbMeter_->addItem(QStringLiteral("%1 № %2").arg(meter.DeviceType).arg(meter.FactoryNumber), meter.Id);
        const bool polled = liveMeter_ && liveMeter_->DeviceType == meter.DeviceType &&
                            liveMeter_->FactoryNumber == meter.FactoryNumber;
        if (meter.Id == previous || (previous == 0 && polled))
            chosen = cmbMeter_->count() - 1;
    }
    cmbMeter_->setCurrentIndex(chosen);
    lblMeter_->setVisible(meters_.size() > 1);
    cmbMeter_->setVisible(meters_.size() > 1);
    if (!error.isEmpty()) {
        ShowStatus(QStringLiteral("Архив не прочитан: ") + error);
        return;
    }
    if (std::exchange(summaryAgain_, false)) {
        reloadOnSummary_ = reloadOnSummary_ || forced || changed;
        AskSummary(false);
        return;
    }
    const bool otherMeter = CurrentMeter() == nullptr || CurrentMeter()->Id != previous;
    if (otherMeter)
        harmonicsFromAggregates_ = false;
    // an anchored interval follows the archive's new end; a fixed one stays
    if (forced || (changed && (anchored_ || otherMeter)))
        Reload();
}

void TTrendsPage::ChooseSpan(TSpan span)
{
    span_ = span;
    anchored_ = true;
    if (span == TSpan::All && target_.IsValid()) {
        // the archive as it is now: the poller may have added to it since
        AskSummary(true);
        return;
    }
    Reload();
}

void TTrendsPage::ChooseInterval(const QDateTime &from, const QDateTime &to)
{
    anchored_ = false;
    from_ = from;
    to_ = to;
    Reload();
}

void TTrendsPage::OnShowClicked()
{
    // the minutes the fields show, not the seconds they keep from before
    const auto shown = [](QDateTime time) {
        time.setTime(QTime(time.time().hour(), time.time().minute()));
        return time;
    };
    ChooseInterval(shown(dteFrom_->dateTime()), shown(dteTo_->dateTime()));
}

bool TTrendsPage::eventFilter(QObject *watched, QEvent *event)
{
    auto *edit = qobject_cast<QDateTimeEdit *>(watched);
    if (!edit || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const QLineEdit *line = edit->findChild<QLineEdit *>();
    if (line && line->hasSelectedText() && !key->text().isEmpty() && key->text().front().isDigit() &&
        line->selectedText() != edit->sectionText(edit->currentSection())) {
        // sections are the runs of digits: count the separators before the selection
        const QString text = line->text().left(line->selectionStart());
        int index = 0;
        for (qsizetype i = 1; i < text.size(); ++i)
            index += !text[i].isDigit() && text[i - 1].isDigit();
        edit->setSelectedSection(edit->sectionAt(std::min(index, edit->sectionCount() - 1)));
    }
    return QWidget::eventFilter(watched, event);
}

void TTrendsPage::Reload()
{
    const Archive::TMeterRow *meter = CurrentMeter();
    if (anchored_) {
        // the interval ends with the meter's latest cycle (or the last one polled)
        QDateTime end = meter && meter->LastMeterTime.isValid() ? meter->LastMeterTime.addSecs(1) : to_;
        if (!data_.Times.empty() && LiveMeterShown())
            end = std::max(end, Archive::SeriesDateTime(data_.Times.back()).addSecs(1));
        if (lastLive_.isValid() && LiveMeterShown())
            end = std::max(end, lastLive_.addSecs(1));
        to_ = end;
        const qint64 span = SpanSeconds(span_);
        from_ = span > 0 ? to_.addSecs(-span)
                         : (meter && meter->FirstMeterTime.isValid() ? meter->FirstMeterTime : to_.addSecs(-3600));
    }
    ShowInterval();
    if (!meter) {
        data_ = {};
        data_.From = from_;
        data_.To = to_;
        data_.Source = SourceFor(from_, to_);
        loading_ = false;
        Rebuild();
        ShowStatus(target_.IsValid() ? QStringLiteral("В архиве нет измерений") : QStringLiteral("Архив не задан"));
        return;
    }
    Archive::TSeriesRequest request;
    request.Target = target_;
    request.MeterId = meter->Id;
    request.From = from_;
    request.To = to_;
    request.Source = SourceFor(from_, to_);
    for (const TQuantity &q : Shown()) {
        request.Quantities << q.Name;
        if (harmonicsFromAggregates_ && q.Name.startsWith(QLatin1String("KUn:")))
            request.Source = Archive::TSeriesSource::Aggregates;
    }
    request.Serial = ++serial_;
    loading_ = true;
    ShowStatus(QStringLiteral("Чтение архива…"));
    loader_->RequestSeries(request);
}

void TTrendsPage::OnSeries(const Archive::TSeriesResult &result)
{
    if (result.Serial != serial_)
        return; // asked again since
    // cycles kept without their spectra: Ku(n) from the 10-minute rows
    if (result.Error.isEmpty() && result.Source == Archive::TSeriesSource::Cycles && !result.Times.empty() &&
        !harmonicsFromAggregates_) {
        for (const Archive::TSeriesColumn &column : result.Columns)
            if (column.Quantity.startsWith(QLatin1String("KUn:")) &&
                std::none_of(column.Avg.begin(), column.Avg.end(), [](double v) { return std::isfinite(v); })) {
                harmonicsFromAggregates_ = true;
                Reload();
                return;
            }
    }
    loading_ = false;
    data_ = result;
    Rebuild();
    if (!result.Error.isEmpty())
        ShowStatus(QStringLiteral("Архив не прочитан: ") + result.Error);
    else
        ShowCount();
    FlushPending();
    emit SeriesShown();
}

void TTrendsPage::Rebuild()
{
    const double from = Archive::SeriesTime(from_), to = Archive::SeriesTime(to_);
    std::vector<TBuiltSeries> series;
    for (const TQuantity &q : Shown())
        series.push_back(Build(data_, q, from, to, chart_->PixelColumns()));
    chart_->Show(std::move(series), data_.Source == Archive::TSeriesSource::Aggregates, from, to);
}

void TTrendsPage::ShowCount()
{
    const double from = Archive::SeriesTime(from_), to = Archive::SeriesTime(to_);
    const auto drawn =
        std::count_if(data_.Times.begin(), data_.Times.end(), [&](double t) { return t >= from && t < to; });
    const bool cycles = data_.Source == Archive::TSeriesSource::Cycles;
    QString text = QStringLiteral("%1: %2")
                       .arg(cycles ? QStringLiteral("циклы по 3 с") : QStringLiteral("10-минутные значения"))
                       .arg(drawn);
    if (!cycles && SourceFor(from_, to_) == Archive::TSeriesSource::Cycles)
        text += QStringLiteral(" (в циклах архива нет спектров: Ku(n) по 10-минутным значениям)");
    ShowStatus(text);
}

void TTrendsPage::ShowStatus(const QString &text)
{
    lblStatus_->setText(text);
    lblStatus_->setToolTip(text);
}

QString TTrendsPage::StatusText() const
{
    return lblStatus_->text();
}

void TTrendsPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    AskSummary(false); // reloads when the archive grew since
    if (stale_) {
        stale_ = false;
        pending_.clear();
        Reload();
        return;
    }
    FlushPending();
}

// --- live ---

bool TTrendsPage::LiveMeterShown() const
{
    const Archive::TMeterRow *meter = CurrentMeter();
    if (!meter)
        return true; // the archive knows no meter yet: the polled one is it
    return liveMeter_ && liveMeter_->DeviceType == meter->DeviceType &&
           liveMeter_->FactoryNumber == meter->FactoryNumber;
}

void TTrendsPage::OnRunStarted(const TMeterIdentity &meter)
{
    liveMeter_ = meter;
}

void TTrendsPage::OnSettings(const TSettingsCopy &settings)
{
    Archive::TLimitsRow row;
    row.MeterTime = Archive::MeterTimeFromDayCount(settings.MeterDateTime);
    row.ReadAtUtc = settings.ReadAtUtc;
    row.Slots = settings.Slots;
    row.Intervals = settings.Intervals;
    if (LiveMeterShown())
        data_.Limits.push_back(std::move(row));
}

void TTrendsPage::DrainFeed()
{
    for (TCycleCopy &cycle : feed_->Take())
        OnCycle(std::move(cycle));
}

void TTrendsPage::OnCycle(TCycleCopy cycle)
{
    if (const QDateTime time = Archive::MeterTimeFromDayCount(cycle.MeterDateTime); time.isValid())
        lastLive_ = time;
    // the archive did not know the polled meter yet: it may now
    if (!CurrentMeter())
        AskSummary(true);
    if (!isVisible() || loading_) {
        if (pending_.size() >= size_t(kHiddenCycles)) {
            pending_.clear();
            stale_ = !loading_;
        }
        pending_.push_back(std::move(cycle));
        return;
    }
    AppendLive(cycle);
}

void TTrendsPage::FlushPending()
{
    if (!isVisible() || loading_)
        return;
    while (!pending_.empty()) {
        AppendLive(pending_.front());
        pending_.pop_front();
    }
}

void TTrendsPage::AppendLive(const TCycleCopy &cycle)
{
    const QDateTime time = Archive::MeterTimeFromDayCount(cycle.MeterDateTime);
    if (!anchored_ || !time.isValid() || !LiveMeterShown())
        return;
    const double t = Archive::SeriesTime(time);
    if (!data_.Times.empty() && t <= data_.Times.back())
        return; // the archive read had it already
    // In the 10-minute view a cycle is a point of its own (its minimum and
    // maximum the value itself) until the archive's row of its interval is
    // read with the next interval chosen.
    const bool aggregates = data_.Source == Archive::TSeriesSource::Aggregates;
    // a cycle after a pause (the archive's last row long before this run) is
    // not joined to it by a line
    if (!data_.Times.empty() && t - data_.Times.back() > (aggregates ? Archive::kIntervalSeconds : kCycleGapSeconds))
        chart_->AppendBreak((data_.Times.back() + t) / 2);
    data_.Times.push_back(t);
    if (aggregates)
        data_.Flags.push_back(0);
    const std::vector<TQuantity> shown = Shown();
    std::vector<TTrendsChart::TLivePoint> points;
    for (const TQuantity &q : shown) {
        const double value = CycleValue(cycle, q.Name);
        auto column = std::find_if(data_.Columns.begin(), data_.Columns.end(),
                                   [&](const Archive::TSeriesColumn &c) { return c.Quantity == q.Name; });
        if (column == data_.Columns.end())
            column = data_.Columns.insert(data_.Columns.end(),
                                          {q.Name, std::vector<double>(data_.Times.size() - 1, std::nan("")), {}, {}});
        column->Avg.push_back(value);
        if (aggregates) {
            column->Min.resize(column->Avg.size() - 1, std::nan(""));
            column->Max.resize(column->Avg.size() - 1, std::nan(""));
            column->Min.push_back(value);
            column->Max.push_back(value);
        }
        const int status = q.HasLimits ? Classify(value, LimitsAt(data_.Limits, q.Limits, t)) : 0;
        points.push_back({value, status});
    }
    to_ = time.addSecs(1);
    if (const qint64 span = SpanSeconds(span_); span > 0)
        from_ = to_.addSecs(-span);
    data_.To = to_;
    ShowInterval();
    ShowCount();
    chart_->Append(t, points, Archive::SeriesTime(from_), Archive::SeriesTime(to_));
}

void TTrendsPage::ShowInterval()
{
    for (auto [edit, value] : {std::pair{dteFrom_, from_}, std::pair{dteTo_, to_}}) {
        const QSignalBlocker block(edit);
        edit->setDateTime(value);
    }
}

// --- files ---

void TTrendsPage::ExportCsv()
{
    QString chosen;
    const QString proposed = ProgramDocumentsFolder() +
                             QStringLiteral("trends_%1.csv").arg(from_.toString(QStringLiteral("yyyyMMdd_HHmmss")));
    if (!ExecuteFileDialog(fdmSave, QStringLiteral("Экспорт CSV"), proposed, QStringLiteral("Файлы CSV|*.csv"), false,
                           false, true, chosen, this))
        return;
    QString error;
    if (WriteCsv(chosen, data_, Shown(), Archive::SeriesTime(from_), Archive::SeriesTime(to_), &error))
        ShowStatus(QStringLiteral("Записан файл ") + QDir::toNativeSeparators(chosen));
    else
        ShowStatus(QStringLiteral("Файл %1 не записан: %2").arg(QDir::toNativeSeparators(chosen), error));
}

void TTrendsPage::SaveImage()
{
    QString chosen;
    const QString proposed = ProgramDocumentsFolder() +
                             QStringLiteral("trends_%1.png").arg(from_.toString(QStringLiteral("yyyyMMdd_HHmmss")));
    if (!ExecuteFileDialog(fdmSave, QStringLiteral("Сохранить изображение"), proposed,
                           QStringLiteral("Изображение PNG|*.png|Документ PDF|*.pdf"), false, false, true, chosen,
                           this))
        return;
    const bool pdf = QFileInfo(chosen).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
    const Archive::TMeterRow *meter = CurrentMeter();
    QString title = QStringLiteral("Тренды");
    if (meter)
        title += QStringLiteral(": %1 № %2").arg(meter->DeviceType).arg(meter->FactoryNumber);
    else if (liveMeter_)
        title += QStringLiteral(": %1 № %2").arg(liveMeter_->DeviceType).arg(liveMeter_->FactoryNumber);
    const QString format = QStringLiteral("dd.MM.yyyy HH:mm:ss");
    title += QStringLiteral("\n%1 – %2 (время счетчика), %3")
                 .arg(from_.toString(format), to_.toString(format),
                      data_.Source == Archive::TSeriesSource::Cycles ? QStringLiteral("циклы по 3 с")
                                                                     : QStringLiteral("10-минутные значения"));
    const bool saved = pdf ? chart_->SavePdf(chosen, title) : chart_->SavePng(chosen, title);
    ShowStatus(saved ? QStringLiteral("Записан файл ") + QDir::toNativeSeparators(chosen)
                     : QStringLiteral("Файл %1 не записан").arg(QDir::toNativeSeparators(chosen)));
}

// --- the quality report ---

TQualityReportDialog *TTrendsPage::OpenQualityReport()
{
    const Archive::TMeterRow *meter = CurrentMeter();
    if (!target_.IsValid() || !meter) {
        ShowError(target_.IsValid() ? QStringLiteral("В архиве нет измерений: отчёт о качестве составлять не из чего.")
                                    : QStringLiteral("Архив не задан: отчёт о качестве составляется по архиву."),
                  this);
        return nullptr;
    }
    Report::TReportRequest request;
    request.FactoryNumber = meter->FactoryNumber;
    // The whole archive is judged as it is shown while it is a week at most;
    // a longer one by its last seven whole days, the week a supply is judged
    // over (months would take long and lack the 3-s cycles kept only for days).
    const bool longWhole = anchored_ && span_ == TSpan::All && from_.secsTo(to_) > SpanSeconds(TSpan::Week);
    if (!longWhole) {
        request.From = from_;
        request.To = to_;
    }
    auto *dialog = new TQualityReportDialog(target_, request, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->Start();
    return dialog;
}
