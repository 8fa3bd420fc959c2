#pragma once

// The spectral part of the harmonics, interharmonics and power pages: a
// selector of the displayed data set, one table per data set stacked in
// one place, the bar chart of all data sets and the scale of its value
// axis ("Авто" and a spin edit). What one page shows differently from
// another is given as its TDesign.

#include "ui/charts/SpectrumChart.h"

#include <QGroupBox>
#include <QList>
#include <QPair>
#include <QStringList>

#include <array>

class QComboBox;
class QPushButton;
class QStackedWidget;
class TDataStorageManager;
class TScaleSpinEdit;
class TSpectrumTable;

class TSpectrumGroup : public QGroupBox
{
    Q_OBJECT

public:
    struct TSeries
    {
        const char *Name;
        QString Title;
        QColor Color;
    };

    // One entry of the selector and what it brings to the front.
    struct TItem
    {
        QString Caption;
        const char *Table;
        std::array<QString, 3> Names;
        std::array<QString, 3> Units;
        int ValueColumns = 3;
        // Value kind whose unit prefix the headers and the axis title take
        // (1 phase voltage, 2 line voltage, 3 current, 4 power); 0: none,
        // and the headers keep what they were given at the start.
        int PrefixKind = 0;
        QString AxisName;
        QStringList AxisUnits;                // joined by "/ " in the axis title
        QList<int> Shown;                     // series shown, by their index
        QList<QPair<int, QColor>> Recoloured; // series that change colour
    };

    struct TDesign
    {
        QString Title;
        const char *Name;
        const char *Selector;
        const char *Chart;
        const char *AutoButton;
        const char *ScaleEdit;
        int FirstNumber; // of the first table row: 2 (orders) or 1 (groups)
        QString Symbol;  // header of the number column: "n" or "m"
        TSpectrumChart::TLook Look;
        QList<TSeries> Series;
        QList<TItem> Items;
    };

    explicit TSpectrumGroup(const TDesign &design, QWidget *parent = nullptr);

    QComboBox *Selector() const { return selector_; }
    TSpectrumChart *Chart() const { return chart_; }
    QPushButton *AutoButton() const { return autoButton_; }
    TScaleSpinEdit *ScaleEdit() const { return scaleEdit_; }
    TSpectrumTable *Table(int item) const { return tables_.at(item); }
    TSpectrumTable *FrontTable() const;
    QCPBars *Series(int index) const { return chart_->Series().at(index); }
    int ItemCount() const { return static_cast<int>(design_.Items.size()); }
    int CurrentItem() const;

    // The axis title of an item with the prefixes of the last renewal.
    QString AxisTitle(int item) const;
    // Headers and axis title with the unit prefixes of the record's display
    // scale (on every nominals message).
    void RenewHeaders(const TDataStorageManager &record);

public slots:
    // The item's table to the front, its axis title, its series and
    // colours, then the "Авто" scale.
    void SelectItem(int item);
    // Value-axis maximum a + 1 from the shown bars, also in the spin edit.
    void AutoScale();
    // A number above 0 becomes the value-axis maximum; anything else
    // leaves the axis as it is.
    void ScaleTextChanged(const QString &text);

private:
    QWidget *BuildScaleStrip();
    void ApplySeries(const TItem &item);

    TDesign design_;
    std::array<QString, 5> prefixes_; // by value kind
    QComboBox *selector_ = nullptr;
    QStackedWidget *stack_ = nullptr;
    QList<TSpectrumTable *> tables_;
    TSpectrumChart *chart_ = nullptr;
    QPushButton *autoButton_ = nullptr;
    TScaleSpinEdit *scaleEdit_ = nullptr;
};
