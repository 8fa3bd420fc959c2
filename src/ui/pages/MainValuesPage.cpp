#include "ui/pages/MainValuesPage.h"

#include "engine/RecordSlots.h"
#include "engine/DisplayLimits.h"
#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/widgets/IndexedLabel.h"
#include "ui/RecordBindings.h"
#include "ui/charts/VectorDiagrams.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kRowHeight = 22;
constexpr int kRowLabelWidth = 42;
constexpr int kSingleWidth = 68;
constexpr int kGroupMargin = 3;

const QColor kPhaseColors[3] = {QColor(230, 205, 43), QColor(0, 128, 0), QColor(255, 0, 0)};

TIxLabel *NewLabel(const QString &caption, QWidget *parent, const char *name = nullptr,
                   Qt::Alignment alignment = Qt::AlignLeft)
{
    auto *label = new TIxLabel(caption, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    label->SetAlignment(alignment);
    return label;
}

QGroupBox *NewGroup(const QString &title, const char *name, QWidget *parent)
{
    auto *group = new QGroupBox(title, parent);
    group->setObjectName(QLatin1String(name));
    return group;
}

void Compact(QLayout *layout)
{
    layout->setContentsMargins(kGroupMargin, kGroupMargin, kGroupMargin, kGroupMargin);
    layout->setSpacing(0);
}

} // namespace

TParamsMainPage::TParamsMainPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ParamsMainPage"));

    auto *top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(BuildSelectorGroup());
    top->addWidget(BuildFrequencyGroup());
    top->addStretch(1);

    auto *left = new QVBoxLayout;
    left->setSpacing(2);
    left->addWidget(BuildPhaseGroup());
    left->addWidget(BuildAsymmetryGroup());
    left->addStretch(1);

    gbVectorDiagram = NewGroup(QStringLiteral("Векторная диаграмма"), "gbVectorDiagram", this);
    gbVectorDiagram->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    vectorDiagrams_ = new TVectorDiagrams(gbVectorDiagram);
    auto *diagramLayout = new QVBoxLayout(gbVectorDiagram);
    Compact(diagramLayout);
    diagramLayout->addWidget(vectorDiagrams_);

    auto *right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(BuildLineGroup());
    right->addWidget(gbVectorDiagram, 1);

    auto *middle = new QHBoxLayout;
    middle->setSpacing(2);
    middle->addLayout(left);
    middle->addLayout(right, 1);

    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(2, 2, 2, 2);
    page->setSpacing(2);
    page->addLayout(top);
    page->addLayout(middle, 1);

    cbMainFazesVoltSelectorSelect(0);
}

TThreeParamsFrame *TParamsMainPage::NewThree(const char *name)
{
    auto *frame = new TThreeParamsFrame(this);
    frame->setObjectName(QLatin1String(name));
    frame->setFixedHeight(kRowHeight);
    return frame;
}

TValueWithDimensionFrame *TParamsMainPage::NewSingle(const char *name)
{
    auto *frame = new TValueWithDimensionFrame(this);
    frame->setObjectName(QLatin1String(name));
    frame->setFixedHeight(kRowHeight);
    return frame;
}

QWidget *TParamsMainPage::Layered(TThreeParamsFrame *whole, TThreeParamsFrame *first)
{
    auto *stack = new QStackedWidget(this);
    stack->addWidget(whole);
    stack->addWidget(first);
    stack->setFixedHeight(kRowHeight);
    layers_.append({stack, whole, first});
    return stack;
}

// Three column captions placed over the three values of a TThreeParamsFrame.
static QWidget *ColumnCaptions(QWidget *parent, const QStringList &captions, const QList<const char *> &names,
                               bool coloured, QList<TIxLabel *> *labels = nullptr)
{
    auto *strip = new QWidget(parent);
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < captions.size(); ++i) {
        TIxLabel *label = NewLabel(captions[i], strip, i < names.size() ? names[i] : nullptr, Qt::AlignHCenter);
        label->setFixedWidth(TThreeParamsFrame::kParamWidth);
        if (coloured)
            label->SetFontColor(kPhaseColors[i]);
        layout->addWidget(label);
        if (labels)
            labels->append(label);
    }
    layout->addStretch(1);
    return strip;
}

