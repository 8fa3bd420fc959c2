#include "ui/connections/EditIec104ProtocolFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QSpinBox>
#include <limits>

using namespace Qt::StringLiterals;

TCcnEditIEC104ProtocolFrame::TCcnEditIEC104ProtocolFrame(QWidget *parent) : TccnCustomEditFrame(parent)
{
    const qint64 minInt = std::numeric_limits<qint32>::min();
    const qint64 maxInt = std::numeric_limits<qint32>::max();
    edtASDUAddress = AddSpin(u"Адрес ASDU"_s, u"edtASDUAddress"_s, 0, 65535);
    edtK = AddSpin(u"K"_s, u"edtK"_s, minInt, maxInt);
    edtW = AddSpin(u"W"_s, u"edtW"_s, minInt, maxInt);
    edtT1 = AddSpin(u"t1"_s, u"edtT1"_s, minInt, maxInt);
    edtT2 = AddSpin(u"t2"_s, u"edtT2"_s, minInt, maxInt);
    edtT3 = AddSpin(u"t3"_s, u"edtT3"_s, minInt, maxInt);
    edtT4 = AddSpin(u"t4"_s, u"edtT4"_s, minInt, maxInt);
    edtMaxFrameLength = AddSpin(u"Макс. длина кадра"_s, u"edtMaxFrameLength"_s, 1, 255);
}

void TCcnEditIEC104ProtocolFrame::DoLoad(TccnPersistent &object)
{
    auto *protocol = dynamic_cast<TccnIEC104Protocol *>(&object);
    CheckPreConditions(protocol != nullptr, u"TCcnEditIEC104ProtocolFrame.LoadFromObject");
    SetSpinValue(edtASDUAddress, protocol->ASDUAddress);
    SetSpinValue(edtK, protocol->K);
    SetSpinValue(edtW, protocol->W);
    SetSpinValue(edtT1, protocol->t1);
    SetSpinValue(edtT2, protocol->t2);
    SetSpinValue(edtT3, protocol->t3);
    SetSpinValue(edtT4, protocol->t4);
    SetSpinValue(edtMaxFrameLength, protocol->MaxFrameLength);
}

void TCcnEditIEC104ProtocolFrame::DoSave(TccnPersistent &object)
{
    auto *protocol = dynamic_cast<TccnIEC104Protocol *>(&object);
    CheckPreConditions(protocol != nullptr, u"TCcnEditIEC104ProtocolFrame.SaveToObject");
    protocol->ASDUAddress = quint16(edtASDUAddress->value());
    protocol->K = edtK->value();
    protocol->W = edtW->value();
    protocol->t1 = edtT1->value();
    protocol->t2 = edtT2->value();
    protocol->t3 = edtT3->value();
    protocol->t4 = edtT4->value();
    protocol->MaxFrameLength = quint8(edtMaxFrameLength->value());
}
