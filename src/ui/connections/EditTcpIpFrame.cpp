#include "ui/connections/EditTcpIpFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "common/Contracts.h"

#include <QHostAddress>
#include <QLineEdit>
#include <QSpinBox>

using namespace Qt::StringLiterals;

bool IsDottedIPv4Address(const QString &text)
{
    // The address parser also takes the short forms ("10.1" is 10.0.0.1), so
    // the three dots are required on top of it.
    if (text.count(u'.') != 3)
        return false;
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

TccnEditDirectTCPIPConModeFrame::TccnEditDirectTCPIPConModeFrame(QWidget *parent) : TCcnEditCustomConModeFrame(parent)
{
    edtIpAddress = AddEdit(u"IP-адрес"_s, u"edtIpAddress"_s);
    // The channel holds a 16-bit port: a larger number could never connect.
    edtIpPort = AddSpin(u"IP-порт"_s, u"edtIpPort"_s, 0, 65535);
}

bool TccnEditDirectTCPIPConModeFrame::CheckInput(QString &message, QWidget *&focusField)
{
    if (edtIpAddress->text().isEmpty()) {
        message = u"Не задан IP-адрес"_s;
        focusField = edtIpAddress;
        return false;
    }
    if (!IsDottedIPv4Address(edtIpAddress->text())) {
        message = u"Некорректно задан IP-адрес"_s;
        focusField = edtIpAddress;
        return false;
    }
    return TCcnEditCustomConModeFrame::CheckInput(message, focusField);
}

void TccnEditDirectTCPIPConModeFrame::DoLoad(TccnPersistent &object)
{
    auto *mode = dynamic_cast<TccnDirectTCPIPConMode *>(&object);
    CheckPreConditions(mode != nullptr, u"TccnEditDirectTCPIPConModeFrame.LoadFromObject");
    TCcnEditCustomConModeFrame::DoLoad(object);
    edtIpAddress->setText(mode->TCPIPInterface().IpAddress);
    SetSpinValue(edtIpPort, mode->TCPIPInterface().IpPort);
}

void TccnEditDirectTCPIPConModeFrame::DoSave(TccnPersistent &object)
{
    auto *mode = dynamic_cast<TccnDirectTCPIPConMode *>(&object);
    CheckPreConditions(mode != nullptr, u"TccnEditDirectTCPIPConModeFrame.SaveToObject");
    TCcnEditCustomConModeFrame::DoSave(object);
    mode->TCPIPInterface().IpAddress = edtIpAddress->text();
    mode->TCPIPInterface().IpPort = edtIpPort->value();
}
