#include "ui/widgets/ThreeValuesFrame.h"

#include "common/Contracts.h"

#include <QHBoxLayout>

TThreeParamsFrame::TThreeParamsFrame(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    TValueWithDimensionFrame **params[3] = {&vwdfParam_1, &vwdfParam_2, &vwdfParam_3};
    for (int i = 0; i < 3; ++i) {
        auto *frame = new TValueWithDimensionFrame(this);
        frame->setObjectName(QStringLiteral("vwdfParam_%1").arg(i + 1));
        frame->setFixedWidth(kParamWidth);
        layout->addWidget(frame);
        *params[i] = frame;
    }
    layout->addStretch(1);
}

TValueWithDimensionFrame *TThreeParamsFrame::Param(int column) const
{
    CheckPreConditions(column >= 0 && column < 3, "TThreeParamsFrame.Param");
    return column == 0 ? vwdfParam_1 : column == 1 ? vwdfParam_2 : vwdfParam_3;
}

void TThreeParamsFrame::SetUnit(const QString &unit)
{
    vwdfParam_1->SetUnit(unit);
    vwdfParam_2->SetUnit(unit);
    vwdfParam_3->SetUnit(unit);
}
