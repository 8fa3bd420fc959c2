#include "ui/charts/VectorDiagrams.h"

#include "common/Exceptions.h"
#include "engine/MeasurementRecord.h"
#include "engine/RecordSlots.h"
#include "ui/ParamsGroupBox.h"
#include "ui/RecordBindings.h"
#include "ui/charts/VectorCalculations.h"
#include "ui/charts/VectorChart.h"
#include "ui/widgets/IndexedLabel.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

namespace {

using namespace VDSlot;

const QColor kActivePowerColor(0, 0, 255);
const QColor kReactivePowerColor(0, 0, 0);
const QColor kApparentPowerColor(128, 0, 128);

constexpr double kRange = 1.5;
constexpr double kPowerRange = 1.3;
constexpr double kSmallCircle = 1.0;
constexpr double kBigCircle = 1.3;
constexpr int kSwatchWidth = 22;
constexpr int kStripHeight = 22;

float Ratio(float part, float whole)
{
    return whole != 0 ? part / whole : 0.0f;
}

// A value the meter sent as not-a-number or infinity cannot be drawn.
TArrow Arrow(QPointF end, const QColor &color)
{
    if (!std::isfinite(end.x()) || !std::isfinite(end.y()))
        throw Exception(QStringLiteral("Недопустимое значение с плавающей точкой"));
    return {end, color};
}

// An arrow of `length` at `degrees` counter-clockwise from the horizontal axis.
TArrow Arrow(float length, float degrees, const QColor &color)
{
    const float radians = degrees * std::numbers::pi_v<float> / 180.0f;
    return Arrow(QPointF(length * std::cos(radians), length * std::sin(radians)), color);
}

// A short line in a phase colour, solid for voltages and dashed for currents.
class TLegendSwatch : public QWidget
{
public:
    TLegendSwatch(const QPen &pen, QWidget *parent) : QWidget(parent), pen_(pen) { setFixedSize(kSwatchWidth, 12); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setPen(pen_);
        painter.drawLine(2, height() / 2, width() - 2, height() / 2);
    }

private:
    QPen pen_;
};

// A filled square in a power colour.
QWidget *ColourBox(const QColor &color, QWidget *parent)
{
    auto *box = new QWidget(parent);
    box->setFixedSize(12, 12);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, color);
    box->setPalette(palette);
    return box;
}

// Clicking the caption beside a radio button chooses it, as its own text would.
class TCaptionClick : public QObject
{
public:
    TCaptionClick(QAbstractButton *button, QObject *parent) : QObject(parent), button_(button) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            button_->click();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractButton *button_;
};

TIxLabel *Caption(const QString &text, QWidget *parent)
{
    auto *label = new TIxLabel(text, parent);
    label->setFixedHeight(kStripHeight);
    return label;
}

} // namespace

