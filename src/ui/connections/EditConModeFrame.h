#pragma once

// Base of the connection mode frames: the number of connect attempts on top,
// then the line's sub-frames (serial port, modem or probe) below it.

#include "ui/connections/EditObjectFrame.h"

class TccnEditComPortFrame;

class TCcnEditCustomConModeFrame : public TccnCustomEditFrame
{
public:
    explicit TCcnEditCustomConModeFrame(QWidget *parent = nullptr);
    QString ClassName() const override { return QStringLiteral("TCcnEditCustomConModeFrame"); }

    void SetReadOnly(bool readOnly) override;
    // The port first, then the device on the line.
    bool CheckInput(QString &message, QWidget *&focusField) override;

    QSpinBox *MaxAttemptCountEdit() const { return edtMaxAttemptCountOnConnect; }
    TccnEditComPortFrame *ComPortFrame() const { return comPortFrame_; }
    TccnCustomEditFrame *HardwareFrame() const { return hardwareFrame_; }

protected:
    void DoLoad(TccnPersistent &object) override;
    void DoSave(TccnPersistent &object) override;

    // Descendants with a serial line put their sub-frames in, port first.
    void AddComPortFrame(TccnEditComPortFrame *frame);
    void AddHardwareFrame(TccnCustomEditFrame *frame);

private:
    QSpinBox *edtMaxAttemptCountOnConnect = nullptr;
    TccnEditComPortFrame *comPortFrame_ = nullptr;
    TccnCustomEditFrame *hardwareFrame_ = nullptr;
};