QWidget *TParamsMainPage::BuildSelectorGroup()
{
    QGroupBox *group = NewGroup(QStringLiteral("Отоброжаемые данные"), "gbMainDisplayedData", this);
    auto *layout = new QHBoxLayout(group);
    Compact(layout);
    cbMainFazesVoltSelector = new QComboBox(group);
    cbMainFazesVoltSelector->setObjectName(QStringLiteral("cbMainFazesVoltSelector"));
    cbMainFazesVoltSelector->addItems({QStringLiteral("весь сигнал"), QStringLiteral("первая гармоника")});
    cbMainFazesVoltSelector->setCurrentIndex(0);
    cbMainFazesVoltSelector->setMinimumWidth(160);
    connect(cbMainFazesVoltSelector, &QComboBox::activated, this, &TParamsMainPage::cbMainFazesVoltSelectorSelect);
    layout->addWidget(cbMainFazesVoltSelector);
    return group;
}

QWidget *TParamsMainPage::BuildFrequencyGroup()
{
    QGroupBox *group = NewGroup(QStringLiteral("Параметры частоты"), "gbMainFrequency", this);
    auto *layout = new QHBoxLayout(group);
    Compact(layout);
    vwdfMainFreq = NewSingle("vwdfMainFreq");
    vwdfMainFreq->setFixedWidth(TThreeParamsFrame::kParamWidth);
    vwdfMain_dFreq = NewSingle("vwdfMain_dFreq");
    vwdfMain_dFreq->setFixedWidth(TThreeParamsFrame::kParamWidth);
    layout->addWidget(NewLabel(QStringLiteral("F"), group, "ixlbMainFreqName"));
    layout->addWidget(vwdfMainFreq);
    layout->addSpacing(12);
    layout->addWidget(NewLabel(QStringLiteral("@DF"), group, "ixlbMain_dFreqName"));
    layout->addWidget(vwdfMain_dFreq);
    return group;
}

QWidget *TParamsMainPage::BuildPhaseGroup()
{
    QGroupBox *group = NewGroup(QStringLiteral("Фазные параметры"), "gbMainFazes", this);
    auto *grid = new QGridLayout(group);
    Compact(grid);
    grid->setColumnMinimumWidth(0, kRowLabelWidth);

    QList<TIxLabel *> columnLabels;
    grid->addWidget(ColumnCaptions(group, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
                                   {"ixlblMainFazaName_A", "ixlblMainFazaName_B", "ixlblMainFazaName_C"}, true,
                                   &columnLabels),
                    0, 1);
    ixlblMainFazaName_A = columnLabels[0];

    tpfMainFazes_U = NewThree("tpfMainFazes_U");
    tpfMainFazes_U1 = NewThree("tpfMainFazes_U1");
    tpfMainFazes_dU = NewThree("tpfMainFazes_dU");
    tpfMainFazes_dU1 = NewThree("tpfMainFazes_dU1");
    tpfMainFazes_Ku = NewThree("tpfMainFazes_Ku");
    tpfMainFiU = NewThree("tpfMainFiU");
    tpfMain_I = NewThree("tpfMain_I");
    tpfMain_I1 = NewThree("tpfMain_I1");
    tpfMain_Ki = NewThree("tpfMain_Ki");
    tpfMain_fiUI = NewThree("tpfMain_fiUI");
    tpfMain_P = NewThree("tpfMain_P");
    tpfMain_P1 = NewThree("tpfMain_P1");
    tpfMain_Q = NewThree("tpfMain_Q");
    tpfMain_Q1 = NewThree("tpfMain_Q1");
    tpfMain_S = NewThree("tpfMain_S");
    tpfMain_S1 = NewThree("tpfMain_S1");
    tpfMainKm = NewThree("tpfMainKm");
    tpfMainKm1 = NewThree("tpfMainKm1");

    ixlbMainVoltName = NewLabel(QStringLiteral("U"), group, "ixlbMainVoltName");
    ixlbMain_dUName = NewLabel(QStringLiteral("@dU"), group, "ixlbMain_dUName");
    ixlbMainCurentName = NewLabel(QStringLiteral("I"), group, "ixlbMainCurentName");
    ixlbMainPowerName = NewLabel(QStringLiteral("P"), group, "ixlbMainPowerName");
    ixlbMainReactivePower_name = NewLabel(QStringLiteral("Q"), group, "ixlbMainReactivePower_name");
    ixlbMainSName = NewLabel(QStringLiteral("S"), group, "ixlbMainSName");
    ixlbMainKmMain = NewLabel(QStringLiteral("K~m"), group, "ixlbMainKmMain");

    const QList<std::pair<QWidget *, QWidget *>> rows = {
        {ixlbMainVoltName, Layered(tpfMainFazes_U, tpfMainFazes_U1)},
        {ixlbMain_dUName, Layered(tpfMainFazes_dU, tpfMainFazes_dU1)},
        {NewLabel(QStringLiteral("K~U"), group, "ixlbMainKuName"), tpfMainFazes_Ku},
        {NewLabel(QStringLiteral("@j~u~u"), group, "ixlbMainFiUName"), tpfMainFiU},
        {ixlbMainCurentName, Layered(tpfMain_I, tpfMain_I1)},
        {NewLabel(QStringLiteral("K~I"), group, "ixlbMainKiName"), tpfMain_Ki},
        {NewLabel(QStringLiteral("@j~u~i"), group, "ixlbMainFiUIName"), tpfMain_fiUI},
        {ixlbMainPowerName, Layered(tpfMain_P, tpfMain_P1)},
        {ixlbMainReactivePower_name, Layered(tpfMain_Q, tpfMain_Q1)},
        {ixlbMainSName, Layered(tpfMain_S, tpfMain_S1)},
        {ixlbMainKmMain, Layered(tpfMainKm, tpfMainKm1)},
    };
    for (int i = 0; i < rows.size(); ++i) {
        grid->addWidget(rows[i].first, i + 1, 0);
        grid->addWidget(rows[i].second, i + 1, 1);
    }
    return group;
}

