#pragma once

// A telephone modem: dialled through an exchange (number and dialling
// method) or on a direct line.

#include "ui/connections/EditModemFrame.h"

class QLabel;

class TccnEditPhoneModemFrame : public TccnEditCustomModemFrame
{
public:
    explicit TccnEditPhoneModemFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditPhoneModemFrame"); }

    // A dialled connection needs a number.
    bool CheckInput(QString &message, QWidget *&focusField) override;

    QComboBox *ConnectTypeCombo() const { return cbConnectType; }
    QLineEdit *PhoneNumberEdit() const { return edtPhoneNumber; }
    QComboBox *DialTypeCombo() const { return cbDialType; }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    bool Dialing() const;
    // The number and the dialling method only matter on an exchange line.
    void UpdateDialingFields();

    QComboBox *cbConnectType = nullptr;
    QLineEdit *edtPhoneNumber = nullptr;
    QComboBox *cbDialType = nullptr;
};
