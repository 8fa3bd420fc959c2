#pragma once

// Connection over the direct serial cable: only the port.

#include "ui/connections/EditConModeFrame.h"

class TccnEditDirect232ConModeFrame : public TCcnEditCustomConModeFrame
{
public:
    explicit TccnEditDirect232ConModeFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditDirect232ConModeFrame"); }

protected:
    void DoLoad(TccnPersistent &object) override;
};