QWidget *TParamsMainPage::BuildLineGroup()
{
    QGroupBox *group = NewGroup(QStringLiteral("Междуфазные параметры"), "gbMainUnderfazes", this);
    auto *grid = new QGridLayout(group);
    Compact(grid);
    grid->setColumnMinimumWidth(0, kRowLabelWidth);

    QList<TIxLabel *> columnLabels;
    grid->addWidget(
        ColumnCaptions(group, {QStringLiteral("AB"), QStringLiteral("BC"), QStringLiteral("CA")},
                       {"ixlblMainUnderfazaName_AB", "ixlblMainUnderfazaName_BC", "ixlblMainUnderfazaName_CA"}, true,
                       &columnLabels),
        0, 1);
    ixlblMainUnderfazaName_AB = columnLabels[0];

    tpfMainUnderfazes_U = NewThree("tpfMainUnderfazes_U");
    tpfMainUnderfazes_U1 = NewThree("tpfMainUnderfazes_U1");
    tpfMainUnderfazes_dU = NewThree("tpfMainUnderfazes_dU");
    tpfMainUnderfazes_dU1 = NewThree("tpfMainUnderfazes_dU1");
    tpfMainUnderfazes_Ku = NewThree("tpfMainUnderfazes_Ku");
    tpfMainUnderFazesFi = NewThree("tpfMainUnderFazesFi");

    ixlbMainUnderfazesVoltName = NewLabel(QStringLiteral("U"), group, "ixlbMainUnderfazesVoltName");
    ixlblMainUnderfazes_dUName = NewLabel(QStringLiteral("@dU"), group, "ixlblMainUnderfazes_dUName");

    const QList<std::pair<QWidget *, QWidget *>> rows = {
        {ixlbMainUnderfazesVoltName, Layered(tpfMainUnderfazes_U, tpfMainUnderfazes_U1)},
        {ixlblMainUnderfazes_dUName, Layered(tpfMainUnderfazes_dU, tpfMainUnderfazes_dU1)},
        {NewLabel(QStringLiteral("K~U"), group, "ixlbMainUnderfazesKuName"), tpfMainUnderfazes_Ku},
        {NewLabel(QStringLiteral("@j~u~u"), group, "ixlbMainUnderfazesFiName"), tpfMainUnderFazesFi},
    };
    for (int i = 0; i < rows.size(); ++i) {
        grid->addWidget(rows[i].first, i + 1, 0);
        grid->addWidget(rows[i].second, i + 1, 1);
    }
    return group;
}

