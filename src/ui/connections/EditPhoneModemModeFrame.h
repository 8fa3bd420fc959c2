#pragma once

// Connection over a telephone modem on a serial port.

#include "ui/connections/EditConModeFrame.h"

class TccnEditPhoneModem232ConModeFrame : public TCcnEditCustomConModeFrame
{
public:
    explicit TccnEditPhoneModem232ConModeFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditPhoneModem232ConModeFrame"); }

protected:
    void DoLoad(TccnPersistent &object) override;
};