TVectorDiagrams::TVectorDiagrams(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VectorDiagrams"));
    scales_[scPhaseVoltage] = {1.0f, &TVectorDiagrams::DrawDiagramm_Uf_I, "DrawDiagramm_Uf_I"};
    scales_[scPhaseCurrent] = {1.3f, &TVectorDiagrams::DrawDiagramm_Uf_I, "DrawDiagramm_Uf_I"};
    scales_[scLineVoltage] = {1.0f, &TVectorDiagrams::DrawDiagramm_Umf, "DrawDiagramm_Umf"};
    scales_[scSequenceVoltage] = {1.0f, &TVectorDiagrams::DrawDiagramm_U0_I2, "DrawDiagramm_U0_I2"};
    scales_[scSequenceCurrent] = {1.3f, &TVectorDiagrams::DrawDiagramm_U0_I2, "DrawDiagramm_U0_I2"};
    scales_[scPower] = {1.0f, &TVectorDiagrams::DrawDiagramm_P_Q, "DrawDiagramm_P_Q"};

    charts_[dgPhases] = new TVectorChart(kRange, kSmallCircle, kBigCircle);
    charts_[dgPhases]->setObjectName(QStringLiteral("chartDiagram_Uf_I"));
    charts_[dgPhases]->AddArrowSeries("arrserFaze_U", QStringLiteral("Напряжения"), TVectorChart::TLine::Solid);
    charts_[dgPhases]->AddArrowSeries("arrserFaze_I", QStringLiteral("Токи"), TVectorChart::TLine::Dashed);
    charts_[dgLines] = new TVectorChart(kRange, 0, 0);
    charts_[dgLines]->setObjectName(QStringLiteral("chartDiagram_Umf"));
    charts_[dgLines]->AddArrowSeries("arrserUnderfaze_U", QStringLiteral("Междуфазные напяжения"),
                                     TVectorChart::TLine::Solid);
    charts_[dgSequences] = new TVectorChart(kRange, kSmallCircle, kBigCircle);
    charts_[dgSequences]->setObjectName(QStringLiteral("chartDiagram_U0_I2"));
    charts_[dgSequences]->AddArrowSeries("arrserAsym_U", QStringLiteral("Несимметрия напряжения"),
                                         TVectorChart::TLine::Solid);
    charts_[dgSequences]->AddArrowSeries("arrserAsym_I", QStringLiteral("Несимметрия тока"),
                                         TVectorChart::TLine::Dashed);
    charts_[dgPowers] = new TVectorChart(kPowerRange, 0, 0);
    charts_[dgPowers]->setObjectName(QStringLiteral("chartDiagram_P_Q"));
    charts_[dgPowers]->AddArrowSeries("arrserPower", QStringLiteral("Мощности"), TVectorChart::TLine::Solid);

    stack_ = new QStackedWidget(this);
    stack_->setObjectName(QStringLiteral("stkDiagrams"));
    stack_->addWidget(BuildPanel(dgPhases, "pnDiagramm_Uf_I", {scPhaseCurrent, scPhaseVoltage}));
    stack_->addWidget(BuildPanel(dgLines, "pnDiagramm_Umf", {scLineVoltage}));
    stack_->addWidget(BuildPanel(dgSequences, "pnDiagramm_U0_I2", {scSequenceCurrent, scSequenceVoltage}));
    stack_->addWidget(BuildPanel(dgPowers, "pnDiagramm_P_Q", {scPower}));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(BuildSelector());
    layout->addWidget(BuildLegend());
    layout->addWidget(stack_, 1);
    ShowDiagram(dgPhases);
}

QWidget *TVectorDiagrams::BuildSelector()
{
    auto *strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("pnDiagramSelector"));
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    struct TChoice
    {
        const char *name;
        const char *caption;
    };
    const TChoice choices[kDiagramCount] = {{"rdbtnDiagramFazes", "U~ф,  I"},
                                            {"rdbtnDiagramUnderfazes", "U~м~ф"},
                                            {"rdbtnDiagramAssimetry", "U~0, ... ,I~2"},
                                            {"rdbtnDiagramPower", nullptr}};
    for (int i = 0; i < kDiagramCount; ++i) {
        auto *radio = new QRadioButton(strip);
        radio->setObjectName(QLatin1String(choices[i].name));
        radios_[i] = radio;
        connect(radio, &QRadioButton::clicked, this, [this, i] { ShowDiagram(i); });
        layout->addWidget(radio);
        if (choices[i].caption) {
            TIxLabel *label = Caption(QString::fromUtf8(choices[i].caption), strip);
            label->installEventFilter(new TCaptionClick(radio, label));
            layout->addWidget(label);
            layout->addSpacing(8);
            continue;
        }
        // P, Q and S each beside the colour of its arrow
        const std::pair<const char *, QColor> powers[] = {
            {"P", kActivePowerColor}, {"Q", kReactivePowerColor}, {"S", kApparentPowerColor}};
        for (const auto &[letter, color] : powers) {
            TIxLabel *label = Caption(QLatin1String(letter), strip);
            label->installEventFilter(new TCaptionClick(radio, label));
            layout->addWidget(label);
            layout->addWidget(ColourBox(color, strip));
            layout->addSpacing(4);
        }
    }
    layout->addStretch(1);
    return strip;
}

QWidget *TVectorDiagrams::BuildLegend()
{
    auto *legend = new QWidget(this);
    legend->setObjectName(QStringLiteral("pnDiagramLegend"));
    auto *layout = new QGridLayout(legend);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(2);
    layout->setVerticalSpacing(0);
    // a column per phase: its voltage above its current
    const char *voltages[3] = {"U~A, U~A~B, U~0", "U~B, U~B~C, U~1", "U~C, U~C~A, U~2"};
    const char *currents[3] = {"I~A, I~0", "I~B, I~1", "I~C, I~2"};
    for (int k = 0; k < 3; ++k) {
        layout->addWidget(new TLegendSwatch(QPen(TParamsGroupBox::PhaseColor(k), TVectorChart::kArrowPenWidth), legend),
                          0, 2 * k);
        layout->addWidget(Caption(QString::fromUtf8(voltages[k]), legend), 0, 2 * k + 1);
        layout->addWidget(new TLegendSwatch(QPen(TParamsGroupBox::PhaseColor(k), 1, Qt::DashLine), legend), 1, 2 * k);
        layout->addWidget(Caption(QString::fromUtf8(currents[k]), legend), 1, 2 * k + 1);
    }
    layout->setColumnStretch(6, 1);
    return legend;
}