QWidget *TParamsMainPage::BuildAsymmetryGroup()
{
    QGroupBox *group = NewGroup(QStringLiteral("Несимметрия"), "gbMainAsymmetry", this);
    auto *grid = new QGridLayout(group);
    Compact(grid);
    grid->setColumnMinimumWidth(0, kSingleWidth);

    vwdKi0 = NewSingle("vwdKi0");
    vwddU1 = NewSingle("vwddU1");
    vwdKi0->setFixedWidth(kSingleWidth);
    vwddU1->setFixedWidth(kSingleWidth);
    tpfMainAsymmetryK0K2 = NewThree("tpfMainAsymmetryK0K2");
    tpfMainAsymmetryVolt = NewThree("tpfMainAsymmetryVolt");
    tpfMainAsymmetryCurr = NewThree("tpfMainAsymmetryCurr");
    tpfMainAsymmetryAngles = NewThree("tpfMainAsymmetryAngles");

    struct TRow
    {
        const char *singleCaption;
        TValueWithDimensionFrame *single;
        QStringList captions;
        TThreeParamsFrame *three;
    };
    const TRow rows[] = {
        {"K~0~I",
         vwdKi0,
         {QStringLiteral("K~2~I"), QStringLiteral("K~0~U"), QStringLiteral("K~2~U")},
         tpfMainAsymmetryK0K2},
        {"@dU~1", vwddU1, {QStringLiteral("U~0"), QStringLiteral("U~1"), QStringLiteral("U~2")}, tpfMainAsymmetryVolt},
        {nullptr, nullptr, {QStringLiteral("I~0"), QStringLiteral("I~1"), QStringLiteral("I~2")}, tpfMainAsymmetryCurr},
        {nullptr,
         nullptr,
         {QStringLiteral("@j~U~I~0"), QStringLiteral("@j~U~I~1"), QStringLiteral("@j~U~I~2")},
         tpfMainAsymmetryAngles},
    };
    int line = 0;
    for (const TRow &row : rows) {
        if (row.single) {
            TIxLabel *caption = NewLabel(QString::fromUtf8(row.singleCaption), group, nullptr, Qt::AlignHCenter);
            caption->setFixedWidth(kSingleWidth);
            grid->addWidget(caption, line, 0);
            grid->addWidget(row.single, line + 1, 0);
        }
        grid->addWidget(ColumnCaptions(group, row.captions, {}, false), line, 1);
        grid->addWidget(row.three, line + 1, 1);
        line += 2;
    }
    return group;
}

bool TParamsMainPage::FirstHarmonicShown() const
{
    return !layers_.isEmpty() && layers_.first().Stack->currentWidget() == layers_.first().First;
}

void TParamsMainPage::cbMainFazesVoltSelectorSelect(int index)
{
    const bool first = index == 1;
    for (const TLayer &layer : layers_)
        layer.Stack->setCurrentWidget(first ? layer.First : layer.Whole);
    if (cbMainFazesVoltSelector->currentIndex() != index && index >= 0 && index < cbMainFazesVoltSelector->count())
        cbMainFazesVoltSelector->setCurrentIndex(index);

    const auto caption = [first](const char *whole, const char *firstHarmonic) {
        return QString::fromUtf8(first ? firstHarmonic : whole);
    };
    ixlbMainUnderfazesVoltName->SetCaption(caption("U", "U~(~1~)"));
    ixlblMainUnderfazes_dUName->SetCaption(caption("@dU", "@dU~(~1~)"));
    ixlbMainVoltName->SetCaption(caption("U", "U~(~1~)"));
    ixlbMain_dUName->SetCaption(caption("@dU", "@dU~(~1~)"));
    ixlbMainCurentName->SetCaption(caption("I", "I~(~1~)"));
    ixlbMainPowerName->SetCaption(caption("P", "P~(~1~)"));
    ixlbMainReactivePower_name->SetCaption(caption("Q", "Q~(~1~)"));
    ixlbMainSName->SetCaption(caption("S", "S~(~1~)"));
    ixlbMainKmMain->SetCaption(caption("K~m", "K~m~(~1~)"));
}

void TParamsMainPage::SetNominalUnits(TValueWithDimensionFrame *uf, TValueWithDimensionFrame *umf,
                                      TValueWithDimensionFrame *i)
{
    const QColor face = TParamsControlsManager::ChannelBackground(0);
    const std::pair<TValueWithDimensionFrame *, QString> units[] = {
        {uf, QStringLiteral("В")}, {umf, QStringLiteral("В")}, {i, QStringLiteral("A")}};
    for (const auto &[frame, unit] : units) {
        if (!frame)
            continue;
        frame->SetUnit(unit);
        frame->ShowPlainValue(2, false, face, 0, 0);
    }
}

