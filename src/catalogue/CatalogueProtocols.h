#pragma once

// The protocol of a saved connection with the protocol's own addressing
// and exchange options (Tarvel, IEC 60870-5-101/104, Modbus RTU/TCP).

#include "catalogue/CatalogueTypes.h"
#include "catalogue/PersistentObjects.h"

#include <QString>
#include <QStringList>
#include <memory>

// --- Protocols -------------------------------------------------------------------

class TccnCustomDeviceProtocol : public TccnPersistent
{
public:
    TDeviceProtocolType ProtocolType() const { return protocolType_; }

    // The source must be of this class (or share the class that declares
    // the copied fields): anything else is a programming error.
    virtual void Assign(const TccnCustomDeviceProtocol &source) = 0;
    std::unique_ptr<TccnCustomDeviceProtocol> Clone() const;
    // "label: =value" lines for the connection list.
    virtual QStringList GetParamsList() const { return {}; }

protected:
    explicit TccnCustomDeviceProtocol(TDeviceProtocolType type) : protocolType_(type) {}

private:
    TDeviceProtocolType protocolType_;
};

class TccnTarvelProtocol : public TccnCustomDeviceProtocol
{
public:
    TccnTarvelProtocol() : TccnCustomDeviceProtocol(dptTarvel) {}
    QString ClassName() const override { return QStringLiteral("TccnTarvelProtocol"); }
    void Assign(const TccnCustomDeviceProtocol &source) override;
    QStringList GetParamsList() const override;
    void GetProperties(TccnPropertyList &list) override;

    quint16 DeviceAddress = 1;
    qint32 MaxAttemptCount = 5;
    qint32 MaxDataCount = 1000;
};

class TccnIEC101Protocol : public TccnCustomDeviceProtocol
{
public:
    TccnIEC101Protocol() : TccnCustomDeviceProtocol(dptIEC101) {}
    QString ClassName() const override { return QStringLiteral("TccnIEC101Protocol"); }
    void Assign(const TccnCustomDeviceProtocol &source) override;
    QStringList GetParamsList() const override;
    void GetProperties(TccnPropertyList &list) override;

    quint16 LinkAddress = 1;
    quint8 LinkAddressLength = 1;
    quint16 ASDUAddress = 1;
    quint8 ASDUAddressLength = 1;
    quint8 TransReasonLength = 1;
    quint8 AOILength = 1;
    quint8 MaxFrameLength = 255;
};

class TccnIEC104Protocol : public TccnCustomDeviceProtocol
{
public:
    TccnIEC104Protocol() : TccnCustomDeviceProtocol(dptIEC104) {}
    QString ClassName() const override { return QStringLiteral("TccnIEC104Protocol"); }
    void Assign(const TccnCustomDeviceProtocol &source) override;
    void GetProperties(TccnPropertyList &list) override;

    quint16 ASDUAddress = 1;
    qint32 K = 12;
    qint32 W = 8;
    qint32 t1 = 15;
    qint32 t2 = 10;
    qint32 t3 = 20;
    qint32 t4 = 25;
    quint8 MaxFrameLength = 255;
};

class TccnModbusProtocol : public TccnCustomDeviceProtocol
{
public:
    void Assign(const TccnCustomDeviceProtocol &source) override;
    QStringList GetParamsList() const override;
    void GetProperties(TccnPropertyList &list) override;

    quint8 DevAddress = 1;
    qint32 MaxAttemptCount = 5;

protected:
    using TccnCustomDeviceProtocol::TccnCustomDeviceProtocol;
};

class TccnModbusRTUProtocol : public TccnModbusProtocol
{
public:
    TccnModbusRTUProtocol() : TccnModbusProtocol(dptModbusRTU) {}
    QString ClassName() const override { return QStringLiteral("TccnModbusRTUProtocol"); }
};

class TccnModbusTCPProtocol : public TccnModbusProtocol
{
public:
    TccnModbusTCPProtocol() : TccnModbusProtocol(dptModbusTCP) {}
    QString ClassName() const override { return QStringLiteral("TccnModbusTCPProtocol"); }
};
