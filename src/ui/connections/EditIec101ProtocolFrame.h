#pragma once

// Options of IEC 60870-5-101: link and ASDU addresses with their lengths,
// field lengths and the frame size.

#include "ui/connections/EditObjectFrame.h"

class QButtonGroup;

class TccnEditIEC101ProtocolFrame : public TccnCustomEditFrame
{
public:
    explicit TccnEditIEC101ProtocolFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditIEC101ProtocolFrame"); }
    // An address above 255 does not fit a one-byte field.
    bool CheckInput(QString &message, QWidget *&focusField) override;

    QSpinBox *LinkAddressEdit() const { return edtLinkAddress; }
    QSpinBox *ASDUAddressEdit() const { return edtASDUAddress; }
    QButtonGroup *LinkAddressLengthGroup() const { return rgLinkAddressLength; }
    QButtonGroup *ASDUAddressLengthGroup() const { return rgASDUAddressLength; }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    QButtonGroup *AddLengthChoice(const QString &label, const QString &name, int maxLength);

    QSpinBox *edtLinkAddress = nullptr;
    QButtonGroup *rgLinkAddressLength = nullptr;
    QSpinBox *edtASDUAddress = nullptr;
    QButtonGroup *rgASDUAddressLength = nullptr;
    QButtonGroup *rgTransReasonLength = nullptr;
    QButtonGroup *rgAOILength = nullptr;
    QSpinBox *edtMaxFrameLength = nullptr;
};