void TParamsMainPage::BindNominals(TParamsControlsManager &manager, TValueWithDimensionFrame *uf,
                                   TValueWithDimensionFrame *umf, TValueWithDimensionFrame *i)
{
    manager.AddScaledValue(VDSlot::UnomPhase, uf, 0, kNoChannel, 1);
    manager.AddScaledValue(VDSlot::UnomLine, umf, 0, kNoChannel, 2);
    manager.AddScaledValue(VDSlot::Inom, i, 0, kNoChannel, 3);
}

void TParamsMainPage::SetUnits()
{
    const QString volt = QStringLiteral("В");
    const QString ampLatin = QStringLiteral("A");
    const QString ampCyrillic = QStringLiteral("А");
    const QString percent = QStringLiteral("%");
    const QString degree = QStringLiteral("°");
    const QString hertz = QStringLiteral("Гц");

    for (TThreeParamsFrame *f :
         {tpfMainFazes_U, tpfMainFazes_U1, tpfMainUnderfazes_U, tpfMainUnderfazes_U1, tpfMainAsymmetryVolt})
        f->SetUnit(volt);
    tpfMainAsymmetryCurr->SetUnit(ampLatin);
    for (TThreeParamsFrame *f : {tpfMain_I, tpfMain_I1})
        f->SetUnit(ampCyrillic);
    for (TThreeParamsFrame *f : {tpfMainFazes_dU, tpfMainFazes_dU1, tpfMainFazes_Ku, tpfMain_Ki, tpfMainUnderfazes_dU,
                                 tpfMainUnderfazes_dU1, tpfMainUnderfazes_Ku, tpfMainAsymmetryK0K2})
        f->SetUnit(percent);
    vwddU1->SetUnit(percent);
    vwdKi0->SetUnit(percent);
    for (TThreeParamsFrame *f : {tpfMainFiU, tpfMain_fiUI, tpfMainUnderFazesFi, tpfMainAsymmetryAngles})
        f->SetUnit(degree);
    for (TThreeParamsFrame *f : {tpfMain_P, tpfMain_P1})
        f->SetUnit(QStringLiteral("Вт"));
    for (TThreeParamsFrame *f : {tpfMain_Q, tpfMain_Q1})
        f->SetUnit(QStringLiteral("вар"));
    for (TThreeParamsFrame *f : {tpfMain_S, tpfMain_S1})
        f->SetUnit(QStringLiteral("В*А"));
    for (TThreeParamsFrame *f : {tpfMainKm, tpfMainKm1})
        f->SetUnit(QString());
    vwdfMainFreq->SetUnit(hertz);
    vwdfMain_dFreq->SetUnit(hertz);

    const QColor face = TParamsControlsManager::ChannelBackground(0);
    for (TValueWithDimensionFrame *frame : findChildren<TValueWithDimensionFrame *>())
        frame->ShowPlainValue(2, false, face, 0, 0);
}

