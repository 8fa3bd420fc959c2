#include "ui/widgets/ValueWithUnitFrame.h"

#include "ui/ValueFormat.h"

#include <QHBoxLayout>
#include <QLabel>

TValueWithDimensionFrame::TValueWithDimensionFrame(QWidget *parent) : QFrame(parent)
{
    QFont big = font();
    big.setPixelSize(kFontPixelSize);

    lblValue = new QLabel(QStringLiteral("0,00"), this);
    lblValue->setObjectName(QStringLiteral("lblValue"));
    lblValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblValue->setFont(big);
    lblValue->setAutoFillBackground(true);
    lblValue->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    pn1 = new QFrame(this);
    pn1->setObjectName(QStringLiteral("pn1"));
    pn1->setFixedWidth(2);

    lblDimension = new QLabel(this);
    lblDimension->setObjectName(QStringLiteral("lblDimension"));
    lblDimension->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblDimension->setFont(big);
    lblDimension->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lblValue, 1);
    layout->addWidget(pn1);
    layout->addWidget(lblDimension);
}

QString TValueWithDimensionFrame::ValueText() const
{
    return lblValue->text();
}

QString TValueWithDimensionFrame::DimensionText() const
{
    return lblDimension->text();
}

void TValueWithDimensionFrame::Show(const QString &number, const QString &dimension, const QColor &background,
                                    int status)
{
    // A data block refreshes every frame; only what changed is touched, so
    // an unchanged frame costs no relayout or repaint.
    const bool bold = TFormatUtilities::StatusBold(status);
    if (lblValue->font().bold() != bold) {
        QFont f = lblValue->font();
        f.setBold(bold);
        lblValue->setFont(f);
    }
    const QColor color = TFormatUtilities::StatusColor(status);
    QPalette p = lblValue->palette();
    if (p.color(QPalette::WindowText) != color || p.color(QPalette::Window) != background) {
        p.setColor(QPalette::WindowText, color);
        p.setColor(QPalette::Window, background);
        lblValue->setPalette(p);
    }
    if (lblValue->text() != number)
        lblValue->setText(number);
    if (lblDimension->text() != dimension)
        lblDimension->setText(dimension);
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
