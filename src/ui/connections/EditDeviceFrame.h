#pragma once

// The meter's identity: factory number and comment. One frame serves every
// device class (the fields are those of the common base).

#include "ui/connections/EditObjectFrame.h"

class TccnEditCustomDeviceFrame : public TccnCustomEditFrame
{
public:
    explicit TccnEditCustomDeviceFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TccnEditCustomDeviceFrame"); }

    QSpinBox *FactoryNumEdit() const { return edtFactoryNum; }
    QLineEdit *CommentEdit() const { return edtComment; }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

private:
    QSpinBox *edtFactoryNum = nullptr;
    QLineEdit *edtComment = nullptr;
};

class TccnEditTarvelDeviceFrame : public TccnEditCustomDeviceFrame
{
public:
    using TccnEditCustomDeviceFrame::TccnEditCustomDeviceFrame;
    QString ClassName() const override { return QStringLiteral("TccnEditTarvelDeviceFrame"); }
};
