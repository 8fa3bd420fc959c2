#include "ui/pages/SignalsFormsFrame.h"

#include "catalogue/CatalogueDevices.h"
#include "catalogue/ConnectionList.h"
#include "common/Contracts.h"
#include "common/Exceptions.h"
#include "common/UserFolders.h"
#include "engine/Engine.h"
#include "engine/MeasurementRecord.h"
#include "engine/PollSettings.h"
#include "engine/RecordSlots.h"
#include "files/Comtrade.h"
#include "ui/charts/ColumnStroker.h"
#include "ui/FileDialog.h"
#include "ui/MessageBoxes.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <cmath>

namespace {

constexpr int kLineWidth = 3;
constexpr double kMarkerSize = 3;
constexpr double kNominalFrequency = 50;
constexpr int kSeparatorWidth = 14;

void SetTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) == color && palette.color(QPalette::ButtonText) == color)
        return;
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

QFont Bold(QFont font)
{
    font.setBold(true);
    return font;
}

// A curve cut into separate strokes and painted in one go: the column
// stroker writes them as pixel runs into an image drawn once, where the
// painter would scan-convert a 3-px line scan line by scan line (nine curves
// of 1280 points would not fit a frame that way). Each segment is first cut
// to the clip (a spike or a deep zoom leaves the chart by millions of
// pixels), a dash into short solid strokes. Antialiased or scaled painting
// (export, high-density screens), or a canvas that cannot be had, gets the
// same strokes through the painter in one call.
class TBatchedLineGraph : public QCPGraph
{
public:
    using QCPGraph::QCPGraph;

    qsizetype CanvasBytes() const { return canvas_.sizeInBytes(); }

protected:
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override
    {
        QPen pen = painter->pen();
        const bool dashed = pen.style() == Qt::DashLine;
        if ((!dashed && pen.style() != Qt::SolidLine) || painter->modes().testFlag(QCPPainter::pmVectorized)) {
            QCPGraph::drawLinePlot(painter, lines);
            return;
        }
        pen.setStyle(Qt::SolidLine);
        painter->setPen(pen);
        applyDefaultAntialiasingHint(painter);
        // in the painter's own (logical) coordinates, as the lines are
        const QRect clip = painter->hasClipping()
                               ? painter->clipBoundingRect().toAlignedRect()
                               : painter->combinedTransform()
                                     .inverted()
                                     .mapRect(QRectF(0, 0, painter->device()->width(), painter->device()->height()))
                                     .toAlignedRect();
        const double width = std::max(1.0, pen.widthF());
        strokes_.clear();
        strokes_.reserve(lines.size());
        PolylineStrokes(lines, width, dashed, QRectF(clip), strokes_);
        if (painter->testRenderHint(QPainter::Antialiasing) ||
            painter->deviceTransform().type() > QTransform::TxTranslate) {
            painter->drawLines(strokes_);
            return;
        }
        TColumnStroker stroker(width, clip);
        for (const QLineF &stroke : std::as_const(strokes_))
            stroker.Add(stroke);
        if (!stroker.Paint(painter, pen.color(), canvas_))
            painter->drawLines(strokes_);
    }

private:
    // kept between draws to spare the allocations
    mutable QVector<QLineF> strokes_;
    mutable QImage canvas_;
};

} // namespace

// ------------------------------------------------------------ THorizontalUpDown

THorizontalUpDown::THorizontalUpDown(QWidget *parent)
    : QWidget(parent), left_(new QToolButton(this)), right_(new QToolButton(this))
{
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton *button : {left_, right_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    layout->addStretch(1);
    left_->setArrowType(Qt::LeftArrow);
    right_->setArrowType(Qt::RightArrow);
    connect(left_, &QToolButton::clicked, this, [this] { setValue(value_ - 1); });
    connect(right_, &QToolButton::clicked, this, [this] { setValue(value_ + 1); });
    ShowBounds();
}

void THorizontalUpDown::setRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
    ShowBounds();
}

void THorizontalUpDown::setValue(int value)
{
    value = std::clamp(value, minimum_, maximum_);
    if (value == value_)
        return;
    value_ = value;
    ShowBounds();
    emit valueChanged(value_);
}

void THorizontalUpDown::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)
        setValue(value_ + (event->key() == Qt::Key_Right ? 1 : -1));
    else
        QWidget::keyPressEvent(event);
}

void THorizontalUpDown::ShowBounds()
{
    left_->setEnabled(value_ > minimum_);
    right_->setEnabled(value_ < maximum_);
}

// ------------------------------------------ TFormsBuisnessAndGUIConformityManager

TFormsBuisnessAndGUIConformityManager::TFormsBuisnessAndGUIConformityManager(ISignalsFormView *view) : view_(view)
{
    CheckPreConditions(view != nullptr, "TFormsBuisnessAndGUIConformityManager.Create");
}

void TFormsBuisnessAndGUIConformityManager::AddConformity(TFormOfOneSignal *signal, QCPGraph *series,
                                                          QCheckBox *checkBox, QLabel *label)
{
    CheckPreConditions(signal && series && checkBox && label, "TFormsBuisnessAndGUIConformityManager.AddConformity");
    entries_.append({signal, series, checkBox, label});
    view_->SignalColorChanged(signal);
    view_->SignalNameChanged(signal);
    view_->SignalPointsVisibilityChanged(signal);
    view_->SignalShowingChanged(signal);
}

