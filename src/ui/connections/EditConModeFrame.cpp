#include "ui/connections/EditConModeFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"
#include "ui/connections/EditComPortFrame.h"

#include <QFormLayout>
#include <QSpinBox>
#include <limits>

using namespace Qt::StringLiterals;

TCcnEditCustomConModeFrame::TCcnEditCustomConModeFrame(QWidget *parent) : TccnCustomEditFrame(parent)
{
    edtMaxAttemptCountOnConnect =
        AddSpin(u"Макс. кол-во попыток"_s, u"edtMaxAttemptCountOnConnect"_s, 1, std::numeric_limits<qint32>::max());
}

void TCcnEditCustomConModeFrame::AddComPortFrame(TccnEditComPortFrame *frame)
{
    comPortFrame_ = frame;
    Form()->addRow(frame);
}

void TCcnEditCustomConModeFrame::AddHardwareFrame(TccnCustomEditFrame *frame)
{
    hardwareFrame_ = frame;
    Form()->addRow(frame);
}

void TCcnEditCustomConModeFrame::SetReadOnly(bool readOnly)
{
    TccnCustomEditFrame::SetReadOnly(readOnly);
    if (comPortFrame_)
        comPortFrame_->SetReadOnly(readOnly);
    if (hardwareFrame_)
        hardwareFrame_->SetReadOnly(readOnly);
}

bool TCcnEditCustomConModeFrame::CheckInput(QString &message, QWidget *&focusField)
{
    if (comPortFrame_ && !comPortFrame_->CheckInput(message, focusField))
        return false;
    if (hardwareFrame_ && !hardwareFrame_->CheckInput(message, focusField))
        return false;
    return TccnCustomEditFrame::CheckInput(message, focusField);
}

void TCcnEditCustomConModeFrame::DoLoad(TccnPersistent &object)
{
    auto *mode = dynamic_cast<TccnCustomConMode *>(&object);
    CheckPreConditions(mode != nullptr, u"TCcnEditCustomConModeFrame.LoadFromObject");
    SetSpinValue(edtMaxAttemptCountOnConnect, mode->MaxAttemptCountOnConnect);
    if (comPortFrame_)
        comPortFrame_->LoadFromObject(mode->CustomCommInterface());
    if (hardwareFrame_)
        hardwareFrame_->LoadFromObject(mode->CustomCommHardware());
}

void TCcnEditCustomConModeFrame::DoSave(TccnPersistent &object)
{
    auto *mode = dynamic_cast<TccnCustomConMode *>(&object);
    CheckPreConditions(mode != nullptr, u"TCcnEditCustomConModeFrame.SaveToObject");
    mode->MaxAttemptCountOnConnect = edtMaxAttemptCountOnConnect->value();
    if (comPortFrame_)
        comPortFrame_->SaveToObject(mode->CustomCommInterface());
    if (hardwareFrame_)
        hardwareFrame_->SaveToObject(mode->CustomCommHardware());
}
