#pragma once

// Options of the Modbus protocols (RTU and TCP share them).

#include "ui/connections/EditObjectFrame.h"

class TccnEditModbusProtocolFrame : public TccnCustomEditFrame
{
public:
    explicit TccnEditModbusProtocolFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditModbusProtocolFrame"); }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    QSpinBox *edtDevAddress = nullptr;
    QSpinBox *edtMaxAttemptCount = nullptr;
};
