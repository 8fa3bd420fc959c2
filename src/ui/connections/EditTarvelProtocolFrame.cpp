#include "ui/connections/EditTarvelProtocolFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QSpinBox>
#include <limits>

using namespace Qt::StringLiterals;

TccnEditTarvelProtocolFrame::TccnEditTarvelProtocolFrame(QWidget *parent) : TccnCustomEditFrame(parent)
{
    const qint64 maxInt = std::numeric_limits<qint32>::max();
    edtDeviceAddress = AddSpin(u"Адрес устройства"_s, u"edtDeviceAddress"_s, 0, 65535);
    edtMaxAttemptCount = AddSpin(u"Макс. кол-во попыток"_s, u"edtMaxAttemptCount"_s, 1, maxInt);
    edtMaxDataCount = AddSpin(u"Макс. кол-во данных"_s, u"edtMaxDataCount"_s, 1, maxInt);
}

void TccnEditTarvelProtocolFrame::DoLoad(TccnPersistent &object)
{
    auto *protocol = dynamic_cast<TccnTarvelProtocol *>(&object);
    CheckPreConditions(protocol != nullptr, u"TccnEditTarvelProtocolFrame.LoadFromObject");
    SetSpinValue(edtDeviceAddress, protocol->DeviceAddress);
    SetSpinValue(edtMaxAttemptCount, protocol->MaxAttemptCount);
    SetSpinValue(edtMaxDataCount, protocol->MaxDataCount);
}

void TccnEditTarvelProtocolFrame::DoSave(TccnPersistent &object)
{
    auto *protocol = dynamic_cast<TccnTarvelProtocol *>(&object);
    CheckPreConditions(protocol != nullptr, u"TccnEditTarvelProtocolFrame.SaveToObject");
    protocol->DeviceAddress = quint16(edtDeviceAddress->value());
    protocol->MaxAttemptCount = edtMaxAttemptCount->value();
    protocol->MaxDataCount = edtMaxDataCount->value();
}