const TFormsBuisnessAndGUIConformityManager::TEntry *
TFormsBuisnessAndGUIConformityManager::ConformityByCheckBox(const QObject *control) const
{
    CheckPreConditions(control != nullptr, "TFormsBuisnessAndGUIConformityManager.ConformityByCheckBox");
    for (const TEntry &entry : entries_)
        if (entry.CheckBox == control)
            return &entry;
    return nullptr;
}

const TFormsBuisnessAndGUIConformityManager::TEntry *
TFormsBuisnessAndGUIConformityManager::ConformityBySeries(const QObject *series) const
{
    CheckPreConditions(qobject_cast<const QCPGraph *>(series) != nullptr,
                       "TFormsBuisnessAndGUIConformityManager.ConformityBySeries");
    for (const TEntry &entry : entries_)
        if (entry.Series == series)
            return &entry;
    return nullptr;
}

const TFormsBuisnessAndGUIConformityManager::TEntry *
TFormsBuisnessAndGUIConformityManager::ConformityBySignalForm(const TFormOfOneSignal *signal) const
{
    CheckPreConditions(signal != nullptr, "TFormsBuisnessAndGUIConformityManager.ConformityBySignalForm");
    for (const TEntry &entry : entries_)
        if (entry.Signal == signal)
            return &entry;
    return nullptr;
}

// ------------------------------------------- TAxisBuisnessAndGUIConformityManager

TAxisBuisnessAndGUIConformityManager::TAxisBuisnessAndGUIConformityManager(ISignalsFormView *view) : view_(view)
{
    CheckPreConditions(view != nullptr, "TAxisBuisnessAndGUIConformityManager.Create");
}

void TAxisBuisnessAndGUIConformityManager::AddConformity(TAxisInfo *axis, const QList<QCPAxis *> &chartAxes)
{
    CheckPreConditions(axis != nullptr, "TAxisBuisnessAndGUIConformityManager.AddConformity");
    entries_.append({axis, chartAxes});
    view_->AxisAdded(axis);
}

const TAxisBuisnessAndGUIConformityManager::TEntry *
TAxisBuisnessAndGUIConformityManager::ConformityByAxisInfo(const TAxisInfo *axis) const
{
    CheckPreConditions(axis != nullptr, "TAxisBuisnessAndGUIConformityManager.ConformityByAxisInfo");
    for (const TEntry &entry : entries_)
        if (entry.Axis == axis)
            return &entry;
    return nullptr;
}

// ------------------------------------------------------------ TSignalsFormsFrame

TSignalsFormsFrame::TSignalsFormsFrame(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SignalsFormsFrame1"));
    forms_ = std::make_unique<TFormsBuisnessAndGUIConformityManager>(this);
    axes_ = std::make_unique<TAxisBuisnessAndGUIConformityManager>(this);
    refreshLater_.setSingleShot(true);
    connect(&refreshLater_, &QTimer::timeout, this, &TSignalsFormsFrame::ShowLatestOscillogram);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(BuildSettingsPanel());

    pnlSeparator = new QLabel(QStringLiteral("<<"), this);
    pnlSeparator->setObjectName(QStringLiteral("pnlSeparator"));
    pnlSeparator->setFont(Bold(pnlSeparator->font()));
    pnlSeparator->setAlignment(Qt::AlignCenter);
    pnlSeparator->setFixedWidth(pnlSeparator->fontMetrics().horizontalAdvance(QStringLiteral(">>")) + kSeparatorWidth);
    pnlSeparator->setFrameShape(QFrame::Panel);
    pnlSeparator->setFrameShadow(QFrame::Raised);
    pnlSeparator->setCursor(Qt::SizeHorCursor);
    pnlSeparator->setToolTip(QStringLiteral("Скрыть или показать настройки"));
    pnlSeparator->installEventFilter(this);
    layout->addWidget(pnlSeparator);

    auto *chartAndInfo = new QWidget(this);
    chartAndInfo->setObjectName(QStringLiteral("pnlChartAndInfo"));
    auto *chartLayout = new QVBoxLayout(chartAndInfo);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chtSignalsForms = new QCustomPlot(chartAndInfo);
    chtSignalsForms->setObjectName(QStringLiteral("chtSignalsForms"));
    chartLayout->addWidget(chtSignalsForms, 1);
    chartLayout->addWidget(BuildInfoPanel());
    layout->addWidget(chartAndInfo, 1);

    BuildChart();
    for (QLabel *label :
         {lblInfoVoltageValue, lblInfoVoltageData, lblInfoCurrentValue, lblInfoCurrentData, lblInfoPointIndexValue})
        label->setText(QStringLiteral("-"));
    chkShowPoints->setChecked(false);
    chkCoordGridVisibility->setChecked(true);
}

TSignalsFormsFrame::~TSignalsFormsFrame()
{
    // the representer detaches from this view on its way out
    ownRepresenter_.reset();
}

