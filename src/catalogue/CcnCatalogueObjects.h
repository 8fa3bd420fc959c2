#pragma once

// The catalogue objects of one saved connection: the device (which meter),
// its protocol (with the protocol's addressing options) and the connection
// mode (the line: serial port or TCP/IP, plus the modem or probe on it).
// Each object publishes its properties for the connection-list stream, is
// copied with Assign and cloned as a new object of its class plus Assign.

#include "catalogue/CatalogueTypes.h"
#include "catalogue/PersistentObjects.h"

#include <QString>
#include <QStringList>
#include <memory>

// --- Devices ---------------------------------------------------------------------

class TccnCustomDevice : public TccnPersistent
{
public:
    TDeviceType DeviceType() const { return deviceType_; }
    TDeviceProtocolTypes SupportedProtocols() const { return supportedProtocols_; }

    // Copies the properties this object and the source have in common, so a
    // factory number and comment carry over to a device of another type.
    virtual void Assign(const TccnCustomDevice &source);
    std::unique_ptr<TccnCustomDevice> Clone() const;

    void GetProperties(TccnPropertyList &list) override;

    qint32 FactoryNum = 0; // the meter's serial number
    QString Comment;

protected:
    explicit TccnCustomDevice(TDeviceType type);

private:
    TDeviceType deviceType_;
    TDeviceProtocolTypes supportedProtocols_;
};

class TccnTarvelDevice : public TccnCustomDevice
{
protected:
    using TccnCustomDevice::TccnCustomDevice;
};

class TccnKL2FamilyDev : public TccnTarvelDevice
{
protected:
    using TccnTarvelDevice::TccnTarvelDevice;
};

// One class per device type; the class name comes from the type's row.
template <TDeviceType Type, class Base = TccnTarvelDevice>
class TccnDeviceClass : public Base
{
public:
    TccnDeviceClass() : Base(Type) {}
    QString ClassName() const override { return DeviceTypeClassNames().at(Type); }
};

using TccnKLDev = TccnDeviceClass<dtKL>;
using TccnKL2Dev = TccnDeviceClass<dtKL2, TccnKL2FamilyDev>;
using TccnKL2MDev = TccnDeviceClass<dtKL2M, TccnKL2FamilyDev>;
using TccnKL2CDev = TccnDeviceClass<dtKL2C, TccnKL2FamilyDev>;
using TccnKL2ADev = TccnDeviceClass<dtKL2A, TccnKL2FamilyDev>;
using TccnKL2AMDev = TccnDeviceClass<dtKL2AM, TccnKL2FamilyDev>;
using TccnKL2ACDev = TccnDeviceClass<dtKL2AC, TccnKL2FamilyDev>;
using TccnQP1xDev = TccnDeviceClass<dtQP1x>;
using TccnQP2xDev = TccnDeviceClass<dtQP2x>;
using TccnQP17Dev = TccnDeviceClass<dtQP17>;
using TccnR5ASDev = TccnDeviceClass<dtR5AS>;
using TccnR5AS2020Dev = TccnDeviceClass<dtR5AS2020>;
using TccnM7Dev = TccnDeviceClass<dtM7>;
using TccnM7L12020Dev = TccnDeviceClass<dtM7L12020>;
using TccnM7L22020Dev = TccnDeviceClass<dtM7L22020>;
using TccnPXDev = TccnDeviceClass<dtPX>;
using TccnG3Dev = TccnDeviceClass<dtG3>;
using TccnTWDev = TccnDeviceClass<dtTW>;
using TccnM7SQDev = TccnDeviceClass<dtM7SQ>;
using TccnConverterJXDev = TccnDeviceClass<dtConverterJX>;

class TccnR5Dev : public TccnTarvelDevice
{
public:
    TccnR5Dev() : TccnTarvelDevice(dtR5) {}
    QString ClassName() const override { return QStringLiteral("TccnR5Dev"); }
    void Assign(const TccnCustomDevice &source) override;
    void GetProperties(TccnPropertyList &list) override;

    qint32 R5Test = 1091;
    QString TestStr = QStringLiteral("Привет");
};

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

// --- Communication interfaces ------------------------------------------------------

class TccnCustomCommInterface : public TccnPersistent
{
public:
    virtual void Assign(const TccnCustomCommInterface &source) = 0;
    std::unique_ptr<TccnCustomCommInterface> Clone() const;
    virtual QStringList GetParamsList() const { return {}; }
};

class TccnComPortInterface : public TccnCustomCommInterface
{
public:
    QString ClassName() const override { return QStringLiteral("TccnComPortInterface"); }
    void Assign(const TccnCustomCommInterface &source) override;
    QStringList GetParamsList() const override;
    void GetProperties(TccnPropertyList &list) override;

    QString PortName = QStringLiteral("COM1");
    quint32 Baudrate = 115200;
};

class TccnTCPIPInterface : public TccnCustomCommInterface
{
public:
    QString ClassName() const override { return QStringLiteral("TccnTCPIPInterface"); }
    void Assign(const TccnCustomCommInterface &source) override;
    QStringList GetParamsList() const override;
    void GetProperties(TccnPropertyList &list) override;

