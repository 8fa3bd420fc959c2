#pragma once

// Content of the page "Гармоники": phase and line voltages, currents and
// their total harmonic coefficients with the frequency above, and the
// harmonics of orders 2..50 below, in tables and a bar chart. Values reach
// it only through the bindings it registers.

#include <QWidget>

class TDataStorageManager;
class TParamsControlsManager;
class TSpectrumGroup;
class TThreeParamsFrame;
class TValueWithDimensionFrame;

class THarmonicsPage : public QWidget
{
    Q_OBJECT

public:
    explicit THarmonicsPage(QWidget *parent = nullptr);

    void CreateBindings(TParamsControlsManager &manager);
    // Units of the value frames, each then showing "--- ".
    void SetUnits();
    // Table headers and axis title with the unit prefixes of the display scale.
    void RenewHeaders(const TDataStorageManager &record);

    TSpectrumGroup *Spectrum() const { return gbGarmonics; }

    TThreeParamsFrame *tpfGarmFazes_U = nullptr;
    TThreeParamsFrame *tpfGarmFazes_Ku = nullptr;
    TThreeParamsFrame *tpfGarm_I = nullptr;
    TThreeParamsFrame *tpfGarm_Ki = nullptr;
    TThreeParamsFrame *tpfGarmUnderfazes_U = nullptr;
    TThreeParamsFrame *tpfGarmUnderfazes_Ku = nullptr;
    TValueWithDimensionFrame *vwdfGarmFreq = nullptr;
    TSpectrumGroup *gbGarmonics = nullptr;

private:
    QWidget *BuildFields();
};
