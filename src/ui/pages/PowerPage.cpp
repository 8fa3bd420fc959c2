#include "ui/pages/PowerPage.h"

#include "engine/RecordSlots.h"
#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/widgets/IndexedLabel.h"
#include "ui/RecordBindings.h"
#include "ui/ParamsGroupBox.h"
#include "ui/charts/SpectrumDesigns.h"
#include "ui/charts/SpectrumTable.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kRowHeight = TParamsGroupBox::kRowHeight;

} // namespace

TPowerPage::TPowerPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PowerPage"));
    gbGPower = new TSpectrumGroup(SpectrumDesigns::Power(), this);

    auto *top = new QHBoxLayout;
    top->setSpacing(2);
    top->addWidget(BuildSelectorGroup());
    top->addWidget(BuildThreePhaseGroup());
    top->addStretch(1);
    auto *middle = new QHBoxLayout;
    middle->setSpacing(2);
    middle->addWidget(BuildPhaseGroup());
    middle->addWidget(BuildSequenceGroup(), 0, Qt::AlignTop);
    middle->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addLayout(middle);
    layout->addWidget(gbGPower, 1);
    cb3Select(0);
}

QWidget *TPowerPage::BuildSelectorGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Отображаемые данные"), this);
    group->setObjectName(QStringLiteral("gbPowerDisplayedData"));
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(3, 3, 3, 3);
    cb3 = new QComboBox(group);
    cb3->setObjectName(QStringLiteral("cb3"));
    cb3->addItems({QStringLiteral("весь сигнал"), QStringLiteral("первая гармоника")});
    cb3->setMinimumWidth(160);
    connect(cb3, &QComboBox::activated, this, &TPowerPage::cb3Select);
    layout->addWidget(cb3);
    return group;
}

QWidget *TPowerPage::ThreePhasePanel(const char *name, const QStringList &captions,
                                     TValueWithDimensionFrame **frames[4], const char *const names[4])
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QLatin1String(name));
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int k = 0; k < 4; ++k) {
        auto *label = new TIxLabel(captions[k], panel);
        label->setFixedWidth(34);
        label->SetAlignment(Qt::AlignRight);
        auto *frame = new TValueWithDimensionFrame(panel);
        frame->setObjectName(QLatin1String(names[k]));
        frame->setFixedSize(TThreeParamsFrame::kParamWidth, kRowHeight);
        layout->addWidget(label);
        layout->addSpacing(2);
        layout->addWidget(frame);
        *frames[k] = frame;
    }
    return panel;
}

QWidget *TPowerPage::BuildThreePhaseGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Трехфазная мощность"), this);
    group->setObjectName(QStringLiteral("gbPower3f"));
    TValueWithDimensionFrame **whole[4] = {&vwdfPowerP3f, &vwdfPowerQ3f, &vwdfPowerS3f, &vwdfPowerKm3f};
    static const char *const wholeNames[4] = {"vwdfPowerP3f", "vwdfPowerQ3f", "vwdfPowerS3f", "vwdfPowerKm3f"};
    TValueWithDimensionFrame **first[4] = {&vwdfPowerP3f_1, &vwdfPowerQ3f_1, &vwdfPowerS3f_1, &vwdfPowerKm3f_1};
    static const char *const firstNames[4] = {"vwdfPowerP3f_1", "vwdfPowerQ3f_1", "vwdfPowerS3f_1", "vwdfPowerKm3f_1"};
    // plain captions here, unlike the indexed row labels of the phase powers
    pnPower3f = ThreePhasePanel("pnPower3f", {"P", "Q", "S", "Km"}, whole, wholeNames);
    pnPower3f_1 = ThreePhasePanel("pnPower3f_1", {"P(1)", "Q(1)", "S(1)", "Km(1)"}, first, firstNames);
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->addWidget(Layered(pnPower3f, pnPower3f_1, kRowHeight));
    return group;
}