QWidget *TVectorDiagrams::BuildPanel(TDiagram diagram, const char *name, std::initializer_list<TScale> scales)
{
    auto *panel = new QWidget;
    panel->setObjectName(QLatin1String(name));
    auto *strip = new QHBoxLayout;
    strip->setSpacing(2);
    struct TStrip
    {
        QString caption;
        const char *dec, *inc;
    };
    const auto describe = [](TScale scale) -> TStrip {
        switch (scale) {
        case scPhaseVoltage: return {"U~ф", "btnDiagramManagerFazes_U_Dec", "btnDiagramManagerFazes_U_Inc"};
        case scPhaseCurrent: return {"I", "btnDiagramManagerFazes_I_Dec", "btnDiagramManagerFazes_I_Inc"};
        case scLineVoltage: return {"U~м~ф", "btnDiagramManagerUnderfazes_U_Dec", "btnDiagramManagerUnderfazes_U_Inc"};
        case scSequenceVoltage: return {"U", "btnDiagramManagerAsym_U_Dec", "btnDiagramManagerAsym_U_Inc"};
        case scSequenceCurrent: return {"I", "btnDiagramManagerAsym_I_Dec", "btnDiagramManagerAsym_I_Inc"};
        default: return {"P, Q, S", "btnDiagramManagerPower_Dec", "btnDiagramManagerPower_Inc"};
        }
    };
    for (TScale scale : scales) {
        const TStrip s = describe(scale);
        strip->addWidget(BuildScaleStrip(panel, scale, s.caption, s.dec, s.inc));
        strip->addSpacing(12);
    }
    strip->addStretch(1);

    TVectorChart *chart = charts_[diagram];
    chart->setParent(panel);
    chart->setMinimumSize(120, 120);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(strip);
    layout->addWidget(chart, 1);
    return panel;
}

QWidget *TVectorDiagrams::BuildScaleStrip(QWidget *parent, TScale scale, const QString &caption, const char *decName,
                                          const char *incName)
{
    auto *strip = new QWidget(parent);
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(Caption(caption, strip));
    const auto button = [&](const char *name, const QString &text) {
        auto *b = new QToolButton(strip);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setFixedSize(kStripHeight, kStripHeight);
        layout->addWidget(b);
        return b;
    };
    connect(button(decName, QStringLiteral("-")), &QToolButton::clicked, this, [this, scale] { ScaleDown(scale); });
    connect(button(incName, QStringLiteral("+")), &QToolButton::clicked, this, [this, scale] { ScaleUp(scale); });
    return strip;
}

void TVectorDiagrams::CreateBindings(TParamsControlsManager &m)
{
    manager_ = &m;
    const auto bind = [&](std::initializer_list<int> sources, void (TVectorDiagrams::*method)(), const char *name) {
        for (int slot : sources)
            m.AddNotification(
                slot, [this, method] { (this->*method)(); }, QLatin1String(name));
    };
    bind({UnomPhase, Inom, Urms, Urms + 1, Urms + 2, VectorAngleU, VectorAngleU + 1, VectorAngleU + 2, Irms, Irms + 1,
          Irms + 2, FiUI1, FiUI1 + 1, FiUI1 + 2},
         &TVectorDiagrams::DrawDiagramm_Uf_I, "DrawDiagramm_Uf_I");
    bind({UnomLine, Urms + 3, Urms + 4, Urms + 5, VectorAngleU + 3, VectorAngleU + 4, VectorAngleU + 5},
         &TVectorDiagrams::DrawDiagramm_Umf, "DrawDiagramm_Umf");
    bind({UnomLine, Inom, U1, U1 + 1, U1 + 2, U1 + 3, U1 + 4, U1 + 5, U0, U1seq, U2, I0, I1seq, I2, FiUI0, FiUI1seq,
          FiUI2},
         &TVectorDiagrams::DrawDiagramm_U0_I2, "DrawDiagramm_U0_I2");
    bind({PSum, QSum, SSum}, &TVectorDiagrams::DrawDiagramm_P_Q, "DrawDiagramm_P_Q");
}

void TVectorDiagrams::ScaleUp(TScale scale)
{
    scales_[scale].Factor *= kScaleStep;
    Redraw(scale);
}

