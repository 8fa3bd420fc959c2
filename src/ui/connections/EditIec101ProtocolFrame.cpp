#include "ui/connections/EditIec101ProtocolFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QSpinBox>

using namespace Qt::StringLiterals;

namespace {

void CheckLength(QButtonGroup *group, int length)
{
    if (QAbstractButton *button = group->button(length))
        button->setChecked(true);
    else if (QAbstractButton *first = group->button(1))
        first->setChecked(true); // a length the protocol does not know: the smallest
}

} // namespace

TccnEditIEC101ProtocolFrame::TccnEditIEC101ProtocolFrame(QWidget *parent) : TccnCustomEditFrame(parent)
{
    edtLinkAddress = AddSpin(u"Адрес связи"_s, u"edtLinkAddress"_s, 0, 65535);
    rgLinkAddressLength = AddLengthChoice(u"Длина"_s, u"rgLinkAddressLength"_s, 2);
    edtASDUAddress = AddSpin(u"Адрес ASDU"_s, u"edtASDUAddress"_s, 0, 65535);
    rgASDUAddressLength = AddLengthChoice(u"Длина"_s, u"rgASDUAddressLength"_s, 2);
    rgTransReasonLength = AddLengthChoice(u"Длина поля причины передачи"_s, u"rgTransReasonLength"_s, 2);
    rgAOILength = AddLengthChoice(u"Длина адреса объекта инф-ии"_s, u"rgAOILength"_s, 3);
    edtMaxFrameLength = AddSpin(u"Макс. длина кадра"_s, u"edtMaxFrameLength"_s, 1, 255);
}

QButtonGroup *TccnEditIEC101ProtocolFrame::AddLengthChoice(const QString &label, const QString &name, int maxLength)
{
    auto *box = new QWidget(this);
    box->setObjectName(name);
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *group = new QButtonGroup(box);
    group->setObjectName(name);
    for (int length = 1; length <= maxLength; ++length) {
        auto *radio = new QRadioButton(QString::number(length), box);
        group->addButton(radio, length);
        layout->addWidget(radio);
    }
    layout->addStretch(1);
    group->button(1)->setChecked(true);
    AddRow(label, box);
    return group;
}

bool TccnEditIEC101ProtocolFrame::CheckInput(QString &message, QWidget *&focusField)
{
    if (edtLinkAddress->value() > 255 && rgLinkAddressLength->checkedId() == 1) {
        message = u"Значение адреса связи не соответствует выбранной длине "_s;
        focusField = edtLinkAddress;
        return false;
    }
    if (edtASDUAddress->value() > 255 && rgASDUAddressLength->checkedId() == 1) {
        message = u"Значение адреса ASDU не соответствует выбранной длине "_s;
        focusField = edtASDUAddress;
        return false;
    }
    return TccnCustomEditFrame::CheckInput(message, focusField);
}

void TccnEditIEC101ProtocolFrame::DoLoad(TccnPersistent &object)
{
    auto *protocol = dynamic_cast<TccnIEC101Protocol *>(&object);
    CheckPreConditions(protocol != nullptr, u"TccnEditIEC101ProtocolFrame.LoadFromObject");
    SetSpinValue(edtLinkAddress, protocol->LinkAddress);
    CheckLength(rgLinkAddressLength, protocol->LinkAddressLength);
    SetSpinValue(edtASDUAddress, protocol->ASDUAddress);
    CheckLength(rgASDUAddressLength, protocol->ASDUAddressLength);
    CheckLength(rgTransReasonLength, protocol->TransReasonLength);
    CheckLength(rgAOILength, protocol->AOILength);
    SetSpinValue(edtMaxFrameLength, protocol->MaxFrameLength);
}

void TccnEditIEC101ProtocolFrame::DoSave(TccnPersistent &object)
{
    auto *protocol = dynamic_cast<TccnIEC101Protocol *>(&object);
    CheckPreConditions(protocol != nullptr, u"TccnEditIEC101ProtocolFrame.SaveToObject");
    protocol->LinkAddress = quint16(edtLinkAddress->value());
    protocol->LinkAddressLength = quint8(rgLinkAddressLength->checkedId());
    protocol->ASDUAddress = quint16(edtASDUAddress->value());
    protocol->ASDUAddressLength = quint8(rgASDUAddressLength->checkedId());
    protocol->TransReasonLength = quint8(rgTransReasonLength->checkedId());
    protocol->AOILength = quint8(rgAOILength->checkedId());
    protocol->MaxFrameLength = quint8(edtMaxFrameLength->value());
}
