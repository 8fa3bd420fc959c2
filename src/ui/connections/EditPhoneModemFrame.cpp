#include "ui/connections/EditPhoneModemFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

using namespace Qt::StringLiterals;

TccnEditPhoneModemFrame::TccnEditPhoneModemFrame(QWidget *parent) : TccnEditCustomModemFrame(parent)
{
    cbConnectType = AddPickList(u"Способ соединения"_s, u"cbConnectType"_s, PhoneModemConnectTypeNames());
    edtPhoneNumber = AddEdit(u"Номер"_s, u"edtPhoneNumber"_s);
    cbDialType = AddPickList(u"Набор номера"_s, u"cbDialType"_s, PhoneModemDialTypeNames());
    connect(cbConnectType, &QComboBox::currentIndexChanged, this, [this] { UpdateDialingFields(); });
    UpdateDialingFields();
}

bool TccnEditPhoneModemFrame::Dialing() const
{
    return cbConnectType->currentIndex() == pmctDialing;
}

void TccnEditPhoneModemFrame::UpdateDialingFields()
{
    Form()->setRowVisible(edtPhoneNumber, Dialing());
    Form()->setRowVisible(cbDialType, Dialing());
}

bool TccnEditPhoneModemFrame::CheckInput(QString &message, QWidget *&focusField)
{
    if (Dialing() && edtPhoneNumber->text().isEmpty()) {
        message = u"Не задан номер телефона"_s;
        focusField = edtPhoneNumber;
        return false;
    }
    return TccnEditCustomModemFrame::CheckInput(message, focusField);
}

void TccnEditPhoneModemFrame::DoLoad(TccnPersistent &object)
{
    TccnEditCustomModemFrame::DoLoad(object);
    auto *modem = dynamic_cast<TccnPhoneModem *>(&object);
    CheckPreConditions(modem != nullptr, u"TccnEditPhoneModemFrame.LoadFromObject");
    cbConnectType->setCurrentIndex(modem->ConnectType == pmctDirect ? pmctDirect : pmctDialing);
    edtPhoneNumber->setText(modem->PhoneNumber);
    cbDialType->setCurrentIndex(modem->DialType == pmdtPulse ? pmdtPulse : pmdtTone);
    UpdateDialingFields();
}

void TccnEditPhoneModemFrame::DoSave(TccnPersistent &object)
{
    TccnEditCustomModemFrame::DoSave(object);
    auto *modem = dynamic_cast<TccnPhoneModem *>(&object);
    CheckPreConditions(modem != nullptr, u"TccnEditPhoneModemFrame.SaveToObject");
    modem->ConnectType = Dialing() ? pmctDialing : pmctDirect;
    modem->PhoneNumber = edtPhoneNumber->text();
    modem->DialType = cbDialType->currentIndex() == pmdtPulse ? pmdtPulse : pmdtTone;
}
