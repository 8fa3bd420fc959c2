#include "ui/connections/EditModbusProtocolFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QSpinBox>
#include <limits>

using namespace Qt::StringLiterals;

TccnEditModbusProtocolFrame::TccnEditModbusProtocolFrame(QWidget *parent) : TccnCustomEditFrame(parent)
{
    edtDevAddress = AddSpin(u"Адрес устройства"_s, u"edtDevAddress"_s, 0, 255);
    edtMaxAttemptCount =
        AddSpin(u"Макс. кол-во попыток"_s, u"edtMaxAttemptCount"_s, 1, std::numeric_limits<qint32>::max());
}

void TccnEditModbusProtocolFrame::DoLoad(TccnPersistent &object)
{
    auto *protocol = dynamic_cast<TccnModbusProtocol *>(&object);
    CheckPreConditions(protocol != nullptr, u"TccnEditModbusProtocolFrame.LoadFromObject");
    SetSpinValue(edtDevAddress, protocol->DevAddress);
    SetSpinValue(edtMaxAttemptCount, protocol->MaxAttemptCount);
}

void TccnEditModbusProtocolFrame::DoSave(TccnPersistent &object)
{
    auto *protocol = dynamic_cast<TccnModbusProtocol *>(&object);
    CheckPreConditions(protocol != nullptr, u"TccnEditModbusProtocolFrame.SaveToObject");
    protocol->DevAddress = quint8(edtDevAddress->value());
    protocol->MaxAttemptCount = edtMaxAttemptCount->value();
}
