#pragma once

// Connection over TCP/IP: the meter's (or converter's) IPv4 address and port.

#include "ui/connections/EditConModeFrame.h"

class TccnEditDirectTCPIPConModeFrame : public TCcnEditCustomConModeFrame
{
public:
    explicit TccnEditDirectTCPIPConModeFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditDirectTCPIPConModeFrame"); }

    // A dotted IPv4 address of four numbers.
    bool CheckInput(QString &message, QWidget *&focusField) override;

    QLineEdit *IpAddressEdit() const { return edtIpAddress; }
    QSpinBox *IpPortEdit() const { return edtIpPort; }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    QLineEdit *edtIpAddress = nullptr;
    QSpinBox *edtIpPort = nullptr;
};

// Four decimal numbers 0..255 separated by three dots.
bool IsDottedIPv4Address(const QString &text);
