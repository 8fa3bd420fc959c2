#include "ui/connections/EditObjectFrame.h"

#include "common/Contracts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStyle>
#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

TccnCustomEditFrame::TccnCustomEditFrame(QWidget *parent) : QFrame(parent)
{
    form_ = new QFormLayout(this);
    form_->setContentsMargins(4, 4, 4, 4);
    form_->setHorizontalSpacing(6);
    form_->setVerticalSpacing(3);
    form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form_->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Three groups share the dialog's fixed width: labels go above their
    // fields so that neither is cut.
    form_->setRowWrapPolicy(QFormLayout::WrapAllRows);
}

void TccnCustomEditFrame::SetReadOnly(bool readOnly)
{
    readOnly_ = readOnly;
    for (QWidget *field : std::as_const(fields_))
        SetFieldReadOnly(field, readOnly);
}

void TccnCustomEditFrame::LoadFromObject(TccnPersistent *object)
{
    CheckPreConditions(object != nullptr, u"Не задан изменяемый объект");
    DoLoad(*object);
}

void TccnCustomEditFrame::SaveToObject(TccnPersistent *object)
{
    CheckPreConditions(object != nullptr, u"Не задан изменяемый объект");
    DoSave(*object);
}

bool TccnCustomEditFrame::CheckInput(QString &message, QWidget *&focusField)
{
    message.clear();
    focusField = nullptr;
    return true;
}

QSpinBox *TccnCustomEditFrame::AddSpin(const QString &label, const QString &name, qint64 minimum, qint64 maximum)
{
    auto *spin = new QSpinBox(this);
    spin->setObjectName(name);
    const qint64 lowest = std::numeric_limits<int>::min();
    const qint64 highest = std::numeric_limits<int>::max();
    spin->setRange(int(std::clamp(minimum, lowest, highest)), int(std::clamp(maximum, lowest, highest)));
    spin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    AddRow(label, spin);
    return spin;
}

QLineEdit *TccnCustomEditFrame::AddEdit(const QString &label, const QString &name)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    AddRow(label, edit);
    return edit;
}

QComboBox *TccnCustomEditFrame::AddPickList(const QString &label, const QString &name, const QStringList &items)
{
    auto *combo = new QComboBox(this);
    combo->setObjectName(name);
    combo->setEditable(false);
    combo->addItems(items);
    AddRow(label, combo);
    return combo;
}

void TccnCustomEditFrame::AddRow(const QString &label, QWidget *field)
{
    // The dialog has a fixed width shared by three groups: entry fields take
    // what their labels leave rather than widening the dialog.
    if (qobject_cast<QLineEdit *>(field) || qobject_cast<QAbstractSpinBox *>(field) ||
        qobject_cast<QComboBox *>(field)) {
        field->setSizePolicy(QSizePolicy::Ignored, field->sizePolicy().verticalPolicy());
        field->setMinimumWidth(kMinimumFieldWidth);
    }
    form_->addRow(label, field);
    fields_ << field;
}

void SetFieldReadOnly(QWidget *field, bool readOnly)
{
    if (auto *edit = qobject_cast<QLineEdit *>(field))
        edit->setReadOnly(readOnly);
    else if (auto *spin = qobject_cast<QAbstractSpinBox *>(field))
        spin->setReadOnly(readOnly);
    else
        field->setEnabled(!readOnly);
    QPalette palette = field->palette();
    const QWidget *parent = field->parentWidget();
    palette.setColor(QPalette::Base, readOnly && parent ? parent->palette().color(QPalette::Window)
                                                        : field->style()->standardPalette().color(QPalette::Base));
    field->setPalette(palette);
}

void SetSpinValue(QSpinBox *spin, qint64 value)
{
    spin->setValue(int(std::clamp(value, qint64(spin->minimum()), qint64(spin->maximum()))));
}
