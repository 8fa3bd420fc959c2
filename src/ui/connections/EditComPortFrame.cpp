#include "ui/connections/EditComPortFrame.h"

#include "catalogue/CatalogueObjects.h"
#include "channel/SerialLine.h"
#include "common/Contracts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The serial devices the system has, in natural order (ttyUSB2 before ttyUSB10).
QStringList SystemComPorts()
{
    QStringList names;
    FillCOMPortList(&names);
    return names;
}

} // namespace

const QStringList &TccnEditComPortFrame::EditableRates()
{
    static const QStringList rates{u"100"_s,    u"300"_s,    u"600"_s,    u"1200"_s,  u"2400"_s,  u"4800"_s,
                                   u"9600"_s,   u"14400"_s,  u"19200"_s,  u"38400"_s, u"56000"_s, u"57600"_s,
                                   u"115200"_s, u"128000"_s, u"230400"_s, u"256000"_s};
    return rates;
}

const QStringList &TccnEditComPortFrame::OpticalProbeRates()
{
    static const QStringList rates{u"2400"_s, u"9600"_s, u"19200"_s, u"57600"_s, u"115200"_s};
    return rates;
}

QString TccnEditComPortFrame::ProposedPortName()
{
    const QString catalogueDefault = TccnComPortInterface().PortName;
#ifdef Q_OS_WIN
    return catalogueDefault;
#else
    const QStringList ports = SystemComPorts();
    return ports.isEmpty() ? catalogueDefault : ports.first();
#endif
}

TccnEditComPortFrame::TccnEditComPortFrame(TRateList rateList, QWidget *parent)
    : TccnCustomEditFrame(parent), rateList_(rateList)
{
    Form()->setContentsMargins(0, 0, 0, 0);
    cbPort = new QComboBox(this);
    cbPort->setObjectName(u"cbPort"_s);
    cbPort->setEditable(true);
    cbPort->setInsertPolicy(QComboBox::NoInsert);
    cbPort->addItems(SystemComPorts());
    AddRow(u"Com-порт"_s, cbPort);

    cbBaudrate = new QComboBox(this);
    cbBaudrate->setObjectName(u"cbBaudrate"_s);
    if (rateList_ == rlEditable) {
        cbBaudrate->setEditable(true);
        cbBaudrate->setInsertPolicy(QComboBox::NoInsert);
        cbBaudrate->addItems(EditableRates());
        cbBaudrate->lineEdit()->setValidator(
            new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), cbBaudrate));
    } else {
        cbBaudrate->setEditable(false);
        cbBaudrate->addItems(OpticalProbeRates());
    }
    AddRow(u"Скорость обмена"_s, cbBaudrate);
}

bool TccnEditComPortFrame::ReadBaudrate(quint32 &rate) const
{
    bool ok = false;
    rate = cbBaudrate->currentText().toUInt(&ok);
    return ok && rate > 0;
}

bool TccnEditComPortFrame::CheckInput(QString &message, QWidget *&focusField)
{
    if (cbPort->currentText().isEmpty()) {
        message = u"Не задан Com-порт"_s;
        focusField = cbPort;
        return false;
    }
    quint32 rate = 0;
    if (!ReadBaudrate(rate)) {
        message = u"Некорректно задана скорость обмена"_s;
        focusField = cbBaudrate;
        return false;
    }
    return TccnCustomEditFrame::CheckInput(message, focusField);
}

void TccnEditComPortFrame::DoLoad(TccnPersistent &object)
{
    auto *port = dynamic_cast<TccnComPortInterface *>(&object);
    CheckPreConditions(port != nullptr, u"TccnEditComPortFrame.LoadFromObject");
    cbPort->setCurrentText(port->PortName);
    const QString rate = QString::number(port->Baudrate);
    if (rateList_ == rlEditable) {
        cbBaudrate->setCurrentText(rate);
    } else {
        const int index = cbBaudrate->findText(rate);
        cbBaudrate->setCurrentIndex(index >= 0 ? index : 0);
    }
}

void TccnEditComPortFrame::DoSave(TccnPersistent &object)
{
    auto *port = dynamic_cast<TccnComPortInterface *>(&object);
    CheckPreConditions(port != nullptr, u"TccnEditComPortFrame.SaveToObject");
    port->PortName = cbPort->currentText();
    quint32 rate = 0;
    // An unreadable rate is refused by CheckInput before anything is written
    // on OK; the history keeps the old rate when the operator only switches.
    if (ReadBaudrate(rate))
        port->Baudrate = rate;
}
