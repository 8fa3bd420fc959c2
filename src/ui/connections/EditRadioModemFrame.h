#pragma once

// A radio modem, reached by the meter's call sign.

#include "ui/connections/EditModemFrame.h"

class TccnEditRadioModemFrame : public TccnEditCustomModemFrame
{
public:
    explicit TccnEditRadioModemFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditRadioModemFrame"); }

    bool CheckInput(QString &message, QWidget *&focusField) override;

    QLineEdit *CallNumberEdit() const { return edtCallNumber; }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    QLineEdit *edtCallNumber = nullptr;
};