void TVectorDiagrams::ScaleDown(TScale scale)
{
    scales_[scale].Factor /= kScaleStep;
    Redraw(scale);
}

void TVectorDiagrams::Redraw(TScale scale)
{
    if (!manager_)
        return; // nothing to draw from yet
    const TDiagramScale &s = scales_[scale];
    manager_->CallNotification([this, &s] { (this->*s.Redraw)(); }, QLatin1String(s.RedrawName));
}

void TVectorDiagrams::ShowDiagram(int index)
{
    if (index < 0 || index >= kDiagramCount)
        return;
    stack_->setCurrentIndex(index);
    radios_[index]->setChecked(true);
}

int TVectorDiagrams::ShownDiagram() const
{
    return stack_->currentIndex();
}

float TVectorDiagrams::Value(int slot) const
{
    return manager_ ? manager_->Record().Value(slot) : 0.0f;
}

void TVectorDiagrams::DrawDiagramm_Uf_I()
{
    const float uFactor = scales_[scPhaseVoltage].Factor;
    const float iFactor = scales_[scPhaseCurrent].Factor;
    std::vector<TArrow> voltages, currents;
    for (int k = 0; k < 3; ++k) {
        const float angle = Value(VectorAngleU + k);
        voltages.push_back(
            Arrow(Ratio(Value(U1 + k), Value(UnomPhase)) * uFactor, angle, TParamsGroupBox::PhaseColor(k)));
        currents.push_back(Arrow(Ratio(Value(I1 + k), Value(Inom)) * iFactor, angle - Value(FiUI1 + k),
                                 TParamsGroupBox::PhaseColor(k)));
    }
    charts_[dgPhases]->SetArrows(kVoltageArrows, voltages);
    charts_[dgPhases]->SetArrows(kCurrentArrows, currents);
}

void TVectorDiagrams::DrawDiagramm_Umf()
{
    const float factor = scales_[scLineVoltage].Factor;
    std::vector<TArrow> voltages;
    for (int k = 0; k < 3; ++k)
        voltages.push_back(Arrow(Ratio(Value(U1 + 3 + k), Value(UnomLine)) * factor, Value(VectorAngleU + 3 + k),
                                 TParamsGroupBox::PhaseColor(k)));
    charts_[dgLines]->SetArrows(kVoltageArrows, voltages);
}

void TVectorDiagrams::DrawDiagramm_U0_I2()
{
    TThreePhasors phases, lines;
    for (int k = 0; k < 3; ++k) {
        phases[k] = {Value(Urms + k), Value(VectorAngleU + k)};
        lines[k] = {Value(Urms + 3 + k), Value(VectorAngleU + 3 + k)};
    }
    const std::array<float, 2> rotating = TCalculations::PositiveNegativeAngles(lines);
    const float angles[3] = {TCalculations::ZeroSequenceAngle(phases), rotating[0], rotating[1]};
    const int voltageSlots[3] = {U0, U1seq, U2};
    const int currentSlots[3] = {I0, I1seq, I2};
    const int shiftSlots[3] = {FiUI0, FiUI1seq, FiUI2};

    const float uFactor = scales_[scSequenceVoltage].Factor;
    const float iFactor = scales_[scSequenceCurrent].Factor;
    std::vector<TArrow> voltages, currents;
    for (int k = 0; k < 3; ++k) {
        voltages.push_back(
            Arrow(Ratio(Value(voltageSlots[k]), Value(UnomLine)) * uFactor, angles[k], TParamsGroupBox::PhaseColor(k)));
        currents.push_back(Arrow(Ratio(Value(currentSlots[k]), Value(Inom)) * iFactor, angles[k] - Value(shiftSlots[k]),
                                 TParamsGroupBox::PhaseColor(k)));
    }
    charts_[dgSequences]->SetArrows(kVoltageArrows, voltages);
    charts_[dgSequences]->SetArrows(kCurrentArrows, currents);
}

void TVectorDiagrams::DrawDiagramm_P_Q()
{
    const float factor = scales_[scPower].Factor;
    const float active = Value(PSum);
    const float reactive = Value(QSum);
    const float largest = std::max(std::fabs(active), std::fabs(reactive));
    const float p = Ratio(active, largest) * factor;
    const float q = Ratio(reactive, largest) * factor;
    const std::vector<TArrow> powers = {Arrow(QPointF(p, 0), kActivePowerColor),
                                        Arrow(QPointF(0, q), kReactivePowerColor),
                                        Arrow(QPointF(p, q), kApparentPowerColor)};
    charts_[dgPowers]->SetArrows(kPowerArrows, powers);
}
