#include "ui/connections/EditModemFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QFormLayout>
#include <QLineEdit>

using namespace Qt::StringLiterals;

TccnEditCustomModemFrame::TccnEditCustomModemFrame(QWidget *parent) : TccnCustomEditFrame(parent)
{
    Form()->setContentsMargins(0, 0, 0, 0);
    edtInitString = AddEdit(u"Строка инициализации"_s, u"edtInitString"_s);
}

void TccnEditCustomModemFrame::DoLoad(TccnPersistent &object)
{
    auto *modem = dynamic_cast<TccnCustomModem *>(&object);
    CheckPreConditions(modem != nullptr, u"TccnEditCustomModemFrame.LoadFromObject");
    edtInitString->setText(modem->InitString);
}

void TccnEditCustomModemFrame::DoSave(TccnPersistent &object)
{
    auto *modem = dynamic_cast<TccnCustomModem *>(&object);
    CheckPreConditions(modem != nullptr, u"TccnEditCustomModemFrame.SaveToObject");
    modem->InitString = edtInitString->text();
}
