#pragma once

// Options of the Tarvel protocol: meter address and the limits of an exchange.

#include "ui/connections/EditObjectFrame.h"

class TccnEditTarvelProtocolFrame : public TccnCustomEditFrame
{
public:
    explicit TccnEditTarvelProtocolFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditTarvelProtocolFrame"); }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    QSpinBox *edtDeviceAddress = nullptr;
    QSpinBox *edtMaxAttemptCount = nullptr;
    QSpinBox *edtMaxDataCount = nullptr;
};
