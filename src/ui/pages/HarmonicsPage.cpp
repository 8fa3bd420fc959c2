#include "ui/pages/HarmonicsPage.h"

#include "engine/RecordSlots.h"
#include "engine/DisplayLimits.h"
#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/RecordBindings.h"
#include "ui/ParamsGroupBox.h"
#include "ui/charts/SpectrumDesigns.h"
#include "ui/charts/SpectrumTable.h"

#include <QVBoxLayout>

THarmonicsPage::THarmonicsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HarmonicsPage"));
    gbGarmonics = new TSpectrumGroup(SpectrumDesigns::Harmonics(), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(BuildFields());
    layout->addWidget(gbGarmonics, 1);
}

QWidget *THarmonicsPage::BuildFields()
{
    auto *phases = new TParamsGroupBox(QStringLiteral("Фазные параметры"), "gbGarmFazes", this);
    phases->AddCaptions({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
                        {"ixlblGarmFazaName_A", "ixlblGarmFazaName_B", "ixlblGarmFazaName_C"}, true);
    tpfGarmFazes_U = phases->NewThree("tpfGarmFazes_U");
    tpfGarmFazes_Ku = phases->NewThree("tpfGarmFazes_Ku");
    tpfGarm_I = phases->NewThree("tpfGarm_I");
    tpfGarm_Ki = phases->NewThree("tpfGarm_Ki");
    phases->AddRow(QStringLiteral("U"), "ixlbGarmVoltName", tpfGarmFazes_U);
    phases->AddRow(QStringLiteral("K~U"), "ixlbGarmKuName", tpfGarmFazes_Ku);
    phases->AddRow(QStringLiteral("I"), "ixlbGarmCurrentName", tpfGarm_I);
    phases->AddRow(QStringLiteral("K~I"), "ixlbGarmKiName", tpfGarm_Ki);

    auto *frequency = new TParamsGroupBox(QStringLiteral("Частота"), "gbGarmFreq", this);
    vwdfGarmFreq = frequency->NewSingle("vwdfGarmFreq");
    frequency->AddRow(QStringLiteral("F"), "ixlbGarmFreqName", vwdfGarmFreq);

    auto *lines = new TParamsGroupBox(QStringLiteral("Междуфазные параметры"), "gbGarmUnderfazes", this);
    lines->AddCaptions({QStringLiteral("AB"), QStringLiteral("BC"), QStringLiteral("CA")},
                       {"ixlblGarmUnderfazaName_AB", "ixlblGarmUnderfazaName_BC", "ixlblGarmUnderfazaName_CA"}, true);
    tpfGarmUnderfazes_U = lines->NewThree("tpfGarmUnderfazes_U");
    tpfGarmUnderfazes_Ku = lines->NewThree("tpfGarmUnderfazes_Ku");
    lines->AddRow(QStringLiteral("U"), "ixlbGarmUnderfazesVoltName", tpfGarmUnderfazes_U);
    lines->AddRow(QStringLiteral("K~U"), "ixlbGarmUnderfazesKuName", tpfGarmUnderfazes_Ku);

    return TParamsGroupBox::UpperFields(this, phases, frequency, lines);
}

void THarmonicsPage::SetUnits()
{
    tpfGarmFazes_U->SetUnit(QStringLiteral("В"));
    tpfGarmUnderfazes_U->SetUnit(QStringLiteral("В"));
    tpfGarm_I->SetUnit(QStringLiteral("А")); // Cyrillic, as on the main page
    for (TThreeParamsFrame *f : {tpfGarmFazes_Ku, tpfGarm_Ki, tpfGarmUnderfazes_Ku})
        f->SetUnit(QStringLiteral("%"));
    vwdfGarmFreq->SetUnit(QStringLiteral("Гц"));
    const QColor face = TParamsControlsManager::ChannelBackground(0);
    for (TValueWithDimensionFrame *frame : findChildren<TValueWithDimensionFrame *>())
        frame->ShowPlainValue(2, false, face, 0, 0);
}

void THarmonicsPage::RenewHeaders(const TDataStorageManager &record)
{
    gbGarmonics->RenewHeaders(record);
}

void THarmonicsPage::CreateBindings(TParamsControlsManager &m)
{
    using namespace VDSlot;
    using namespace SpectrumDesigns;

    // the upper fields, as on the main page
    for (int c = 0; c < 3; ++c) {
        const int line = 3 + c;
        m.AddScaledValue(Urms + c, tpfGarmFazes_U->Param(c), 0, c, 1, DisplayLimits::PhaseVoltage());
        m.AddPlainValue(KU + c, tpfGarmFazes_Ku->Param(c), 2, 1, c, DisplayLimits::TotalHarmonics());
        m.AddScaledValue(Irms + c, tpfGarm_I->Param(c), 0, c, 3);
        m.AddPlainValue(KI + c, tpfGarm_Ki->Param(c), 2, 2, c);
        m.AddScaledValue(Urms + line, tpfGarmUnderfazes_U->Param(c), 0, line, 2, DisplayLimits::LineVoltage());
        m.AddPlainValue(KU + line, tpfGarmUnderfazes_Ku->Param(c), 2, 1, line, DisplayLimits::TotalHarmonics());
    }
    m.AddPlainValue(F, vwdfGarmFreq, 3, 0, kNoChannel, DisplayLimits::Frequency());

    // order n in row n - 1 and bar n - 2; the phase tables are items 3..5
    const TSpectrumGroup &g = *gbGarmonics;
    const TLimitDescriptor none;
    for (int n = 2; n <= 50; ++n) {
        const int row = n - 1, bar = n - 2;
        const TLimitDescriptor limits = DisplayLimits::HarmonicOrder(n);
        for (int c = 0; c < 3; ++c) {
            const int line = 3 + c;
            const int phaseSlot = HarmonicCount * c + bar, lineSlot = HarmonicCount * line + bar;
            TSpectrumTable *phaseTable = g.Table(3 + c);

            m.AddGridCell(KUn + phaseSlot, g.Table(0), 5, limits, c, 1, row, c + 1);
            m.AddGridCell(KUn + phaseSlot, phaseTable, 5, limits, c, 1, row, 1);
            m.AddBarPoint(KUn + phaseSlot, g.Series(kKuPhases + c), bar, 5, c, 1);

            m.AddGridCell(KUn + lineSlot, g.Table(1), 5, limits, line, 1, row, c + 1);
            m.AddBarPoint(KUn + lineSlot, g.Series(kKuLines + c), bar, 5, line, 1);

            m.AddGridCell(KIn + phaseSlot, g.Table(2), 5, none, c, 2, row, c + 1);
            m.AddGridCell(KIn + phaseSlot, phaseTable, 5, none, c, 2, row, 2);
            m.AddBarPoint(KIn + phaseSlot, g.Series(kKi + c), bar, 5, c, 2);

            m.AddGridCell(FiUIn + phaseSlot, phaseTable, 5, none, c, 6, row, 3);

            m.AddGridCell(Un + phaseSlot, g.Table(6), 1, none, c, 1, row, c + 1);
            m.AddBarPoint(Un + phaseSlot, g.Series(kUPhases + c), bar, 1, c, 1);

            m.AddGridCell(Un + lineSlot, g.Table(7), 2, none, line, 1, row, c + 1);
            m.AddBarPoint(Un + lineSlot, g.Series(kULines + c), bar, 2, line, 1);

            m.AddGridCell(In + phaseSlot, g.Table(8), 3, none, c, 2, row, c + 1);
            m.AddBarPoint(In + phaseSlot, g.Series(kI + c), bar, 3, c, 2);
        }
    }
}
