#pragma once

// The channel settings record, the channel type and serial-mode codes, and the
// channel error codes with their texts. The record is a flat, packed,
// little-endian block: its first 527 bytes keep their fixed layout, and a
// serial record carries the full port name after them (device names such as
// ttyUSB0 or /dev/serial/by-id/... do not fit the 6-character PortName). It is
// copied by value everywhere and is all a channel needs to be created.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <cstring>

// Channel type, the first byte of every settings record.
enum TPCAChannelType : quint8 {
    pcaComPort = 1,
    pcaEthernetTCP = 2,
};

// Serial mode, byte 12 of a serial record.
enum TPCAComPortMode : quint8 {
    cpmDirect = 0,
    cpmPhoneModem = 1,
    cpmRadioModem = 2,
    cpmOptoAttach = 3,
};

// How the protocol picks its time-outs: the link kind of a settings record.
enum TPCALinkKind : int {
    plkSerial = 0, // direct cable, optical probe
    plkPhoneModem = 1,
    plkRadioModem = 2,
    plkTcp = 3,
    plkUnknown = -1, // neither serial nor TCP
};

// Codes left in TPCACustom::LastError; texts from PCAErrorText.
enum TPCAError : int {
    pceOk = 0,
    pceNotImplemented = 1,
    pceNotInitialized = 2,
    pceBadHandle = 3,
    pceBadType = 4,
    pceTimeout = 5,
    pcePortBusy = 10,
    pcePortNotFound = 11,
    pceWrite = 12,
    pceRead = 13,
    pceModemNotFound = 14,
    pceBadPortName = 15,
    pceModemNoCarrier = 16,
    pceModemInit = 17,
    pceSocketCreate = 18,
    pceServerNotFound = 19,
    pceBadIpAndPort = 20,
    pceBadAddress = 21,
    pceConnectionLost = 22,
    pcePortInit = 23,
    pceDeviceUnknown = 24,
    pceNoOptoAttach = 25,
    // Linux: the device exists but the user may not open it (not in dialout)
    pcePortNoPermission = 26,
};

// Text of a channel error code; empty for 0, "Неизвестный код ошибки." for a
// code that has no text.
QString PCAErrorText(int code);

#pragma pack(push, 1)

// A length-prefixed text field: one length byte and a fixed character area in
// Windows-1251, not NUL-terminated. A length byte larger than the area (from
// a damaged record) is read as the whole area.
template <std::size_t Capacity>
struct TPCAShortString
{
    quint8 Length;
    char Chars[Capacity];

    static constexpr std::size_t kCapacity = Capacity;

    std::size_t Size() const { return Length < Capacity ? Length : Capacity; }
    QByteArray Bytes() const { return QByteArray(Chars, static_cast<qsizetype>(Size())); }
    QString Text() const;
    // Cuts the text to the capacity and zeroes the rest of the area.
    void SetText(QStringView text);
    void SetBytes(const QByteArray &bytes)
    {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), Capacity);
        std::memset(Chars, 0, Capacity);
        if (n > 0)
            std::memcpy(Chars, bytes.constData(), n);
        Length = static_cast<quint8>(n);
    }
    void Clear()
    {
        Length = 0;
        std::memset(Chars, 0, Capacity);
    }
};

// Bytes 269..526 of a telephone-modem record.
struct TPCAPhoneDial
{
    quint8 DialKind;                  // 269: 1 dial PhoneNumber, 0 bare dial command
    TPCAShortString<255> PhoneNumber; // 270
    quint8 ToneDial;                  // 526: 1 tone, 0 pulse
};

// ChannelType = 1.
struct TPCAComPortRecord
{
    quint8 ChannelType;          // 0
    TPCAShortString<6> PortName; // 1
    quint32 BaudRate;            // 8
    quint8 Mode;                 // 12, TPCAComPortMode
    union {
        quint8 LinesOn;                  // 13, modes 0 and 3: drive DTR/RTS and wake the probe
        TPCAShortString<255> InitString; // 13, modes 1 and 2: extra modem command
    };
    union {
        TPCAPhoneDial Phone;             // 269, mode 1
        TPCAShortString<255> CallNumber; // 269, mode 2: the radio modem's call sign
    };
    // 527: the whole port name (UTF-8, as the system names the device); when
    // not empty it is the port opened, PortName then holds its first six
    // characters only.
    TPCAShortString<255> FullPortName;
};

