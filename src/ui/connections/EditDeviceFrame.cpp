#include "ui/connections/EditDeviceFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QLineEdit>
#include <QSpinBox>
#include <limits>

using namespace Qt::StringLiterals;

TccnEditCustomDeviceFrame::TccnEditCustomDeviceFrame(QWidget *parent) : TccnCustomEditFrame(parent)
{
    edtFactoryNum = AddSpin(u"Заводской номер"_s, u"edtFactoryNum"_s, 1, std::numeric_limits<qint32>::max());
    edtComment = AddEdit(u"Примечание"_s, u"edtComment"_s);
}

void TccnEditCustomDeviceFrame::DoLoad(TccnPersistent &object)
{
    auto *device = dynamic_cast<TccnCustomDevice *>(&object);
    CheckPreConditions(device != nullptr, u"TccnEditCustomDeviceFrame.LoadFromObject");
    SetSpinValue(edtFactoryNum, device->FactoryNum);
    edtComment->setText(device->Comment);
}

void TccnEditCustomDeviceFrame::DoSave(TccnPersistent &object)
{
    auto *device = dynamic_cast<TccnCustomDevice *>(&object);
    CheckPreConditions(device != nullptr, u"TccnEditCustomDeviceFrame.SaveToObject");
    device->FactoryNum = edtFactoryNum->value();
    device->Comment = edtComment->text();
}
