#pragma once

// Content of the group "Векторная диаграмма": four phasor diagrams stacked
// in one place and chosen by a row of radio buttons (phase voltages with
// currents, line voltages, symmetrical components, powers), a colour legend,
// and over each diagram the "-"/"+" buttons of its scales. Each diagram is
// drawn again when a block brings new values of its slots, and at once when
// one of its scales changes.

#include <QWidget>

#include <array>
#include <initializer_list>

class QAbstractButton;
class QRadioButton;
class QStackedWidget;
class TDataStorageManager;
class TParamsControlsManager;
class TVectorChart;

class TVectorDiagrams : public QWidget
{
    Q_OBJECT

public:
    explicit TVectorDiagrams(QWidget *parent = nullptr);

    // Binds every diagram to the slots it is drawn from; the diagrams then
    // read the manager's record.
    void CreateBindings(TParamsControlsManager &manager);

    // How much longer than its share of the nominal a scale draws an arrow.
    enum TScale {
        scPhaseVoltage,
        scPhaseCurrent,
        scLineVoltage,
        scSequenceVoltage,
        scSequenceCurrent,
        scPower,
        kScaleCount
    };
    float Factor(TScale scale) const { return scales_[scale].Factor; }
    // "+" and "-": by kScaleStep, without bounds, and the diagram drawn at once.
    void ScaleUp(TScale scale);
    void ScaleDown(TScale scale);

    // 0 phase voltages and currents, 1 line voltages, 2 sequences, 3 powers.
    void ShowDiagram(int index);
    int ShownDiagram() const;

    // Each redraws one diagram from the record; a value that cannot be drawn
    // raises Exception and leaves the diagram as it was.
    void DrawDiagramm_Uf_I();
    void DrawDiagramm_Umf();
    void DrawDiagramm_U0_I2();
    void DrawDiagramm_P_Q();

    enum TDiagram { dgPhases, dgLines, dgSequences, dgPowers, kDiagramCount };
    TVectorChart *Chart(TDiagram diagram) const { return charts_[diagram]; }
    // Arrow series of the charts.
    static constexpr int kVoltageArrows = 0;
    static constexpr int kCurrentArrows = 1;
    static constexpr int kPowerArrows = 0;

    static constexpr float kScaleStep = 1.1f;

private:
    using TDrawMethod = void (TVectorDiagrams::*)();
    struct TDiagramScale
    {
        float Factor;
        TDrawMethod Redraw;
        const char *RedrawName;
    };

    QWidget *BuildSelector();
    QWidget *BuildLegend();
    QWidget *BuildPanel(TDiagram diagram, const char *name, std::initializer_list<TScale> scales);
    QWidget *BuildScaleStrip(QWidget *parent, TScale scale, const QString &caption, const char *decName,
                             const char *incName);
    void Redraw(TScale scale);
    float Value(int slot) const;

    std::array<TDiagramScale, kScaleCount> scales_;
    std::array<TVectorChart *, kDiagramCount> charts_{};
    std::array<QRadioButton *, kDiagramCount> radios_{};
    QStackedWidget *stack_ = nullptr;
    TParamsControlsManager *manager_ = nullptr;
};
