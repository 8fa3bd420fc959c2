#pragma once

// Content of the page "Мощность": phase, three-phase and sequence powers of
// the whole signal or of its first harmonic above, and the powers of the
// harmonics 2..50 below, in tables and a bar chart. Values reach it only
// through the bindings it registers.

#include <QList>
#include <QWidget>

class QComboBox;
class QStackedWidget;
class TDataStorageManager;
class TIxLabel;
class TParamsControlsManager;
class TSpectrumGroup;
class TThreeParamsFrame;
class TValueWithDimensionFrame;

class TPowerPage : public QWidget
{
    Q_OBJECT

public:
    explicit TPowerPage(QWidget *parent = nullptr);

    void CreateBindings(TParamsControlsManager &manager);
    // Units of the value frames, each then showing "--- ".
    void SetUnits();
    // Table headers and axis title with the unit prefix of the power scale.
    void RenewHeaders(const TDataStorageManager &record);

    TSpectrumGroup *Spectrum() const { return gbGPower; }
    // Whether the first-harmonic frames are in front.
    bool FirstHarmonicShown() const;

public slots:
    // 0 "весь сигнал", 1 "первая гармоника".
    void cb3Select(int index);

public:
    QComboBox *cb3 = nullptr;

    // "Фазные мощности", whole signal and first harmonic
    TThreeParamsFrame *tpfFazaPowerP = nullptr;
    TThreeParamsFrame *tpfFazaPowerP1 = nullptr;
    TThreeParamsFrame *tpfFazaPowerQ = nullptr;
    TThreeParamsFrame *tpfFazaPowerQ1 = nullptr;
    TThreeParamsFrame *tpfFazaPowerS = nullptr;
    TThreeParamsFrame *tpfFazaPowerS1 = nullptr;
    TThreeParamsFrame *tpfFazaPowerKm = nullptr;
    TThreeParamsFrame *tpfFazaPowerKM1 = nullptr;
    TIxLabel *ixlb1 = nullptr;
    TIxLabel *ixlb4 = nullptr;
    TIxLabel *ixlb5 = nullptr;
    TIxLabel *ixlb6 = nullptr;

    // "Трехфазная мощность"
    QWidget *pnPower3f = nullptr;
    QWidget *pnPower3f_1 = nullptr;
    TValueWithDimensionFrame *vwdfPowerP3f = nullptr;
    TValueWithDimensionFrame *vwdfPowerQ3f = nullptr;
    TValueWithDimensionFrame *vwdfPowerS3f = nullptr;
    TValueWithDimensionFrame *vwdfPowerKm3f = nullptr;
    TValueWithDimensionFrame *vwdfPowerP3f_1 = nullptr;
    TValueWithDimensionFrame *vwdfPowerQ3f_1 = nullptr;
    TValueWithDimensionFrame *vwdfPowerS3f_1 = nullptr;
    TValueWithDimensionFrame *vwdfPowerKm3f_1 = nullptr;

    // "Несимметрия", sequences 0, 1, 2
    TThreeParamsFrame *tpfNesimPowerP = nullptr;
    TThreeParamsFrame *tpfNesimPowerQ = nullptr;
    TThreeParamsFrame *tpfNesimPowerS = nullptr;

    TSpectrumGroup *gbGPower = nullptr;

private:
    struct TLayer
    {
        QStackedWidget *Stack;
        QWidget *Whole;
        QWidget *First;
    };

    QWidget *BuildSelectorGroup();
    QWidget *BuildThreePhaseGroup();
    QWidget *BuildPhaseGroup();
    QWidget *BuildSequenceGroup();
    QWidget *ThreePhasePanel(const char *name, const QStringList &captions, TValueWithDimensionFrame **frames[4],
                             const char *const names[4]);
    QWidget *Layered(QWidget *whole, QWidget *first, int height);

    QList<TLayer> layers_;
};
