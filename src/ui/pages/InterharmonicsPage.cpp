#include "ui/pages/InterharmonicsPage.h"

#include "engine/RecordSlots.h"
#include "engine/DisplayLimits.h"
#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/RecordBindings.h"
#include "ui/ParamsGroupBox.h"
#include "ui/charts/SpectrumDesigns.h"
#include "ui/charts/SpectrumTable.h"

#include <QVBoxLayout>

TInterharmonicsPage::TInterharmonicsPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("InterharmonicsPage"));
    gbIGarmonics = new TSpectrumGroup(SpectrumDesigns::Interharmonics(), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(BuildFields());
    layout->addWidget(gbIGarmonics, 1);
}

QWidget *TInterharmonicsPage::BuildFields()
{
    auto *phases = new TParamsGroupBox(QStringLiteral("Фазные параметры"), "gbIGarmFazes", this);
    phases->AddCaptions({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")},
                        {"IxLabel4", "IxLabel5", "IxLabel6"}, true);
    tpfIGarmFazes_U = phases->NewThree("tpfIGarmFazes_U");
    tpfIGarmFazes_I = phases->NewThree("tpfIGarmFazes_I");
    phases->AddRow(QStringLiteral("U"), "ixlbIGarmVoltName", tpfIGarmFazes_U);
    phases->AddRow(QStringLiteral("I"), "ixlbIGarmCurrentName", tpfIGarmFazes_I);

    auto *frequency = new TParamsGroupBox(QStringLiteral("Частота"), "gbIGarmFreq", this);
    vwdfIGarmFreq = frequency->NewSingle("vwdfIGarmFreq");
    frequency->AddRow(QStringLiteral("F"), "ixlbIGarmFreqName", vwdfIGarmFreq);

    auto *lines = new TParamsGroupBox(QStringLiteral("Междуфазные параметры"), "gbIGarmUnderfazes", this);
    lines->AddCaptions({QStringLiteral("AB"), QStringLiteral("BC"), QStringLiteral("CA")},
                       {"IxLabel11", "IxLabel12", "IxLabel13"}, true);
    tpfIGarmUnderFazes_U = lines->NewThree("tpfIGarmUnderFazes_U");
    lines->AddRow(QStringLiteral("U"), "ixlbIGarmUnderfazesVoltName", tpfIGarmUnderFazes_U);

    return TParamsGroupBox::UpperFields(this, phases, frequency, lines);
}

void TInterharmonicsPage::SetUnits()
{
    tpfIGarmFazes_U->SetUnit(QStringLiteral("В"));
    tpfIGarmUnderFazes_U->SetUnit(QStringLiteral("В"));
    tpfIGarmFazes_I->SetUnit(QStringLiteral("А")); // Cyrillic, as on the main page
    vwdfIGarmFreq->SetUnit(QStringLiteral("Гц"));
    const QColor face = TParamsControlsManager::ChannelBackground(0);
    for (TValueWithDimensionFrame *frame : findChildren<TValueWithDimensionFrame *>())
        frame->ShowPlainValue(2, false, face, 0, 0);
}

void TInterharmonicsPage::RenewHeaders(const TDataStorageManager &record)
{
    gbIGarmonics->RenewHeaders(record);
}

void TInterharmonicsPage::CreateBindings(TParamsControlsManager &bindings)
{
    using namespace VDSlot;
    using namespace SpectrumDesigns;

    for (int c = 0; c < 3; ++c) {
        bindings.AddScaledValue(Urms + c, tpfIGarmFazes_U->Param(c), 0, c, 1, DisplayLimits::PhaseVoltage());
        bindings.AddScaledValue(Irms + c, tpfIGarmFazes_I->Param(c), 0, c, 3);
        bindings.AddScaledValue(Urms + 3 + c, tpfIGarmUnderFazes_U->Param(c), 0, 3 + c, 2,
                                DisplayLimits::LineVoltage());
    }
    bindings.AddPlainValue(F, vwdfIGarmFreq, 3, 0, kNoChannel, DisplayLimits::Frequency());

    // group m in row m and bar m - 1; the phase tables are items 3..5
    const TSpectrumGroup &g = *gbIGarmonics;
    const TLimitDescriptor none;
    for (int m = 1; m <= 49; ++m) {
        const int row = m, bar = m - 1;
        const TLimitDescriptor limits = DisplayLimits::InterharmonicGroup(m);
        for (int c = 0; c < 3; ++c) {
            const int line = 3 + c;
            const int phaseSlot = HarmonicCount * c + bar, lineSlot = HarmonicCount * line + bar;
            TSpectrumTable *phaseTable = g.Table(3 + c);

            bindings.AddGridCell(KUm + phaseSlot, g.Table(0), 5, limits, c, 1, row, c + 1);
            bindings.AddGridCell(KUm + phaseSlot, phaseTable, 5, limits, c, 1, row, 1);
            bindings.AddBarPoint(KUm + phaseSlot, g.Series(kKuPhases + c), bar, 5, c, 1);

            bindings.AddGridCell(KUm + lineSlot, g.Table(1), 5, limits, line, 1, row, c + 1);
            bindings.AddBarPoint(KUm + lineSlot, g.Series(kKuLines + c), bar, 5, line, 1);

            bindings.AddGridCell(KIm + phaseSlot, g.Table(2), 5, none, c, 2, row, c + 1);
            bindings.AddGridCell(KIm + phaseSlot, phaseTable, 5, none, c, 2, row, 2);
            bindings.AddBarPoint(KIm + phaseSlot, g.Series(kKi + c), bar, 5, c, 2);

            bindings.AddGridCell(Um + phaseSlot, g.Table(6), 1, none, c, 1, row, c + 1);
            bindings.AddBarPoint(Um + phaseSlot, g.Series(kUPhases + c), bar, 1, c, 1);

            bindings.AddGridCell(Um + lineSlot, g.Table(7), 2, none, line, 1, row, c + 1);
            bindings.AddBarPoint(Um + lineSlot, g.Series(kULines + c), bar, 2, line, 1);

            bindings.AddGridCell(Im + phaseSlot, g.Table(8), 3, none, c, 2, row, c + 1);
            bindings.AddBarPoint(Im + phaseSlot, g.Series(kI + c), bar, 3, c, 2);
        }
    }
}
