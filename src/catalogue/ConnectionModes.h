#pragma once

// The line of a saved connection: the connection mode (direct cable,
// telephone or radio modem, optical probe, TCP/IP) made of its interface
// (serial port or TCP/IP address) and the hardware on it (modem or probe).

#include "catalogue/CatalogueTypes.h"
#include "catalogue/PersistentObjects.h"

#include <QString>
#include <QStringList>
#include <memory>

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
