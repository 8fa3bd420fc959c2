#pragma once

// Options of IEC 60870-5-104: ASDU address, window sizes and time-outs.

#include "ui/connections/EditObjectFrame.h"

class TCcnEditIEC104ProtocolFrame : public TccnCustomEditFrame
{
public:
    explicit TCcnEditIEC104ProtocolFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TCcnEditIEC104ProtocolFrame"); }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    QSpinBox *edtASDUAddress = nullptr;
    QSpinBox *edtK = nullptr;
    QSpinBox *edtW = nullptr;
    QSpinBox *edtT1 = nullptr;
    QSpinBox *edtT2 = nullptr;
    QSpinBox *edtT3 = nullptr;
    QSpinBox *edtT4 = nullptr;
    QSpinBox *edtMaxFrameLength = nullptr;
};