QWidget *TSignalsFormsFrame::BuildSettingsPanel()
{
    pnlSettings = new QWidget(this);
    pnlSettings->setObjectName(QStringLiteral("pnlSettings"));
    auto *layout = new QVBoxLayout(pnlSettings);
    layout->setContentsMargins(4, 4, 4, 4);

    auto *signalsBox = new QGroupBox(QStringLiteral("Сигналы"), pnlSettings);
    auto *signalsLayout = new QGridLayout(signalsBox);
    auto makeCheckBox = [&](const char *name, const char *caption, int row, int column) {
        auto *box = new QCheckBox(QLatin1String(caption), signalsBox);
        box->setObjectName(QLatin1String(name));
        box->setFont(Bold(box->font()));
        signalsLayout->addWidget(box, row, column);
        connect(box, &QCheckBox::clicked, this,
                [this, box](bool checked) { ChangeSignalFormShowingStatus(box, checked); });
        return box;
    };
    const char *voltageNames[kVoltageSignals] = {"chkVoltageA",  "chkVoltageB",  "chkVoltageC",
                                                 "chkVoltageAB", "chkVoltageBC", "chkVoltageCA"};
    const char *voltageCaptions[kVoltageSignals] = {"Ua", "Ub", "Uc", "Uab", "Ubc", "Uca"};
    for (int k = 0; k < kVoltageSignals; ++k)
        chkVoltage[k] = makeCheckBox(voltageNames[k], voltageCaptions[k], k % 3, k / 3);
    const char *currentNames[kCurrentSignals] = {"chkCurrentA", "chkCurrentB", "chkCurrentC"};
    const char *currentCaptions[kCurrentSignals] = {"Ia", "Ib", "Ic"};
    for (int k = 0; k < kCurrentSignals; ++k)
        chkCurrent[k] = makeCheckBox(currentNames[k], currentCaptions[k], k, 2);
    layout->addWidget(signalsBox);

    auto *optionsBox = new QGroupBox(QStringLiteral("Опции"), pnlSettings);
    auto *optionsLayout = new QVBoxLayout(optionsBox);
    chkShowPoints = new QCheckBox(QStringLiteral("Узлы"), optionsBox);
    chkShowPoints->setObjectName(QStringLiteral("chkShowPoints"));
    chkShowPoints->setToolTip(QStringLiteral("Показать отсчёты на кривых"));
    connect(chkShowPoints, &QCheckBox::clicked, this,
            [this](bool checked) { SetSeriesPointsVisibility(chkShowPoints, checked); });
    chkCoordGridVisibility = new QCheckBox(QStringLiteral("Сетка"), optionsBox);
    chkCoordGridVisibility->setObjectName(QStringLiteral("chkCoordGridVisibility"));
    connect(chkCoordGridVisibility, &QCheckBox::clicked, this, [this](bool checked) {
        if (representer_)
            representer_->SetGridVisible(checked);
    });
    optionsLayout->addWidget(chkShowPoints);
    optionsLayout->addWidget(chkCoordGridVisibility);
    layout->addWidget(optionsBox);

    Button1 = new QPushButton(QStringLiteral("Авто"), pnlSettings);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setToolTip(QStringLiteral("Масштаб по размаху сигналов"));
    connect(Button1, &QPushButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, &TSignalsFormsFrame::AutoScale, Qt::QueuedConnection); });
    layout->addWidget(Button1);

    auto *periodsBox = new QGroupBox(QStringLiteral("Периоды"), pnlSettings);
    auto *periodsLayout = new QVBoxLayout(periodsBox);
    ud1 = new THorizontalUpDown(periodsBox);
    ud1->setObjectName(QStringLiteral("ud1"));
    ud1->setRange(kMinPeriods, kMaxPeriods);
    ud1->setValue(periods_);
    trckbr1 = new QSlider(Qt::Horizontal, periodsBox);
    trckbr1->setObjectName(QStringLiteral("trckbr1"));
    trckbr1->setRange(kMinPeriods, kMaxPeriods);
    trckbr1->setValue(periods_);
    trckbr1->setTickPosition(QSlider::TicksBothSides);
    trckbr1->setTickInterval(1);
    trckbr1->setPageStep(1);
    ShowPeriodsHint();
    connect(ud1, &THorizontalUpDown::valueChanged, this, &TSignalsFormsFrame::ChangePeriods);
    connect(trckbr1, &QSlider::valueChanged, this, &TSignalsFormsFrame::ChangePeriods);
    periodsLayout->addWidget(ud1);
    periodsLayout->addWidget(trckbr1);
    layout->addWidget(periodsBox);

    auto *oscillogramBox = new QGroupBox(QStringLiteral("Осциллограмма"), pnlSettings);
    auto *oscillogramLayout = new QVBoxLayout(oscillogramBox);
    chkFreeze = new QCheckBox(QStringLiteral("Стоп-кадр"), oscillogramBox);
    chkFreeze->setObjectName(QStringLiteral("chkFreeze"));
    chkFreeze->setToolTip(QStringLiteral("Оставить на экране эту осциллограмму; опрос продолжается"));
    connect(chkFreeze, &QCheckBox::toggled, this, &TSignalsFormsFrame::SetFrozen);
    btnSaveComtrade = new QPushButton(QStringLiteral("Сохранить в COMTRADE…"), oscillogramBox);
    btnSaveComtrade->setObjectName(QStringLiteral("btnSaveComtrade"));
    btnSaveComtrade->setToolTip(QStringLiteral("Записать осциллограмму с экрана в файлы .cfg и .dat"));
    connect(btnSaveComtrade, &QPushButton::clicked, this, [this] { SaveShownOscillogram(); });
    chkSaveOscillograms = new QCheckBox(QStringLiteral("Сохранять все"), oscillogramBox);
    chkSaveOscillograms->setObjectName(QStringLiteral("chkSaveOscillograms"));
    chkSaveOscillograms->setToolTip(
        QStringLiteral("Записывать каждую принятую осциллограмму в папку COMTRADE среди документов программы"));
    connect(chkSaveOscillograms, &QCheckBox::toggled, this, [this](bool save) {
        if (commons_)
            commons_->SetSaveOscillograms(save);
    });
    oscillogramLayout->addWidget(chkFreeze);
    oscillogramLayout->addWidget(btnSaveComtrade);
    oscillogramLayout->addWidget(chkSaveOscillograms);
    layout->addWidget(oscillogramBox);
    layout->addStretch(1);
    return pnlSettings;
}