QWidget *TPowerPage::BuildPhaseGroup()
{
    auto *group = new TParamsGroupBox(QStringLiteral("Фазные мощности"), "gbFazaPower", this);
    group->AddCaptions({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, {"ixlb2", "ixlb3", "ixlb7"},
                       true);
    tpfFazaPowerP = group->NewThree("tpfFazaPowerP");
    tpfFazaPowerP1 = group->NewThree("tpfFazaPowerP1");
    tpfFazaPowerQ = group->NewThree("tpfFazaPowerQ");
    tpfFazaPowerQ1 = group->NewThree("tpfFazaPowerQ1");
    tpfFazaPowerS = group->NewThree("tpfFazaPowerS");
    tpfFazaPowerS1 = group->NewThree("tpfFazaPowerS1");
    tpfFazaPowerKm = group->NewThree("tpfFazaPowerKm");
    tpfFazaPowerKM1 = group->NewThree("tpfFazaPowerKM1");
    ixlb1 = group->AddRow(QStringLiteral("P"), "ixlb1", Layered(tpfFazaPowerP, tpfFazaPowerP1, kRowHeight));
    ixlb4 = group->AddRow(QStringLiteral("Q"), "ixlb4", Layered(tpfFazaPowerQ, tpfFazaPowerQ1, kRowHeight));
    ixlb5 = group->AddRow(QStringLiteral("S"), "ixlb5", Layered(tpfFazaPowerS, tpfFazaPowerS1, kRowHeight));
    ixlb6 = group->AddRow(QStringLiteral("K~m"), "ixlb6", Layered(tpfFazaPowerKm, tpfFazaPowerKM1, kRowHeight));
    return group;
}

QWidget *TPowerPage::BuildSequenceGroup()
{
    auto *group = new TParamsGroupBox(QStringLiteral("Несимметрия"), "gbNesimPower", this);
    group->AddCaptions({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}, {}, false);
    tpfNesimPowerP = group->NewThree("tpfNesimPowerP");
    tpfNesimPowerQ = group->NewThree("tpfNesimPowerQ");
    tpfNesimPowerS = group->NewThree("tpfNesimPowerS");
    group->AddRow(QStringLiteral("P"), "ixlbNesimPowerP", tpfNesimPowerP);
    group->AddRow(QStringLiteral("Q"), "ixlbNesimPowerQ", tpfNesimPowerQ);
    group->AddRow(QStringLiteral("S"), "ixlbNesimPowerS", tpfNesimPowerS);
    return group;
}

QWidget *TPowerPage::Layered(QWidget *whole, QWidget *first, int height)
{
    auto *stack = new QStackedWidget(this);
    stack->addWidget(whole);
    stack->addWidget(first);
    stack->setFixedHeight(height);
    layers_.append({stack, whole, first});
    return stack;
}

bool TPowerPage::FirstHarmonicShown() const
{
    return layers_.first().Stack->currentWidget() == layers_.first().First;
}

void TPowerPage::cb3Select(int index)
{
    const bool first = index == 1;
    for (const TLayer &layer : layers_)
        layer.Stack->setCurrentWidget(first ? layer.First : layer.Whole);
    if (cb3->currentIndex() != index && index >= 0 && index < cb3->count())
        cb3->setCurrentIndex(index);
    ixlb1->SetCaption(first ? QStringLiteral("P~(~1~)") : QStringLiteral("P"));
    ixlb4->SetCaption(first ? QStringLiteral("Q~(~1~)") : QStringLiteral("Q"));
    ixlb5->SetCaption(first ? QStringLiteral("S~(~1~)") : QStringLiteral("S"));
    ixlb6->SetCaption(first ? QStringLiteral("K~m~(~1~)") : QStringLiteral("K~m"));
}

void TPowerPage::SetUnits()
{
    const QString watt = QStringLiteral("Вт"), var = QStringLiteral("вар");
    const QString voltAmpere = QStringLiteral("В*A"); // Latin A
    for (TThreeParamsFrame *f : {tpfFazaPowerP, tpfFazaPowerP1, tpfNesimPowerP})
        f->SetUnit(watt);
    for (TThreeParamsFrame *f : {tpfFazaPowerQ, tpfFazaPowerQ1, tpfNesimPowerQ})
        f->SetUnit(var);
    for (TThreeParamsFrame *f : {tpfFazaPowerS, tpfFazaPowerS1, tpfNesimPowerS})
        f->SetUnit(voltAmpere);
    for (TThreeParamsFrame *f : {tpfFazaPowerKm, tpfFazaPowerKM1})
        f->SetUnit(QString());
    for (TValueWithDimensionFrame *f : {vwdfPowerP3f, vwdfPowerP3f_1})
        f->SetUnit(watt);
    for (TValueWithDimensionFrame *f : {vwdfPowerQ3f, vwdfPowerQ3f_1})
        f->SetUnit(var);
    for (TValueWithDimensionFrame *f : {vwdfPowerS3f, vwdfPowerS3f_1})
        f->SetUnit(voltAmpere);
    for (TValueWithDimensionFrame *f : {vwdfPowerKm3f, vwdfPowerKm3f_1})
        f->SetUnit(QString());
    const QColor face = TParamsControlsManager::ChannelBackground(0);
    for (TValueWithDimensionFrame *frame : findChildren<TValueWithDimensionFrame *>())
        frame->ShowPlainValue(2, false, face, 0, 0);
}

void TPowerPage::RenewHeaders(const TDataStorageManager &record)
{
    gbGPower->RenewHeaders(record);
}

void TPowerPage::CreateBindings(TParamsControlsManager &m)
{
    using namespace VDSlot;
    using namespace SpectrumDesigns;

    // the upper part: no limits, meaningful once the meter clock is read
    for (int c = 0; c < 3; ++c) {
        m.AddScaledValue(P + c, tpfFazaPowerP->Param(c), 0, c, 4);
        m.AddScaledValue(P1 + c, tpfFazaPowerP1->Param(c), 0, c, 4);
        m.AddScaledValue(Q + c, tpfFazaPowerQ->Param(c), 0, c, 4);
        m.AddScaledValue(Q1 + c, tpfFazaPowerQ1->Param(c), 0, c, 4);
        m.AddScaledValue(S + c, tpfFazaPowerS->Param(c), 0, c, 4);
        m.AddScaledValue(S1 + c, tpfFazaPowerS1->Param(c), 0, c, 4);
        m.AddPlainValue(Km + c, tpfFazaPowerKm->Param(c), 3, 0, c);
        m.AddPlainValue(Km1 + c, tpfFazaPowerKM1->Param(c), 3, 0, c);
        m.AddScaledValue(SeqPowers + c, tpfNesimPowerP->Param(c), 0, kNoChannel, 4);
        m.AddScaledValue(SeqPowers + 3 + c, tpfNesimPowerQ->Param(c), 0, kNoChannel, 4);
        m.AddScaledValue(SeqPowers + 6 + c, tpfNesimPowerS->Param(c), 0, kNoChannel, 4);
    }
    m.AddScaledValue(PSum, vwdfPowerP3f, 0, kNoChannel, 4);
    m.AddScaledValue(QSum, vwdfPowerQ3f, 0, kNoChannel, 4);
    m.AddScaledValue(SSum, vwdfPowerS3f, 0, kNoChannel, 4);
    m.AddPlainValue(KmSum, vwdfPowerKm3f, 3, 0, kNoChannel);
    m.AddScaledValue(P1Sum, vwdfPowerP3f_1, 0, kNoChannel, 4);
    m.AddScaledValue(Q1Sum, vwdfPowerQ3f_1, 0, kNoChannel, 4);
    m.AddScaledValue(S1Sum, vwdfPowerS3f_1, 0, kNoChannel, 4);
    m.AddPlainValue(Km1Sum, vwdfPowerKm3f_1, 3, 0, kNoChannel);

    // powers of harmonic n in row n - 1 and bar n - 2; the phase tables
    // (items 3..5) hold P, Q and S of one phase
    const TSpectrumGroup &g = *gbGPower;
    const TLimitDescriptor none;
    const int bases[3] = {Pn, Qn, Sn};
    const int series[3] = {kP, kQ, kS};
    for (int n = 2; n <= 50; ++n) {
        const int row = n - 1, bar = n - 2;
        for (int k = 0; k < 3; ++k) {
            for (int c = 0; c < 3; ++c) {
                const int slot = bases[k] + HarmonicCount * c + bar;
                m.AddGridCell(slot, g.Table(k), 4, none, c, 0, row, c + 1);
                m.AddGridCell(slot, g.Table(3 + c), 4, none, c, 0, row, k + 1);
                m.AddBarPoint(slot, g.Series(series[k] + c), bar, 4, c, 0);
            }
        }
    }
}
