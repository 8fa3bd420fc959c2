#pragma once

// One measured value with its unit: the number right-aligned on the left,
// on the background of its channel, the unit (with its prefix) on the
// right. Both texts are painted here, not by labels: a data block changes
// many numbers at once, and a number that changes then costs one repaint
// of its own opaque rectangle, with no relayout and nothing behind it
// painted again.

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QString>

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

    const QString &ValueText() const { return value_; }
    const QString &DimensionText() const { return dimension_; }
    QColor ValueColor() const { return valueColor_; }
    QColor ValueBackground() const { return background_; }
    // The value's font: bold for the statuses that call for it.
    QFont ValueFont() const;
    const QFont &DimensionFont() const { return textFont_; }
    // Where the number and the unit are painted.
    QRect ValueRect() const;
    QRect DimensionRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static inline const QString kNotMeaningful = QStringLiteral("--- ");
    static constexpr int kFontPixelSize = 16;
    // The gap between the number's background and the unit.
    static constexpr int kGapWidth = 2;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    class TNumber;

    void Show(const QString &number, const QString &dimension, const QColor &background, int status);
    void MeasureDimension();
    void PlaceNumber();

    TNumber *number_ = nullptr;
    QString value_ = QStringLiteral("0,00");
    QString dimension_;
    QColor valueColor_{0, 0, 0};
    QColor background_;
    bool bold_ = false;
    QString unit_;
    QFont textFont_;
    int dimensionWidth_ = 0; // of dimension_ in textFont_
    int textHeight_ = 0;
};
