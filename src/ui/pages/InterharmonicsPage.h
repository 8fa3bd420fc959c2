#pragma once

// Content of the page "Интергармоники": phase and line voltages, currents
// and the frequency above, and the interharmonic groups 1..49 below, in
// tables and a bar chart. Values reach it only through the bindings it
// registers.

#include <QWidget>

class TDataStorageManager;
class TParamsControlsManager;
class TSpectrumGroup;
class TThreeParamsFrame;
class TValueWithDimensionFrame;

class TInterharmonicsPage : public QWidget
{
    Q_OBJECT

public:
    explicit TInterharmonicsPage(QWidget *parent = nullptr);

    void CreateBindings(TParamsControlsManager &manager);
    // Units of the value frames, each then showing "--- ".
    void SetUnits();
    // Table headers and axis title with the unit prefixes of the display scale.
    void RenewHeaders(const TDataStorageManager &record);

    TSpectrumGroup *Spectrum() const { return gbIGarmonics; }

    TThreeParamsFrame *tpfIGarmFazes_U = nullptr;
    TThreeParamsFrame *tpfIGarmFazes_I = nullptr;
    TThreeParamsFrame *tpfIGarmUnderFazes_U = nullptr;
    TValueWithDimensionFrame *vwdfIGarmFreq = nullptr;
    TSpectrumGroup *gbIGarmonics = nullptr;

private:
    QWidget *BuildFields();
};
