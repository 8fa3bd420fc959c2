#include "ui/connections/EditRadioModemModeFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"
#include "ui/connections/EditComPortFrame.h"
#include "ui/connections/EditRadioModemFrame.h"

TccnEditRadioModem232ConModeFrame::TccnEditRadioModem232ConModeFrame(QWidget *parent)
    : TCcnEditCustomConModeFrame(parent)
{
    AddComPortFrame(new TccnEditComPortFrame(TccnEditComPortFrame::rlEditable, this));
    AddHardwareFrame(new TccnEditRadioModemFrame(this));
}

void TccnEditRadioModem232ConModeFrame::DoLoad(TccnPersistent &object)
{
    CheckPreConditions(dynamic_cast<TccnRadioModem232ConMode *>(&object) != nullptr,
                       u"TccnEditRadioModem232ConModeFrame.LoadFromObject");
    TCcnEditCustomConModeFrame::DoLoad(object);
}