QWidget *TSignalsFormsFrame::BuildInfoPanel()
{
    auto *info = new QWidget(this);
    info->setObjectName(QStringLiteral("pnlInfo"));
    auto *layout = new QHBoxLayout(info);
    layout->setContentsMargins(2, 2, 2, 2);
    auto addPanel = [&](const QString &caption, QLabel **value, const char *valueName, QLabel **data,
                        const char *dataName) {
        auto *panel = new QFrame(info);
        panel->setFrameShape(QFrame::StyledPanel);
        auto *grid = new QGridLayout(panel);
        grid->setContentsMargins(4, 2, 4, 2);
        auto *title = new QLabel(caption, panel);
        QFont underlined = title->font();
        underlined.setUnderline(true);
        title->setFont(underlined);
        grid->addWidget(title, 0, 0, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Значение:"), panel), 1, 0);
        *value = new QLabel(panel);
        (*value)->setObjectName(QLatin1String(valueName));
        (*value)->setFont(Bold((*value)->font()));
        grid->addWidget(*value, 1, 1);
        if (data) {
            grid->addWidget(new QLabel(QStringLiteral("Данные:"), panel), 2, 0);
            *data = new QLabel(panel);
            (*data)->setObjectName(QLatin1String(dataName));
            (*data)->setFont(Bold((*data)->font()));
            grid->addWidget(*data, 2, 1);
        }
        grid->setColumnStretch(1, 1);
        layout->addWidget(panel, 1);
    };
    addPanel(QStringLiteral("Напряжение"), &lblInfoVoltageValue, "lblInfoVoltageValue", &lblInfoVoltageData,
             "lblInfoVoltageData");
    addPanel(QStringLiteral("Ток"), &lblInfoCurrentValue, "lblInfoCurrentValue", &lblInfoCurrentData,
             "lblInfoCurrentData");
    addPanel(QStringLiteral("Отсчёт"), &lblInfoPointIndexValue, "lblInfoPointIndexValue", nullptr, nullptr);
    return info;
}

QCPGraph *TSignalsFormsFrame::AddSeries(const char *name, const QString &title, bool current)
{
    QCustomPlot *plot = chtSignalsForms;
    QCPGraph *series = new TBatchedLineGraph(plot->xAxis, current ? plot->yAxis2 : plot->yAxis);
    series->setObjectName(QLatin1String(name));
    series->setName(title);
    series->removeFromLegend();
    series->setPen(QPen(Qt::black, kLineWidth, current ? Qt::DashLine : Qt::SolidLine));
    return series;
}

void TSignalsFormsFrame::BuildChart()
{
    QCustomPlot *plot = chtSignalsForms;
    plot->legend->setVisible(false);
    plot->setBackground(Qt::white);
    // Wide curves of 11 520 points: unsmoothed, and drawn as separate
    // strokes rather than joined polylines, they draw several times faster.
    plot->setNotAntialiasedElements(QCP::aePlottables);
    plot->setPlottingHint(QCP::phFastPolylines, true);
    plot->setAttribute(Qt::WA_OpaquePaintEvent);
    plot->setToolTip(QStringLiteral("Колесо мыши: масштаб; левая кнопка: сдвиг; двойной щелчок: отменить масштаб"));

    const char *currentNames[kCurrentSignals] = {"lnsrsCurrentA", "lnsrsCurrentB", "lnsrsCurrentC"};
    const QString currentTitles[kCurrentSignals] = {QStringLiteral("Ток. Фаза А."), QStringLiteral("Ток. Фаза B."),
                                                    QStringLiteral("Ток. Фаза С.")};
    for (int k = 0; k < kCurrentSignals; ++k)
        lnsrsCurrent[k] = AddSeries(currentNames[k], currentTitles[k], true);
    lnsrsCurrentGrid = AddSeries("lnsrsCurrentGrid", QStringLiteral("Ток. Сетка."), true);
    const char *voltageNames[kVoltageSignals] = {"lnsrsVoltageA",  "lnsrsVoltageB",  "lnsrsVoltageC",
                                                 "lnsrsVoltageAB", "lnsrsVoltageBC", "lnsrsVoltageCA"};
    const QString voltageTitles[kVoltageSignals] = {
        QStringLiteral("Напряжение. Фаза А."),  QStringLiteral("Напряжение. Фаза B."),
        QStringLiteral("Напряжение. Фаза С."),  QStringLiteral("Напряжение. Фаза АВ."),
        QStringLiteral("Напряжение. Фаза ВС."), QStringLiteral("Напряжение. Фаза СА.")};
    for (int k = 0; k < kVoltageSignals; ++k)
        lnsrsVoltage[k] = AddSeries(voltageNames[k], voltageTitles[k], false);
    lnsrsVoltageGrid = AddSeries("lnsrsVoltageGrid", QStringLiteral("Напряжение. Сетка."), false);

    // Until the representer attaches the curves lie at zero over the periods.
    QVector<QCPGraphData> zeros(kSamplesPerPeriod * periods_);
    for (int i = 0; i < zeros.size(); ++i)
        zeros[i] = QCPGraphData(i + 1, 0);
    for (QCPGraph *series : lnsrsVoltage)
        series->data()->set(zeros, true);
    for (QCPGraph *series : lnsrsCurrent)
        series->data()->set(zeros, true);

    for (QCPAxis *axis : {plot->xAxis, plot->yAxis, plot->yAxis2}) {
        axis->setVisible(true);
        axis->setTickLabels(true);
    }
    plot->xAxis2->setVisible(false);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    QCPAxisRect *rect = plot->axisRect();
    rect->setRangeDragAxes({plot->xAxis}, {plot->yAxis, plot->yAxis2});
    rect->setRangeZoomAxes({plot->xAxis}, {plot->yAxis, plot->yAxis2});

    connect(plot->xAxis, qOverload<const QCPRange &, const QCPRange &>(&QCPAxis::rangeChanged), this,
            &TSignalsFormsFrame::KeepSampleAxisInRecord);
    connect(plot, &QCustomPlot::afterLayout, this, &TSignalsFormsFrame::KeepSampleAxisInset);
    connect(plot, &QCustomPlot::afterReplot, this, &TSignalsFormsFrame::ChartRedrawn);
    connect(plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent *event) { CursorReadOut(event->pos()); });
    connect(plot, &QCustomPlot::mouseDoubleClick, this, [this] { UndoZoomByMouse(); });
    plot->installEventFilter(this);
}

