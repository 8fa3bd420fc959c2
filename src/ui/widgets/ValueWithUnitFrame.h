#pragma once

// One measured value with its unit: the number right-aligned on the left,
// the unit (with its prefix) on the right.

#include <QColor>
#include <QFrame>
#include <QString>

class QLabel;

class TValueWithDimensionFrame : public QFrame
{
    Q_OBJECT

public:
    explicit TValueWithDimensionFrame(QWidget *parent = nullptr);

    const QString &Unit() const { return unit_; }
    void SetUnit(const QString &unit) { unit_ = unit; }

    // Meaningful: the number with `decimals` digits in the colour and weight
    // of its limit status; otherwise "--- " in black. The value's background
    // is the channel background either way.
    void ShowPlainValue(int decimals, bool meaningful, const QColor &background, int status, double value);
    // As ShowPlainValue with value / multiplier and the unit prefixed by the
    // multiplier's prefix (no prefix while not meaningful).
    void ShowScaledValue(double multiplier, int decimals, const QColor &background, int status, bool meaningful,
                         double value);

    QString ValueText() const;
    QString DimensionText() const;
    QLabel *ValueLabel() const { return lblValue; }
    QLabel *DimensionLabel() const { return lblDimension; }

    static inline const QString kNotMeaningful = QStringLiteral("--- ");
    static constexpr int kFontPixelSize = 16;

private:
    void Show(const QString &number, const QString &dimension, const QColor &background, int status);

    QLabel *lblValue = nullptr;
    QFrame *pn1 = nullptr;
    QLabel *lblDimension = nullptr;
    QString unit_;
};