    QString IpAddress;
    qint32 IpPort = 0;
};

// --- Hardware on the line -----------------------------------------------------------

class TccnCustomCommHardware : public TccnPersistent
{
public:
    virtual void Assign(const TccnCustomCommHardware &source) = 0;
    std::unique_ptr<TccnCustomCommHardware> Clone() const;
    virtual QStringList GetParamsList() const { return {}; }
};

class TccnCustomModem : public TccnCustomCommHardware
{
public:
    void Assign(const TccnCustomCommHardware &source) override;
    void GetProperties(TccnPropertyList &list) override;

    QString InitString; // the operator's extra modem command
};

class TccnPhoneModem : public TccnCustomModem
{
public:
    QString ClassName() const override { return QStringLiteral("TccnPhoneModem"); }
    void Assign(const TccnCustomCommHardware &source) override;
    QStringList GetParamsList() const override;
    void GetProperties(TccnPropertyList &list) override;

    TPhoneModemConnectType ConnectType = pmctDialing;
    QString PhoneNumber;
    TPhoneModemDialType DialType = pmdtTone;
};

class TccnRadioModem : public TccnCustomModem
{
public:
    QString ClassName() const override { return QStringLiteral("TccnRadioModem"); }
    void Assign(const TccnCustomCommHardware &source) override;
    QStringList GetParamsList() const override;
    void GetProperties(TccnPropertyList &list) override;

    QString CallNumber; // the radio modem's call sign
};

class TccnVDOptoAttach : public TccnCustomCommHardware
{
public:
    QString ClassName() const override { return QStringLiteral("TccnVDOptoAttach"); }
    void Assign(const TccnCustomCommHardware &source) override;
};

// --- Connection modes -----------------------------------------------------------------

class TccnCustomConMode : public TccnPersistent
{
public:
    TConModeType ConModeType() const { return conModeType_; }
    TccnCustomCommInterface *CustomCommInterface() const { return interface_.get(); }
    // None for the direct cable and TCP/IP.
    TccnCustomCommHardware *CustomCommHardware() const { return hardware_.get(); }

    // Copies the attempt count and assigns the interface and hardware from
    // the source's; the source must be a mode of the same class.
    virtual void Assign(const TccnCustomConMode &source);
    std::unique_ptr<TccnCustomConMode> Clone() const;

    void GetProperties(TccnPropertyList &list) override;

    qint32 MaxAttemptCountOnConnect = 5; // tries of Connect per polling run

protected:
    TccnCustomConMode(TConModeType type, std::unique_ptr<TccnCustomCommInterface> commInterface,
                      std::unique_ptr<TccnCustomCommHardware> hardware);

private:
    TConModeType conModeType_;
    std::unique_ptr<TccnCustomCommInterface> interface_;
    std::unique_ptr<TccnCustomCommHardware> hardware_;
};

class TccnDirect232ConMode : public TccnCustomConMode
{
public:
    TccnDirect232ConMode();
    QString ClassName() const override { return QStringLiteral("TccnDirect232ConMode"); }
    TccnComPortInterface &ComPortInterface() const;
};

class TccnPhoneModem232ConMode : public TccnCustomConMode
{
public:
    TccnPhoneModem232ConMode();
    QString ClassName() const override { return QStringLiteral("TccnPhoneModem232ConMode"); }
    TccnComPortInterface &ComPortInterface() const;
    TccnPhoneModem &PhoneModem() const;
};

class TccnRadioModem232ConMode : public TccnCustomConMode
{
public:
    TccnRadioModem232ConMode();
    QString ClassName() const override { return QStringLiteral("TccnRadioModem232ConMode"); }
    TccnComPortInterface &ComPortInterface() const;
    TccnRadioModem &RadioModem() const;
};

class TccnDirectTCPIPConMode : public TccnCustomConMode
{
public:
    TccnDirectTCPIPConMode();
    QString ClassName() const override { return QStringLiteral("TccnDirectTCPIPConMode"); }
    TccnTCPIPInterface &TCPIPInterface() const;
};

class TccnVDOptoAttach232ConMode : public TccnCustomConMode
{
public:
    TccnVDOptoAttach232ConMode();
    QString ClassName() const override { return QStringLiteral("TccnVDOptoAttach232ConMode"); }
    TccnComPortInterface &ComPortInterface() const;
    TccnVDOptoAttach &VDOptoAttach() const;
};

// --- Creation by class name and by code ------------------------------------------------

// Every catalogue class of the five families.
const TccnClassRegistry &CatalogueClasses();

// nullptr for a class name that is unknown or of another family.
std::unique_ptr<TccnCustomDevice> CreateDevice(QStringView className);
std::unique_ptr<TccnCustomDeviceProtocol> CreateDeviceProtocol(QStringView className);
std::unique_ptr<TccnCustomConMode> CreateConMode(QStringView className);

// The class of the code's row; nullptr for a code outside the table.
std::unique_ptr<TccnCustomDevice> CreateDeviceByType(int type);
std::unique_ptr<TccnCustomDeviceProtocol> CreateDeviceProtocolByType(int type);
std::unique_ptr<TccnCustomConMode> CreateConModeByType(int type);
