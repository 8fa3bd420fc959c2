#include "ui/ParamsGroupBox.h"

#include "ui/widgets/ThreeValuesFrame.h"
#include "ui/widgets/ValueWithUnitFrame.h"
#include "ui/widgets/IndexedLabel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

QColor TParamsGroupBox::PhaseColor(int phase)
{
    static const QColor colors[3] = {QColor(230, 205, 43), QColor(0, 128, 0), QColor(255, 0, 0)};
    return colors[phase % 3];
}

TParamsGroupBox::TParamsGroupBox(const QString &title, const char *name, QWidget *parent) : QGroupBox(title, parent)
{
    setObjectName(QLatin1String(name));
    grid_ = new QGridLayout(this);
    grid_->setContentsMargins(3, 3, 3, 3);
    grid_->setSpacing(0);
    grid_->setColumnMinimumWidth(0, kRowLabelWidth);
}

QList<TIxLabel *> TParamsGroupBox::AddCaptions(const QStringList &captions, const QList<const char *> &names,
                                               bool phaseColours)
{
    auto *strip = new QWidget(this);
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QList<TIxLabel *> labels;
    for (int i = 0; i < captions.size(); ++i) {
        auto *label = new TIxLabel(captions[i], strip);
        if (i < names.size())
            label->setObjectName(QLatin1String(names[i]));
        label->SetAlignment(Qt::AlignHCenter);
        label->setFixedWidth(TThreeParamsFrame::kParamWidth);
        if (phaseColours)
            label->SetFontColor(PhaseColor(i));
        layout->addWidget(label);
        labels.append(label);
    }
    layout->addStretch(1);
    grid_->addWidget(strip, rows_++, 1);
    return labels;
}

TIxLabel *TParamsGroupBox::AddRow(const QString &caption, const char *labelName, QWidget *values)
{
    auto *label = new TIxLabel(caption, this);
    if (labelName)
        label->setObjectName(QLatin1String(labelName));
    grid_->addWidget(label, rows_, 0);
    grid_->addWidget(values, rows_, 1);
    ++rows_;
    return label;
}

TThreeParamsFrame *TParamsGroupBox::NewThree(const char *name)
{
    auto *frame = new TThreeParamsFrame(this);
    frame->setObjectName(QLatin1String(name));
    // Fixed sizes all the way down: a new value text then relays out only
    // its own frame, not the page.
    frame->setFixedSize(3 * TThreeParamsFrame::kParamWidth, kRowHeight);
    for (int c = 0; c < 3; ++c)
        frame->Param(c)->setFixedHeight(kRowHeight);
    return frame;
}

TValueWithDimensionFrame *TParamsGroupBox::NewSingle(const char *name)
{
    auto *frame = new TValueWithDimensionFrame(this);
    frame->setObjectName(QLatin1String(name));
    frame->setFixedSize(TThreeParamsFrame::kParamWidth, kRowHeight);
    return frame;
}

QWidget *TParamsGroupBox::UpperFields(QWidget *parent, QWidget *phases, QWidget *frequency, QWidget *lines)
{
    auto *fields = new QWidget(parent);
    auto *right = new QVBoxLayout;
    right->setSpacing(2);
    right->addWidget(frequency);
    right->addWidget(lines);
    right->addStretch(1);
    auto *layout = new QHBoxLayout(fields);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(phases, 0, Qt::AlignTop);
    layout->addLayout(right);
    layout->addStretch(1);
    return fields;
}
