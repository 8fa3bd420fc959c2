#pragma once

// Connection over a radio modem on a serial port.

#include "ui/connections/EditConModeFrame.h"

class TccnEditRadioModem232ConModeFrame : public TCcnEditCustomConModeFrame
{
public:
    explicit TccnEditRadioModem232ConModeFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditRadioModem232ConModeFrame"); }

protected:
    void DoLoad(TccnPersistent &object) override;
};
