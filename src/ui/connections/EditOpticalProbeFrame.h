#pragma once

// Connection through the optical probe on a serial (or USB) port: the port
// with the rates the probe understands, and the probe itself (nothing to set).

#include "ui/connections/EditConModeFrame.h"

class TCcnEditVDOptoAttachFrame : public TccnCustomEditFrame
{
public:
    explicit TCcnEditVDOptoAttachFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TCcnEditVDOptoAttachFrame"); }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;
};

class TCcnEditVDOptoAttach232ConModeFrame : public TCcnEditCustomConModeFrame
{
public:
    explicit TCcnEditVDOptoAttach232ConModeFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TCcnEditVDOptoAttach232ConModeFrame"); }

protected:
    void DoLoad(TccnPersistent &object) override;
};
