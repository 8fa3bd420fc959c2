#pragma once

// Type codes of the connection catalogue and their name tables. The
// identifiers (dtKL, dptTarvel, cmtDirect232, ...) are written into saved
// connection lists, so their spelling and order are part of the file format.

#include <QString>
#include <QStringList>
#include <initializer_list>

enum TDeviceType : quint8 {
    dtKL,
    dtKL2,
    dtKL2M,
    dtKL2C,
    dtKL2A,
    dtKL2AM,
    dtKL2AC,
    dtQP1x,
    dtQP2x,
    dtQP17,
    dtR5,
    dtR5AS,
    dtR5AS2020,
    dtM7,
    dtM7L12020,
    dtM7L22020,
    dtPX,
    dtG3,
    dtTW,
    dtM7SQ,
    dtConverterJX,
};
inline constexpr int kDeviceTypeCount = 21;

enum TDeviceProtocolType : quint8 {
    dptTarvel,
    dptIEC101,
    dptIEC104,
    dptModbusRTU,
    dptModbusTCP,
};
inline constexpr int kDeviceProtocolTypeCount = 5;

enum TConModeType : quint8 {
    cmtDirect232,
    cmtPhoneModem232,
    cmtRadioModem232,
    cmtDirectTCPIP,
    cmtVDOptoAttach232,
};
inline constexpr int kConModeTypeCount = 5;

enum TPhoneModemConnectType : quint8 { pmctDialing, pmctDirect };
enum TPhoneModemDialType : quint8 { pmdtTone, pmdtPulse };

// A set of small codes as the catalogue keeps them (protocols, connection
// modes): only codes 0..7 can be members, anything else never is.
class TccnCodeSet
{
public:
    constexpr TccnCodeSet() = default;
    constexpr explicit TccnCodeSet(quint8 bits) : bits_(bits) {}
    constexpr TccnCodeSet(std::initializer_list<int> codes)
    {
        for (int code : codes)
            Include(code);
    }

    constexpr bool Contains(int code) const { return code >= 0 && code < 8 && ((bits_ >> code) & 1u) != 0; }
    constexpr void Include(int code)
    {
        if (code >= 0 && code < 8)
            bits_ = quint8(bits_ | (1u << code));
    }
    constexpr void Exclude(int code)
    {
        if (code >= 0 && code < 8)
            bits_ = quint8(bits_ & ~(1u << code));
    }
    constexpr bool IsEmpty() const { return bits_ == 0; }
    constexpr quint8 Bits() const { return bits_; }
    constexpr bool operator==(const TccnCodeSet &) const = default;

private:
    quint8 bits_ = 0;
};

using TDeviceProtocolTypes = TccnCodeSet;
using TConModeTypes = TccnCodeSet;

// Display names, indexed by code.
const QStringList &DeviceTypeNames();
// "Tarvel–" (en dash) + name for the meters of the family, the bare name for
// the converter.
const QStringList &DeviceTypeFullNames();
const QStringList &DeviceProtocolTypeNames();
const QStringList &ConModeTypeNames();
const QStringList &PhoneModemConnectTypeNames();
const QStringList &PhoneModemDialTypeNames();

// Identifiers as persisted, indexed by code.
const QStringList &DeviceTypeIdents();
const QStringList &DeviceProtocolTypeIdents();
const QStringList &ConModeTypeIdents();
const QStringList &PhoneModemConnectTypeIdents();
const QStringList &PhoneModemDialTypeIdents();

// Class created for each code.
const QStringList &DeviceTypeClassNames();
const QStringList &DeviceProtocolTypeClassNames();
const QStringList &ConModeTypeClassNames();

// The protocols a device type can speak at all.
TDeviceProtocolTypes DeviceTypeSupportedProtocols(TDeviceType type);

// Position of an identifier in a table, ignoring case; -1 when absent.
int IndexOfIdent(const QStringList &idents, QStringView ident);