// ChannelType = 2.
struct TPCAEthernetRecord
{
    quint8 ChannelType;            // 0
    TPCAShortString<15> IpAddress; // 1, dotted-decimal IPv4
    quint16 IpPort;                // 17
    TPCAShortString<255> Reserved; // 19, always empty; copied, never read
    quint8 Unused[252];            // 275, zero; a TCP channel neither keeps nor returns it
};

// The channel settings record. Zero-initialise with `TPCASettings s{};`
// (or PCAZeroSettings()); then fill the variant named by ChannelType.
union TPCASettings {
    quint8 Bytes[783];
    quint8 ChannelType;
    TPCAComPortRecord ComPort;
    TPCAEthernetRecord Ethernet;
};

#pragma pack(pop)

extern template struct TPCAShortString<6>;
extern template struct TPCAShortString<15>;
extern template struct TPCAShortString<255>;

static_assert(sizeof(TPCAShortString<6>) == 7);
static_assert(sizeof(TPCAShortString<15>) == 16);
static_assert(sizeof(TPCAShortString<255>) == 256);
static_assert(sizeof(TPCASettings) == 783);
static_assert(sizeof(TPCAComPortRecord) == 783);
static_assert(sizeof(TPCAEthernetRecord) == 527);
static_assert(offsetof(TPCAComPortRecord, PortName) == 1);
static_assert(offsetof(TPCAComPortRecord, BaudRate) == 8);
static_assert(offsetof(TPCAComPortRecord, Mode) == 12);
static_assert(offsetof(TPCAComPortRecord, LinesOn) == 13);
static_assert(offsetof(TPCAComPortRecord, InitString) == 13);
static_assert(offsetof(TPCAComPortRecord, Phone) == 269);
static_assert(offsetof(TPCAComPortRecord, CallNumber) == 269);
static_assert(offsetof(TPCAComPortRecord, Phone) + offsetof(TPCAPhoneDial, PhoneNumber) == 270);
static_assert(offsetof(TPCAComPortRecord, Phone) + offsetof(TPCAPhoneDial, ToneDial) == 526);
static_assert(offsetof(TPCAComPortRecord, FullPortName) == 527);
static_assert(offsetof(TPCAEthernetRecord, IpAddress) == 1);
static_assert(offsetof(TPCAEthernetRecord, IpPort) == 17);
static_assert(offsetof(TPCAEthernetRecord, Reserved) == 19);
static_assert(offsetof(TPCAEthernetRecord, Unused) == 275);

inline constexpr std::size_t kPCASettingsSize = sizeof(TPCASettings);
// The part of every record with the fixed layout; a serial record's full port
// name follows it.
inline constexpr std::size_t kPCARecordSize = 527;
// Bytes 1..274 of a TCP record: what a TCP channel keeps and returns.
inline constexpr std::size_t kPCAEthernetKeptFirst = 1;
inline constexpr std::size_t kPCAEthernetKeptEnd = 275;

// The all-zero record (ChannelType 0: CreatePCA gives no channel for it).
TPCASettings PCAZeroSettings();

// Link kind of a record: serial phone modem 1, serial radio modem 2, other
// serial modes 0, TCP 3, anything else plkUnknown.
TPCALinkKind PCALinkKind(const TPCASettings &settings);

bool operator==(const TPCASettings &a, const TPCASettings &b);

// The port a serial record names: FullPortName when it is set, else PortName.
QString PCAComPortName(const TPCASettings &settings);
// Sets both port name fields: the whole name, and its cut for PortName.
void PCASetComPortName(TPCASettings &settings, const QString &name);