// ----------------------------------------------------------- engine

void TSignalsFormsFrame::ConnectEngine(TCommons &commons)
{
    if (!commons.Store())
        return;
    commons_ = &commons;
    commons.SetOscPeriods(static_cast<uint8_t>(periods_));
    commons.SetSaveOscillograms(chkSaveOscillograms->isChecked());
    ownRepresenter_ = std::make_unique<TSignalsFormsRepresenter>(this, &commons.Store()->Values());
    representer_->SetPeriods(periods_);
    // Queued even from this thread: a record cleared by the window tells
    // its change after the click, as a polled one does.
    connect(&commons.Events(), &TEngineEvents::OscillogramChanged, this, &TSignalsFormsFrame::OscillogramStored,
            Qt::QueuedConnection);
    connect(&commons.Events(), &TEngineEvents::FirstOscillogram, this, &TSignalsFormsFrame::AutoScale,
            Qt::QueuedConnection);
}

void TSignalsFormsFrame::DisconnectEngine()
{
    if (commons_)
        disconnect(&commons_->Events(), nullptr, this, nullptr);
    ownRepresenter_.reset();
    commons_ = nullptr;
}

void TSignalsFormsFrame::OscillogramStored()
{
    // a hidden page takes the latest oscillogram when it is shown; a refresh
    // already held back will take it too
    if (!representer_ || !isVisible() || refreshLater_.isActive())
        return;
    const qint64 since = sinceRefresh_.isValid() ? sinceRefresh_.elapsed() : refreshIntervalMs_;
    if (since >= refreshIntervalMs_)
        ShowLatestOscillogram();
    else
        refreshLater_.start(static_cast<int>(refreshIntervalMs_ - since));
}

void TSignalsFormsFrame::ShowLatestOscillogram()
{
    refreshLater_.stop();
    if (!representer_ || !isVisible())
        return;
    sinceRefresh_.start();
    representer_->UpdateSamples();
}

void TSignalsFormsFrame::AutoScale()
{
    if (!representer_)
        return;
    representer_->UpdateSamples();
    representer_->AutoScale();
}

void TSignalsFormsFrame::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (representer_)
        representer_->UpdateSamples();
    if (seriesStale_)
        FillAllSeries();
    Redraw();
}

// ----------------------------------------------------------- view operations

void TSignalsFormsFrame::Attach(TSignalsFormsRepresenter *representer)
{
    representer_ = representer;
    TAllSignalsForms *signalForms = representer->Forms();
    for (int k = 0; k < kVoltageSignals; ++k)
        forms_->AddConformity(signalForms->GetVoltage(k), lnsrsVoltage[k], chkVoltage[k], lblInfoVoltageData);
    for (int k = 0; k < kCurrentSignals; ++k)
        forms_->AddConformity(signalForms->GetCurrent(k), lnsrsCurrent[k], chkCurrent[k], lblInfoCurrentData);
    TChartInfoAndSettings *settings = representer->Settings();
    QCustomPlot *plot = chtSignalsForms;
    axes_->AddConformity(settings->VoltageAxis(), {plot->yAxis});
    axes_->AddConformity(settings->CurrentAxis(), {plot->yAxis2});
    axes_->AddConformity(settings->PointsAxis(), {plot->xAxis, plot->xAxis2});
    seriesStale_ = true;
}

