#pragma once

// What every modem on the line has: the operator's initialisation string.

#include "ui/connections/EditObjectFrame.h"

class TccnEditCustomModemFrame : public TccnCustomEditFrame
{
public:
    explicit TccnEditCustomModemFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditCustomModemFrame"); }

    QLineEdit *InitStringEdit() const { return edtInitString; }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    QLineEdit *edtInitString = nullptr;
};
