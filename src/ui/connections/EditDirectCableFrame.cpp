#include "ui/connections/EditDirectCableFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"
#include "ui/connections/EditComPortFrame.h"

TccnEditDirect232ConModeFrame::TccnEditDirect232ConModeFrame(QWidget *parent) : TCcnEditCustomConModeFrame(parent)
{
    AddComPortFrame(new TccnEditComPortFrame(TccnEditComPortFrame::rlEditable, this));
}

void TccnEditDirect232ConModeFrame::DoLoad(TccnPersistent &object)
{
    CheckPreConditions(dynamic_cast<TccnDirect232ConMode *>(&object) != nullptr,
                       u"TccnEditDirect232ConModeFrame.LoadFromObject");
    TCcnEditCustomConModeFrame::DoLoad(object);
}
