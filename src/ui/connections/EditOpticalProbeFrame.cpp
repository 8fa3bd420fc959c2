#include "ui/connections/EditOpticalProbeFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"
#include "ui/connections/EditComPortFrame.h"

TCcnEditVDOptoAttachFrame::TCcnEditVDOptoAttachFrame(QWidget *parent) : TccnCustomEditFrame(parent) {}

void TCcnEditVDOptoAttachFrame::DoLoad(TccnPersistent &object)
{
    CheckPreConditions(dynamic_cast<TccnVDOptoAttach *>(&object) != nullptr,
                       u"TCcnEditVDOptoAttachFrame.LoadFromObject");
}

void TCcnEditVDOptoAttachFrame::DoSave(TccnPersistent &object)
{
    CheckPreConditions(dynamic_cast<TccnVDOptoAttach *>(&object) != nullptr, u"TCcnEditVDOptoAttachFrame.SaveToObject");
}

TCcnEditVDOptoAttach232ConModeFrame::TCcnEditVDOptoAttach232ConModeFrame(QWidget *parent)
    : TCcnEditCustomConModeFrame(parent)
{
    AddComPortFrame(new TccnEditComPortFrame(TccnEditComPortFrame::rlOpticalProbe, this));
    AddHardwareFrame(new TCcnEditVDOptoAttachFrame(this));
}

void TCcnEditVDOptoAttach232ConModeFrame::DoLoad(TccnPersistent &object)
{
    CheckPreConditions(dynamic_cast<TccnVDOptoAttach232ConMode *>(&object) != nullptr,
                       u"TCcnEditVDOptoAttach232ConModeFrame.LoadFromObject");
    TCcnEditCustomConModeFrame::DoLoad(object);
}
