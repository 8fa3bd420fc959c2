#pragma once

// The meter of a saved connection: one class per device type, each with
// its factory number and comment (and, for the R5, its extra options).
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
