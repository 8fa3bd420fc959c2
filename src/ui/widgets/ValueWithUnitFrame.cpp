#include "ui/widgets/ValueWithUnitFrame.h"

#include "ui/ValueFormat.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

// The number on its background. It covers all it paints, so a new number
// repaints this rectangle alone, not the group box behind it.
class TValueWithDimensionFrame::TNumber : public QWidget
{
public:
    explicit TNumber(TValueWithDimensionFrame *frame) : QWidget(frame), frame_(frame)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), frame_->background_);
        painter.setFont(frame_->ValueFont());
        painter.setPen(frame_->valueColor_);
        painter.drawText(rect(), Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, frame_->value_);
    }

private:
    const TValueWithDimensionFrame *frame_;
};

TValueWithDimensionFrame::TValueWithDimensionFrame(QWidget *parent) : QFrame(parent)
{
    background_ = palette().color(QPalette::Window);
    number_ = new TNumber(this);
    MeasureDimension();
}

QFont TValueWithDimensionFrame::ValueFont() const
{
    QFont f = textFont_;
    f.setBold(bold_);
    return f;
}

QRect TValueWithDimensionFrame::ValueRect() const
{
    const QRect r = contentsRect();
    return QRect(r.left(), r.top(), std::max(0, r.width() - kGapWidth - dimensionWidth_), r.height());
}

QRect TValueWithDimensionFrame::DimensionRect() const
{
    const QRect r = contentsRect();
    return QRect(r.right() + 1 - dimensionWidth_, r.top(), dimensionWidth_, r.height());
}

QSize TValueWithDimensionFrame::sizeHint() const
{
    // the number takes the room the frame is given; the unit is never cut
    const QMargins m = contentsMargins();
    return QSize(kGapWidth + dimensionWidth_ + m.left() + m.right(), textHeight_ + m.top() + m.bottom());
}

QSize TValueWithDimensionFrame::minimumSizeHint() const
{
    return sizeHint();
}

void TValueWithDimensionFrame::MeasureDimension()
{
    textFont_ = font();
    textFont_.setPixelSize(kFontPixelSize);
    const QFontMetrics metrics(textFont_);
    textHeight_ = metrics.height();
    dimensionWidth_ = dimension_.isEmpty() ? 0 : metrics.horizontalAdvance(dimension_);
}

void TValueWithDimensionFrame::PlaceNumber()
{
    number_->setGeometry(ValueRect());
}

void TValueWithDimensionFrame::resizeEvent(QResizeEvent *event)
{
    PlaceNumber();
    QFrame::resizeEvent(event);
}

void TValueWithDimensionFrame::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        MeasureDimension();
        PlaceNumber();
        updateGeometry();
        update();
    }
    QFrame::changeEvent(event);
}

void TValueWithDimensionFrame::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (dimension_.isEmpty())
        return;
    QPainter painter(this);
    painter.setFont(textFont_);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(DimensionRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, dimension_);
}

void TValueWithDimensionFrame::Show(const QString &number, const QString &dimension, const QColor &background,
                                    int status)
{
    // A data block refreshes every frame; only what changed is repainted.
    if (dimension != dimension_) {
        const int oldWidth = dimensionWidth_;
        dimension_ = dimension;
        MeasureDimension();
        if (dimensionWidth_ != oldWidth) {
            PlaceNumber();
            updateGeometry();
        }
        update(DimensionRect());
    }
    const bool bold = TFormatUtilities::StatusBold(status);
    const QColor color = TFormatUtilities::StatusColor(status);
    if (number != value_ || bold != bold_ || color != valueColor_ || background != background_) {
        value_ = number;
        bold_ = bold;
        valueColor_ = color;
        background_ = background;
        number_->update();
    }
}

void TValueWithDimensionFrame::ShowPlainValue(int decimals, bool meaningful, const QColor &background, int status,
                                              double value)
{
    if (meaningful)
        Show(TFormatUtilities::FormatNumber(value, decimals), unit_, background, status);
    else
        Show(kNotMeaningful, unit_, background, 0);
}

void TValueWithDimensionFrame::ShowScaledValue(double multiplier, int decimals, const QColor &background, int status,
                                               bool meaningful, double value)
{
    if (!meaningful) {
        Show(kNotMeaningful, unit_, background, 0);
        return;
    }
    // a zero multiplier would turn every value into infinity
    const double divisor = multiplier != 0 ? multiplier : 1.0;
    Show(TFormatUtilities::FormatNumber(value / divisor, decimals), TFormatUtilities::UnitPrefix(multiplier) + unit_,
         background, status);
}
