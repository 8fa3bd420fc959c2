#include "ui/connections/EditRadioModemFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

TccnEditRadioModemFrame::TccnEditRadioModemFrame(QWidget *parent) : TccnEditCustomModemFrame(parent)
{
    edtCallNumber = AddEdit(u"Позывной"_s, u"edtCallNumber"_s);
}

bool TccnEditRadioModemFrame::CheckInput(QString &message, QWidget *&focusField)
{
    if (edtCallNumber->text().isEmpty()) {
        message = u"Не задан позывной"_s;
        focusField = edtCallNumber;
        return false;
    }
    return TccnEditCustomModemFrame::CheckInput(message, focusField);
}

void TccnEditRadioModemFrame::DoLoad(TccnPersistent &object)
{
    TccnEditCustomModemFrame::DoLoad(object);
    auto *modem = dynamic_cast<TccnRadioModem *>(&object);
    CheckPreConditions(modem != nullptr, u"TccnEditRadioModemFrame.LoadFromObject");
    edtCallNumber->setText(modem->CallNumber);
}

void TccnEditRadioModemFrame::DoSave(TccnPersistent &object)
{
    TccnEditCustomModemFrame::DoSave(object);
    auto *modem = dynamic_cast<TccnRadioModem *>(&object);
    CheckPreConditions(modem != nullptr, u"TccnEditRadioModemFrame.SaveToObject");
    modem->CallNumber = edtCallNumber->text();
}