void TSignalsFormsFrame::Detach()
{
    forms_->Clear();
    axes_->Clear();
    representer_ = nullptr;
}

void TSignalsFormsFrame::AxisRangeChanged(TAxisInfo *axis)
{
    const auto *entry = axes_->ConformityByAxisInfo(axis);
    if (!entry || syncingRanges_)
        return;
    syncingRanges_ = true;
    for (QCPAxis *chartAxis : entry->ChartAxes) {
        chartAxis->setRange(axis->Minimum(), axis->Maximum());
        const QCPRange range = chartAxis->range();
        auto home = std::find_if(home_.begin(), home_.end(), [&](const auto &item) { return item.first == chartAxis; });
        if (home == home_.end())
            home_.append({chartAxis, {range.lower, range.upper}});
        else
            home->second = {range.lower, range.upper};
    }
    syncingRanges_ = false;
    Redraw();
}

void TSignalsFormsFrame::AxisAdded(TAxisInfo *axis)
{
    if (const auto *entry = axes_->ConformityByAxisInfo(axis))
        for (QCPAxis *chartAxis : entry->ChartAxes)
            chartAxis->setLabel(axis->Caption());
    AxisRangeChanged(axis);
}

void TSignalsFormsFrame::GridVisibilityChanged()
{
    const bool visible = representer_ && representer_->GridVisible();
    chkCoordGridVisibility->setChecked(visible);
    QCustomPlot *plot = chtSignalsForms;
    for (QCPAxis *axis : {plot->xAxis, plot->xAxis2, plot->yAxis, plot->yAxis2})
        axis->grid()->setVisible(visible);
    Redraw();
}

void TSignalsFormsFrame::CursorInfoChanged(TFormOfOneSignal *signal, TChartInfoAndSettings *settings)
{
    const QColor text = palette().color(QPalette::WindowText);
    for (QLabel *label :
         {lblInfoVoltageValue, lblInfoVoltageData, lblInfoCurrentValue, lblInfoCurrentData, lblInfoPointIndexValue}) {
        label->setText(QStringLiteral("-"));
        SetTextColor(label, text);
    }
    if (signal) {
        if (const auto *entry = forms_->ConformityBySignalForm(signal)) {
            SetTextColor(entry->Label, signal->Color());
            entry->Label->setText(signal->Name());
        }
    }
    lblInfoVoltageValue->setText(settings->AxisValueText(settings->VoltageAxis()));
    lblInfoCurrentValue->setText(settings->AxisValueText(settings->CurrentAxis()));
    lblInfoPointIndexValue->setText(settings->AxisValueText(settings->PointsAxis()));
}

void TSignalsFormsFrame::SignalColorChanged(TFormOfOneSignal *signal)
{
    const auto *entry = forms_->ConformityBySignalForm(signal);
    if (!entry)
        return;
    SetTextColor(entry->CheckBox, signal->Color());
    QPen pen = entry->Series->pen();
    pen.setColor(signal->Color());
    entry->Series->setPen(pen);
    Redraw();
}

void TSignalsFormsFrame::SignalPointChanged(TFormOfOneSignal *signal, int sample)
{
    const auto *entry = forms_->ConformityBySignalForm(signal);
    if (!entry || sample < 0 || sample >= entry->Series->data()->size())
        return;
    (entry->Series->data()->begin() + sample)->value = signal->GetPoint(sample);
    Redraw();
}

void TSignalsFormsFrame::SignalNameChanged(TFormOfOneSignal *signal)
{
    if (const auto *entry = forms_->ConformityBySignalForm(signal))
        entry->CheckBox->setText(signal->Name());
}

void TSignalsFormsFrame::SignalPointsVisibilityChanged(TFormOfOneSignal *signal)
{
    const auto *entry = forms_->ConformityBySignalForm(signal);
    if (!entry)
        return;
    entry->Series->setScatterStyle(signal->PointsVisible() ? QCPScatterStyle(QCPScatterStyle::ssCircle, kMarkerSize)
                                                           : QCPScatterStyle(QCPScatterStyle::ssNone));
    Redraw();
}

void TSignalsFormsFrame::SignalShowingChanged(TFormOfOneSignal *signal)
{
    const auto *entry = forms_->ConformityBySignalForm(signal);
    if (!entry)
        return;
    entry->CheckBox->setChecked(signal->Showing());
    entry->Series->setVisible(signal->Showing());
    Redraw();
}

void TSignalsFormsFrame::SignalsSamplesChanged()
{
    if (!isVisible()) {
        seriesStale_ = true;
        return;
    }
    FillAllSeries();
    Redraw();
}

// ----------------------------------------------------------- series

qsizetype TSignalsFormsFrame::CurveCanvasBytes() const
{
    qsizetype bytes = 0;
    for (int i = 0; i < chtSignalsForms->plottableCount(); ++i)
        if (const auto *batched = dynamic_cast<const TBatchedLineGraph *>(chtSignalsForms->plottable(i)))
            bytes += batched->CanvasBytes();
    return bytes;
}

