#include "ui/connections/EditPhoneModemModeFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"
#include "ui/connections/EditComPortFrame.h"
#include "ui/connections/EditPhoneModemFrame.h"

TccnEditPhoneModem232ConModeFrame::TccnEditPhoneModem232ConModeFrame(QWidget *parent)
    : TCcnEditCustomConModeFrame(parent)
{
    AddComPortFrame(new TccnEditComPortFrame(TccnEditComPortFrame::rlEditable, this));
    AddHardwareFrame(new TccnEditPhoneModemFrame(this));
}

void TccnEditPhoneModem232ConModeFrame::DoLoad(TccnPersistent &object)
{
    CheckPreConditions(dynamic_cast<TccnPhoneModem232ConMode *>(&object) != nullptr,
                       u"TccnEditPhoneModem232ConModeFrame.LoadFromObject");
    TCcnEditCustomConModeFrame::DoLoad(object);
}
