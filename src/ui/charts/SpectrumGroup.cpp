#include "ui/charts/SpectrumGroup.h"

#include "engine/MeasurementRecord.h"
#include "ui/ValueFormat.h"
#include "ui/ScaleSpinEdit.h"
#include "ui/charts/SpectrumTable.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

TSpectrumGroup::TSpectrumGroup(const TDesign &design, QWidget *parent)
    : QGroupBox(design.Title, parent), design_(design)
{
    setObjectName(QLatin1String(design_.Name));

    selector_ = new QComboBox(this);
    selector_->setObjectName(QLatin1String(design_.Selector));
    for (const TItem &item : design_.Items)
        selector_->addItem(item.Caption);
    selector_->setCurrentIndex(0);
    connect(selector_, &QComboBox::activated, this, &TSpectrumGroup::SelectItem);

    chart_ = new TSpectrumChart(design_.Look, this);
    chart_->setObjectName(QLatin1String(design_.Chart));
    for (const TSeries &series : design_.Series)
        chart_->AddSeries(series.Name, series.Title, series.Color);
    ApplySeries(design_.Items.first());

    stack_ = new QStackedWidget(this);
    for (const TItem &item : design_.Items) {
        auto *table = new TSpectrumTable(design_.FirstNumber, design_.Symbol, item.ValueColumns, stack_);
        table->setObjectName(QLatin1String(item.Table));
        table->WriteHeader(item.Names, item.Units, QString());
        stack_->addWidget(table);
        tables_.append(table);
    }
    stack_->setFixedWidth(tables_.first()->FullWidth());

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Отображаемые данные"), this));
    top->addWidget(selector_);
    top->addStretch(1);
    top->addWidget(BuildScaleStrip());

    auto *body = new QHBoxLayout;
    body->setSpacing(4);
    body->addWidget(stack_);
    body->addWidget(chart_, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);
    layout->addLayout(top);
    layout->addLayout(body, 1);
}

QWidget *TSpectrumGroup::BuildScaleStrip()
{
    auto *strip = new QWidget(this);
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Масштаб по оси ординат:"), strip));
    autoButton_ = new QPushButton(QStringLiteral("Авто"), strip);
    autoButton_->setObjectName(QLatin1String(design_.AutoButton));
    layout->addWidget(autoButton_);
    scaleEdit_ = new TScaleSpinEdit(strip);
    scaleEdit_->setObjectName(QLatin1String(design_.ScaleEdit));
    scaleEdit_->setMinimumWidth(80);
    layout->addWidget(scaleEdit_);
    connect(autoButton_, &QPushButton::clicked, this, &TSpectrumGroup::AutoScale);
    connect(scaleEdit_, &QSpinBox::textChanged, this, &TSpectrumGroup::ScaleTextChanged);
    return strip;
}

TSpectrumTable *TSpectrumGroup::FrontTable() const
{
    return static_cast<TSpectrumTable *>(stack_->currentWidget());
}

int TSpectrumGroup::CurrentItem() const
{
    return selector_->currentIndex();
}

QString TSpectrumGroup::AxisTitle(int item) const
{
    const TItem &it = design_.Items.at(item);
    const QString prefix = prefixes_[it.PrefixKind];
    QStringList units;
    for (const QString &unit : it.AxisUnits)
        units << prefix + unit;
    return it.AxisName + QStringLiteral(", ") + units.join(QStringLiteral("/ "));
}

void TSpectrumGroup::RenewHeaders(const TDataStorageManager &record)
{
    for (int kind = 1; kind < static_cast<int>(prefixes_.size()); ++kind)
        prefixes_[kind] = TFormatUtilities::UnitPrefix(record.ScaleFactor(kind));
    for (int i = 0; i < ItemCount(); ++i) {
        const TItem &item = design_.Items.at(i);
        if (item.PrefixKind != 0)
            tables_.at(i)->WriteHeader(item.Names, item.Units, prefixes_[item.PrefixKind]);
    }
    chart_->SetValueTitle(AxisTitle(CurrentItem()));
}

void TSpectrumGroup::SelectItem(int item)
{
    if (item < 0 || item >= ItemCount())
        return;
    if (selector_->currentIndex() != item)
        selector_->setCurrentIndex(item);
    stack_->setCurrentWidget(tables_.at(item));
    chart_->SetValueTitle(AxisTitle(item));
    ApplySeries(design_.Items.at(item));
    AutoScale();
}

void TSpectrumGroup::ApplySeries(const TItem &item)
{
    QList<QCPBars *> shown;
    for (int index : item.Shown)
        shown << Series(index);
    chart_->ShowOnly(shown);
    for (const auto &[index, color] : item.Recoloured)
        TSpectrumChart::SetColor(Series(index), color);
}

void TSpectrumGroup::AutoScale()
{
    const int maximum = chart_->AutoMaximum();
    chart_->SetValueMaximum(maximum);
    scaleEdit_->setValue(maximum);
}

void TSpectrumGroup::ScaleTextChanged(const QString &text)
{
    bool ok = false;
    const double maximum = QLocale().toDouble(text, &ok);
    if (ok && maximum > 0)
        chart_->SetValueMaximum(maximum);
}