void TSignalsFormsFrame::FillSeries(const TFormsBuisnessAndGUIConformityManager::TEntry &entry)
{
    const int count = kSamplesPerPeriod * periods_;
    const float *samples = entry.Signal->Samples();
    QVector<QCPGraphData> data(count);
    for (int i = 0; i < count; ++i)
        data[i] = QCPGraphData(i + 1, samples[i]);
    entry.Series->data()->set(data, true);
}

void TSignalsFormsFrame::FillAllSeries()
{
    for (const auto &entry : forms_->Entries())
        FillSeries(entry);
    seriesStale_ = false;
}

void TSignalsFormsFrame::Redraw()
{
    // Hidden, the chart draws nothing; it is redrawn when shown. Queued
    // requests of one event coalesce into one redraw.
    if (isVisible())
        chtSignalsForms->replot(QCustomPlot::rpQueuedReplot);
}

// ----------------------------------------------------------- operator actions

void TSignalsFormsFrame::ChangeSignalFormShowingStatus(QObject *sender, bool checked)
{
    CheckPreConditions(qobject_cast<QCheckBox *>(sender) != nullptr,
                       "TSignalsFormsFrame.ChangeSignalFormShowingStatus");
    if (const auto *entry = forms_->ConformityByCheckBox(sender))
        entry->Signal->SetShowing(checked);
}

void TSignalsFormsFrame::SetSeriesPointsVisibility(QObject *sender, bool checked)
{
    CheckPreConditions(qobject_cast<QCheckBox *>(sender) != nullptr, "TSignalsFormsFrame.SetSeriesPointsVisibility");
    if (representer_)
        representer_->Forms()->SetPointsVisibleAll(checked);
}

void TSignalsFormsFrame::ChangePeriods(int periods)
{
    {
        const QSignalBlocker blockUpDown(ud1), blockTrack(trckbr1);
        ud1->setValue(periods);
        trckbr1->setValue(periods);
    }
    ShowPeriodsHint();
    if (periods == periods_)
        return;
    periods_ = periods;
    if (!commons_ || !representer_)
        return;
    commons_->SetOscPeriods(static_cast<uint8_t>(periods));
    representer_->SetPeriods(periods);
    if (commons_->RunState() == rsRunning) {
        FillAllSeries();
        Redraw();
    }
    QMetaObject::invokeMethod(this, &TSignalsFormsFrame::AutoScale, Qt::QueuedConnection);
}

void TSignalsFormsFrame::ShowPeriodsHint()
{
    // neither control shows its number: the hint does
    const QString hint = QStringLiteral("Число периодов сети в осциллограмме: %1").arg(ud1->value());
    ud1->setToolTip(hint);
    trckbr1->setToolTip(hint);
}

void TSignalsFormsFrame::ToggleSettings()
{
    const bool show = pnlSettings->isHidden();
    pnlSettings->setVisible(show);
    pnlSeparator->setText(show ? QStringLiteral("<<") : QStringLiteral(">>"));
}

void TSignalsFormsFrame::SetFrozen(bool frozen)
{
    if (!representer_)
        return;
    representer_->SetFrozen(frozen);
    if (!frozen)
        ShowLatestOscillogram(); // the latest stored one, at once
}

void TSignalsFormsFrame::UndoZoomByMouse()
{
    if (!representer_)
        return;
    // back to the ranges the model set last, through the model
    TChartInfoAndSettings *settings = representer_->Settings();
    for (TAxisInfo *axis : {settings->VoltageAxis(), settings->CurrentAxis(), settings->PointsAxis()}) {
        const auto *entry = axes_->ConformityByAxisInfo(axis);
        if (!entry || entry->ChartAxes.isEmpty())
            continue;
        for (const auto &[chartAxis, home] : home_)
            if (chartAxis == entry->ChartAxes.first())
                axis->SetMinimumAndMaximum(static_cast<float>(home.Upper), static_cast<float>(home.Lower));
    }
    representer_->UndoZoom();
}

void TSignalsFormsFrame::KeepSampleAxisInRecord(const QCPRange &range, const QCPRange &previous)
{
    QCustomPlot *plot = chtSignalsForms;
    if (syncingRanges_)
        return;
    QCPRange kept = range;
    const double size = range.size();
    const bool zoom = std::abs(size - previous.size()) > 1e-9 * std::max(1.0, previous.size());
    if (zoom || size >= kLastSample - kFirstSample) {
        kept.lower = std::max(kept.lower, kFirstSample);
        kept.upper = std::min(kept.upper, kLastSample);
    } else if (range.lower < kFirstSample) {
        kept = QCPRange(kFirstSample, kFirstSample + size);
    } else if (range.upper > kLastSample) {
        kept = QCPRange(kLastSample - size, kLastSample);
    }
    syncingRanges_ = true;
    if (kept.lower != range.lower || kept.upper != range.upper)
        plot->xAxis->setRange(kept);
    plot->xAxis2->setRange(plot->xAxis->range());
    syncingRanges_ = false;
}

// ----------------------------------------------------------- read-out and redraw