void TParamsMainPage::CreateBindings(TParamsControlsManager &m)
{
    using namespace VDSlot;
    using namespace DisplayLimits;
    const TLimitDescriptor phaseU = PhaseVoltage();
    const TLimitDescriptor phaseU1 = FundamentalVoltage(0);
    const TLimitDescriptor phaseDev = DeviationU1(0);
    const TLimitDescriptor phaseDev1 = DeviationU(0);
    const TLimitDescriptor lineU = LineVoltage();
    const TLimitDescriptor lineU1 = FundamentalVoltage(3);
    const TLimitDescriptor lineDev = DeviationU1(3);
    const TLimitDescriptor lineDev1 = DeviationU(3);
    const TLimitDescriptor harmonics = TotalHarmonics();

    // "Фазные параметры": column c is phase c
    for (int c = 0; c < 3; ++c) {
        m.AddScaledValue(Urms + c, tpfMainFazes_U->Param(c), 0, c, 1, phaseU);
        m.AddScaledValue(U1 + c, tpfMainFazes_U1->Param(c), 0, c, 1, phaseU1);
        m.AddPlainValue(dU1 + c, tpfMainFazes_dU->Param(c), 2, 0, c, phaseDev);
        m.AddPlainValue(dU + c, tpfMainFazes_dU1->Param(c), 2, 0, c, phaseDev1);
        m.AddPlainValue(KU + c, tpfMainFazes_Ku->Param(c), 2, 1, c, harmonics);
        m.AddPlainValue(AngleU + c, tpfMainFiU->Param(c), 2, 3, c);
        m.AddScaledValue(Irms + c, tpfMain_I->Param(c), 0, c, 3);
        m.AddScaledValue(I1 + c, tpfMain_I1->Param(c), 0, c, 3);
        m.AddPlainValue(KI + c, tpfMain_Ki->Param(c), 2, 2, c);
        m.AddPlainValue(FiUI1 + c, tpfMain_fiUI->Param(c), 2, 5, c);
        m.AddScaledValue(P + c, tpfMain_P->Param(c), 0, c, 4);
        m.AddScaledValue(P1 + c, tpfMain_P1->Param(c), 0, c, 4);
        m.AddScaledValue(Q + c, tpfMain_Q->Param(c), 0, c, 4);
        m.AddScaledValue(Q1 + c, tpfMain_Q1->Param(c), 0, c, 4);
        m.AddScaledValue(S + c, tpfMain_S->Param(c), 0, c, 4);
        m.AddScaledValue(S1 + c, tpfMain_S1->Param(c), 0, c, 4);
        m.AddPlainValue(Km + c, tpfMainKm->Param(c), 3, 0, c);
        m.AddPlainValue(Km1 + c, tpfMainKm1->Param(c), 3, 0, c);
    }

    // "Междуфазные параметры": column c is line c, voltage channel 3 + c
    for (int c = 0; c < 3; ++c) {
        const int channel = 3 + c;
        m.AddScaledValue(Urms + channel, tpfMainUnderfazes_U->Param(c), 0, channel, 2, lineU);
        m.AddScaledValue(U1 + channel, tpfMainUnderfazes_U1->Param(c), 0, channel, 2, lineU1);
        m.AddPlainValue(dU1 + channel, tpfMainUnderfazes_dU->Param(c), 2, 0, channel, lineDev);
        m.AddPlainValue(dU + channel, tpfMainUnderfazes_dU1->Param(c), 2, 0, channel, lineDev1);
        m.AddPlainValue(KU + channel, tpfMainUnderfazes_Ku->Param(c), 2, 1, channel, harmonics);
        m.AddPlainValue(AngleU + channel, tpfMainUnderFazesFi->Param(c), 2, 3, channel);
    }

    // "Несимметрия": no channel; the sequence voltages use the line-voltage
    // scale and the positive sequence the line-voltage limits
    m.AddPlainValue(K0I, vwdKi0, 2, 0, kNoChannel);
    m.AddPlainValue(K2I, tpfMainAsymmetryK0K2->Param(0), 2, 0, kNoChannel);
    m.AddPlainValue(K0U, tpfMainAsymmetryK0K2->Param(1), 2, 0, kNoChannel, ZeroSequenceUnbalance());
    m.AddPlainValue(K2U, tpfMainAsymmetryK0K2->Param(2), 2, 0, kNoChannel, NegativeSequenceUnbalance());
    m.AddPlainValue(dUseq1, vwddU1, 2, 0, kNoChannel, lineDev);
    m.AddScaledValue(U0, tpfMainAsymmetryVolt->Param(0), 0, kNoChannel, 2);
    m.AddScaledValue(U1seq, tpfMainAsymmetryVolt->Param(1), 0, kNoChannel, 2, lineU);
    m.AddScaledValue(U2, tpfMainAsymmetryVolt->Param(2), 0, kNoChannel, 2);
    for (int c = 0; c < 3; ++c) {
        m.AddScaledValue(I0 + c, tpfMainAsymmetryCurr->Param(c), 0, kNoChannel, 3);
        m.AddPlainValue(FiUI0 + c, tpfMainAsymmetryAngles->Param(c), 2, 0, kNoChannel);
    }

    // "Параметры частоты"
    m.AddPlainValue(F, vwdfMainFreq, 3, 0, kNoChannel, Frequency());
    m.AddPlainValue(dF, vwdfMain_dFreq, 3, 0, kNoChannel, FrequencyDeviation());

    vectorDiagrams_->CreateBindings(m);
}
