#pragma once

// Three values side by side: phases A, B, C (or lines AB, BC, CA, or the
// sequences 0, 1, 2).

#include "ui/widgets/ValueWithUnitFrame.h"

#include <QWidget>

class TThreeParamsFrame : public QWidget
{
    Q_OBJECT

public:
    explicit TThreeParamsFrame(QWidget *parent = nullptr);

    // column 0..2
    TValueWithDimensionFrame *Param(int column) const;
    void SetUnit(const QString &unit);

    static constexpr int kParamWidth = 115;

    TValueWithDimensionFrame *vwdfParam_1 = nullptr;
    TValueWithDimensionFrame *vwdfParam_2 = nullptr;
    TValueWithDimensionFrame *vwdfParam_3 = nullptr;
};
