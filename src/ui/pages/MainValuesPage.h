#pragma once

// Content of the page "Основные": phase and line parameters, unbalance,
// frequency, the selector between the whole signal and its first harmonic,
// and the vector diagrams. Values reach it only through the
// bindings it registers with the window's TParamsControlsManager.

#include <QList>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QStackedWidget;
class TIxLabel;
class TParamsControlsManager;
class TThreeParamsFrame;
class TValueWithDimensionFrame;
class TVectorDiagrams;

class TParamsMainPage : public QWidget
{
    Q_OBJECT

public:
    explicit TParamsMainPage(QWidget *parent = nullptr);

    // Registers every binding of the page (window creation, step 8).
    void CreateBindings(TParamsControlsManager &manager);
    // Units of every frame of the page, each frame then showing "--- "
    // (window creation, step 11).
    void SetUnits();

    // The nominal values of the tool bar: "В", "В", "A" (Latin), scaled as
    // phase voltage, line voltage and current; no channel, no limits.
    static void SetNominalUnits(TValueWithDimensionFrame *uf, TValueWithDimensionFrame *umf,
                                TValueWithDimensionFrame *i);
    static void BindNominals(TParamsControlsManager &manager, TValueWithDimensionFrame *uf,
                             TValueWithDimensionFrame *umf, TValueWithDimensionFrame *i);

    QGroupBox *VectorDiagramGroup() const { return gbVectorDiagram; }
    TVectorDiagrams *VectorDiagrams() const { return vectorDiagrams_; }

    // Whether the first-harmonic layers are in front.
    bool FirstHarmonicShown() const;

public slots:
    // 0 "весь сигнал", 1 "первая гармоника".
    void cbMainFazesVoltSelectorSelect(int index);

public:
    QComboBox *cbMainFazesVoltSelector = nullptr;

    // "Фазные параметры"
    TThreeParamsFrame *tpfMainFazes_U = nullptr;
    TThreeParamsFrame *tpfMainFazes_U1 = nullptr;
    TThreeParamsFrame *tpfMainFazes_dU = nullptr;
    TThreeParamsFrame *tpfMainFazes_dU1 = nullptr;
    TThreeParamsFrame *tpfMainFazes_Ku = nullptr;
    TThreeParamsFrame *tpfMainFiU = nullptr;
    TThreeParamsFrame *tpfMain_I = nullptr;
    TThreeParamsFrame *tpfMain_I1 = nullptr;
    TThreeParamsFrame *tpfMain_Ki = nullptr;
    TThreeParamsFrame *tpfMain_fiUI = nullptr;
    TThreeParamsFrame *tpfMain_P = nullptr;
    TThreeParamsFrame *tpfMain_P1 = nullptr;
    TThreeParamsFrame *tpfMain_Q = nullptr;
    TThreeParamsFrame *tpfMain_Q1 = nullptr;
    TThreeParamsFrame *tpfMain_S = nullptr;
    TThreeParamsFrame *tpfMain_S1 = nullptr;
    TThreeParamsFrame *tpfMainKm = nullptr;
    TThreeParamsFrame *tpfMainKm1 = nullptr;

    // "Междуфазные параметры"
    TThreeParamsFrame *tpfMainUnderfazes_U = nullptr;
    TThreeParamsFrame *tpfMainUnderfazes_U1 = nullptr;
    TThreeParamsFrame *tpfMainUnderfazes_dU = nullptr;
    TThreeParamsFrame *tpfMainUnderfazes_dU1 = nullptr;
    TThreeParamsFrame *tpfMainUnderfazes_Ku = nullptr;
    TThreeParamsFrame *tpfMainUnderFazesFi = nullptr;

    // "Несимметрия"
    TValueWithDimensionFrame *vwdKi0 = nullptr;
    TThreeParamsFrame *tpfMainAsymmetryK0K2 = nullptr;
    TValueWithDimensionFrame *vwddU1 = nullptr;
    TThreeParamsFrame *tpfMainAsymmetryVolt = nullptr;
    TThreeParamsFrame *tpfMainAsymmetryCurr = nullptr;
    TThreeParamsFrame *tpfMainAsymmetryAngles = nullptr;

    // "Параметры частоты"
    TValueWithDimensionFrame *vwdfMainFreq = nullptr;
    TValueWithDimensionFrame *vwdfMain_dFreq = nullptr;

    // row labels that follow the selector
    TIxLabel *ixlbMainVoltName = nullptr;
    TIxLabel *ixlbMain_dUName = nullptr;
    TIxLabel *ixlbMainCurentName = nullptr;
    TIxLabel *ixlbMainPowerName = nullptr;
    TIxLabel *ixlbMainReactivePower_name = nullptr;
    TIxLabel *ixlbMainSName = nullptr;
    TIxLabel *ixlbMainKmMain = nullptr;
    TIxLabel *ixlbMainUnderfazesVoltName = nullptr;
    TIxLabel *ixlblMainUnderfazes_dUName = nullptr;

    // phase-A markers, coloured by the window when it is shown
    TIxLabel *ixlblMainFazaName_A = nullptr;
    TIxLabel *ixlblMainUnderfazaName_AB = nullptr;

    QGroupBox *gbVectorDiagram = nullptr;

private:
    struct TLayer
    {
        QStackedWidget *Stack;
        QWidget *Whole;
        QWidget *First;
    };

    QWidget *BuildSelectorGroup();
    QWidget *BuildFrequencyGroup();
    QWidget *BuildPhaseGroup();
    QWidget *BuildLineGroup();
    QWidget *BuildAsymmetryGroup();
    TThreeParamsFrame *NewThree(const char *name);
    TValueWithDimensionFrame *NewSingle(const char *name);
    // Two frames in one place; the selector decides which is in front.
    QWidget *Layered(TThreeParamsFrame *whole, TThreeParamsFrame *first);

    QList<TLayer> layers_;
    TVectorDiagrams *vectorDiagrams_ = nullptr;
};