QCPGraph *TSignalsFormsFrame::ShownSeriesAt(const QPoint &position) const
{
    // The toolkit's own look-up finds hidden series too; a curve not on
    // screen is never the one under the mouse. Otherwise the same rule: the
    // nearest within the selection tolerance, the first of equals.
    QCustomPlot *plot = chtSignalsForms;
    if (!plot->axisRect()->rect().contains(position))
        return nullptr;
    QCPGraph *nearest = nullptr;
    double distance = plot->selectionTolerance();
    for (int i = 0; i < plot->plottableCount(); ++i) {
        auto *series = qobject_cast<QCPGraph *>(plot->plottable(i));
        if (!series || !series->realVisibility())
            continue;
        const double d = series->selectTest(position, false);
        if (d >= 0 && d < distance) {
            distance = d;
            nearest = series;
        }
    }
    return nearest;
}

void TSignalsFormsFrame::CursorReadOut(const QPoint &position)
{
    if (!representer_)
        return;
    QCustomPlot *plot = chtSignalsForms;
    TFormOfOneSignal *signal = nullptr;
    if (QCPGraph *under = ShownSeriesAt(position))
        if (const auto *entry = forms_->ConformityBySeries(under))
            signal = entry->Signal;
    representer_->CursorMoved(signal, static_cast<float>(plot->yAxis->pixelToCoord(position.y())),
                              static_cast<float>(plot->yAxis2->pixelToCoord(position.y())),
                              static_cast<float>(plot->xAxis->pixelToCoord(position.x())));
}

void TSignalsFormsFrame::ChartRedrawn()
{
    if (!representer_)
        return;
    QCustomPlot *plot = chtSignalsForms;
    // With the mouse elsewhere the read-out is that of a point off the
    // chart, every value "-": what it showed last is no longer under it.
    const QPoint mouse = plot->mapFromGlobal(QCursor::pos());
    CursorReadOut(plot->underMouse() && plot->rect().contains(mouse) ? mouse : QPoint(-1, -1));
    // The ranges on screen into the model: they are already drawn, so the
    // model's news of them moves nothing on the chart.
    TChartInfoAndSettings *settings = representer_->Settings();
    syncingRanges_ = true;
    const auto writeBack = [](TAxisInfo *axis, const QCPAxis *chartAxis) {
        axis->SetMinimumAndMaximum(static_cast<float>(chartAxis->range().upper),
                                   static_cast<float>(chartAxis->range().lower));
    };
    writeBack(settings->VoltageAxis(), plot->yAxis);
    writeBack(settings->CurrentAxis(), plot->yAxis2);
    writeBack(settings->PointsAxis(), plot->xAxis);
    syncingRanges_ = false;
}

void TSignalsFormsFrame::KeepSampleAxisInset()
{
    // The bottom axis spans 2 % to 98 % of the width between the vertical
    // axes: those stand off the plotting area by 2 % each. The width between
    // them does not depend on the offsets (the margins grow with them), so
    // one more layout pass settles it.
    QCustomPlot *plot = chtSignalsForms;
    const int between = plot->axisRect()->width() + plot->yAxis->offset() + plot->yAxis2->offset();
    const int inset = std::max(0, qRound(between * 0.02));
    if (inset == plot->yAxis->offset() && inset == plot->yAxis2->offset())
        return;
    plot->yAxis->setOffset(inset);
    plot->yAxis2->setOffset(inset);
    QCPLayout *layout = plot->plotLayout();
    layout->update(QCPLayoutElement::upMargins);
    layout->update(QCPLayoutElement::upLayout);
}

bool TSignalsFormsFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pnlSeparator && event->type() == QEvent::MouseButtonPress)
        ToggleSettings();
    return QWidget::eventFilter(watched, event);
}

// ----------------------------------------------------------- COMTRADE

bool TSignalsFormsFrame::SaveShownOscillogram()
{
    if (!representer_ || !commons_)
        return false;
    const TDataStorageManager *record = commons_->Store();
    const double meterTime = record->DeviceDateTime();
    const QDateTime start =
        meterTime > 0 ? TDataStorageManager::DecodeDateTime(meterTime) : QDateTime::currentDateTime();
    const float frequency = record->Value(VDSlot::F);
    const TccnConnection *connection = commons_->Settings() ? commons_->Settings()->Connection() : nullptr;
    const QString deviceClass =
        connection && connection->CustomDevice() ? connection->CustomDevice()->ClassName() : QString();
    const int32_t deviceNumber = commons_->LastDeviceNumber();

    const QString folder = ProgramDocumentsFolder();
    QDir().mkpath(folder);
    QString chosen;
    if (!ExecuteFileDialog(fdmSave, QStringLiteral("Сохранить осциллограмму"),
                           folder + Comtrade::FileName(deviceClass, deviceNumber, start),
                           QStringLiteral("Осциллограммы COMTRADE|*.cfg"), false, false, true, chosen, this))
        return false;

    const Comtrade::TEncodedRecord encoded =
        Comtrade::EncodeRecord(representer_->Samples(), kSamplesPerPeriod * periods_, ProgramTitle(), deviceNumber,
                               start, frequency > 0 ? frequency : kNominalFrequency);
    const TFileCOMTRADE file(QByteArrayView(encoded.Dat), QByteArrayView(encoded.Cfg), start);
    const auto showError = [this](const QString &text) { ShowError(text, this); };
    try {
        return file.SaveToFile(chosen, showError);
    } catch (const Exception &error) {
        showError(error.Message());
        return false;
    }
}
