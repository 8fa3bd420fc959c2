#include "ui/FrameValueWithDimension.h"

#include "ui/FormatUtilities.h"

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
    QFont f = lblValue->font();
    f.setBold(TFormatUtilities::StatusBold(status));
    lblValue->setFont(f);
    QPalette p = lblValue->palette();
    p.setColor(QPalette::WindowText, TFormatUtilities::StatusColor(status));
    p.setColor(QPalette::Window, background);
    lblValue->setPalette(p);
    lblValue->setText(number);
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
