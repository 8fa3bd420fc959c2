#pragma once

// The spin edit of a chart's scale: the operator types the value-axis
// maximum in digits only. Every other character is dropped as it is typed,
// the backspace too; keys that type nothing (arrows, Delete, Home, End)
// work as usual. The value has no bounds.

#include <QSpinBox>

class TScaleSpinEdit : public QSpinBox
{
    Q_OBJECT

public:
    explicit TScaleSpinEdit(QWidget *parent = nullptr);

    static constexpr int kInitialValue = 10;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
