#pragma once

// The protocol drivers of the meter family: each owns its channel, builds
// request frames, finds and checks answers, and keeps the outcome of the last
// exchange in ErrorCode (meter codes 0..127, driver codes 247..255). Nothing
// is raised to the caller; a failure is a false result and a code.

#include "channel/Channel.h"
#include "protocol/R5Frame.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <array>

#include <functional>
#include <memory>
#include <span>

class TR5OscillogramCommand;

// Driver codes (held by commands as signed bytes -9..-1).
enum TR5DriverError : quint8 {
    r5eBadChecksum = 247,
    r5ePasswordCancelled = 248,
    r5eBadParameters = 249,
    r5eBadPasswordChars = 250,
    r5ePasswordTooLong = 251,
    r5eNotHeader = 252,
    r5eNoAnswer = 253,
    r5eWriteError = 254,
    r5eReadError = 255,
};

// Meter codes the program gives a meaning to.
enum TR5MeterCode : quint8 {
    r5cOk = 0,
    r5cDataNotReady = 1,
    r5cBusy = 7,
    r5cPasswordNotRemoved = 15,
    r5cWrongPassword = 17,
    r5cCurrentPeriod = 26,
    r5cMorePartsFollow = 33,
};

struct TR5Timeouts
{
    int HeaderMs;
    int DataMs;
    // The rate the answer is allowed to come at: the port's own on a direct
    // line; behind a modem or a serial converter the line rate cannot be
    // known here, and a rate slow for any meter line is assumed.
    int LineBitsPerSecond = kSlowestLineBitsPerSecond;

    static constexpr int kSlowestLineBitsPerSecond = 1200;

    // The time one exchange may take from the request written to an answer of
    // `frameBytes` bytes taken: the first answer bytes, the rest of the answer,
    // and the bytes' time on the line (10 bits a byte). A peer that sends a
    // byte just often enough for each read is cut off here.
    qint64 ExchangeMs(std::size_t frameBytes) const
    {
        return HeaderMs + DataMs + static_cast<qint64>(frameBytes) * 10 * 1000 / LineBitsPerSecond;
    }
};

// What went wrong on the line since the driver was made: cheap to keep, and
// what an operator on a bad line wants to see.
struct TR5LineCounters
{
    quint64 Exchanges = 0; // requests sent
    quint64 Answers = 0;   // answers accepted
    quint64 NoAnswers = 0; // time-outs
    quint64 ChecksumErrors = 0;
    quint64 SkippedBytes = 0; // before a header, while searching for one
    quint64 WriteErrors = 0;
    quint64 Retries = 0; // a command sent again after a link failure
    quint64 Reconnects = 0;
    // The meter asked for the password (code 15) and the password frame
    // went out: the meter's normal greeting, not a line error.
    quint64 PasswordRequests = 0;
    quint64 FailedReconnects = 0; // reconnects that did not connect
    // Accepted answers by their meter code (0..127).
    std::array<quint64, 128> MeterCodes{};
    // From the request written to its answer accepted, in microseconds.
    qint64 RoundTripMinUs = 0;
    qint64 RoundTripMaxUs = 0;
    qint64 RoundTripLastUs = 0;
    qint64 RoundTripTotalUs = 0;

    void AddRoundTrip(qint64 us)
    {
        RoundTripMinUs = Answers == 1 ? us : std::min(RoundTripMinUs, us);
        RoundTripMaxUs = std::max(RoundTripMaxUs, us);
        RoundTripLastUs = us;
        RoundTripTotalUs += us;
    }
};

class TCustomDevice
{
public:
    // The channel is created from the record by CreatePCA (none for an
    // unknown channel type).
    explicit TCustomDevice(const TPCASettings &settings);
    virtual ~TCustomDevice();

    TCustomDevice(const TCustomDevice &) = delete;
    TCustomDevice &operator=(const TCustomDevice &) = delete;

    TPCACustom *Channel() const { return channel_.get(); }
    // Puts another byte channel in place of the one made from the settings
    // (a recorded line played back, a fuzzer's bytes).
    void UseChannel(std::unique_ptr<TPCACustom> channel) { channel_ = std::move(channel); }
    quint8 ErrorCode() const { return errorCode_; }
    void SetErrorCode(quint8 code) { errorCode_ = code; }
    virtual QString ClassName() const { return QStringLiteral("TCustomDevice"); }

private:
    std::unique_ptr<TPCACustom> channel_;
    quint8 errorCode_ = 0;
};

class TCustomMeasurer : public TCustomDevice
{
public:
    quint8 DeviceTypeCode() const { return deviceTypeCode_; }
    quint16 DeviceNumber() const { return deviceNumber_; }
    void SetDeviceNumber(quint16 number) { deviceNumber_ = number; }

    virtual bool MatchesRequest(std::span<const quint8> answerHeader, std::span<const quint8> requestHeader) const = 0;
    virtual QString ErrorText(int code) const = 0;
    QString ClassName() const override { return QStringLiteral("TCustomMeasurer"); }

protected:
    TCustomMeasurer(const TPCASettings &settings, quint8 deviceTypeCode);

private:
    quint8 deviceTypeCode_;
    quint16 deviceNumber_ = 0;
};

class TCustomR5Device : public TCustomMeasurer
{
public:
    bool MatchesRequest(std::span<const quint8> answerHeader, std::span<const quint8> requestHeader) const override;
    // 25 bytes with this driver's DeviceNumber and DeviceTypeCode; the last
    // byte is the checksum of the first 24.
    virtual R5Frame::THeader BuildHeader(quint16 dataLength, quint8 cmd, quint8 cmd1, quint8 iType, quint8 iCount,
                                         const R5Frame::TStartTime &startTime, quint16 param) const = 0;
    // The oscillogram command of this meter variant, or null.
    virtual std::unique_ptr<TR5OscillogramCommand> CreateOscillogramCommand() = 0;
    QString ClassName() const override { return QStringLiteral("TCustomR5Device"); }

    // One request/answer exchange.
    //   data            request data (at most 65510 bytes)
    //   expectedLength  in: the answer length required (> 0), or 0 for any;
    //                   out: the received data length (0 after a failed receive)
    //   answerBuffer    where a fixed-length answer goes; must be given exactly
    //                   when expectedLength is not 0, and hold that many bytes
    //   allocated       receives the data of an any-length answer (may be null)
    // With expectedLength > 0 the answer must have exactly that length; with 0
    // the meter code must be 0, 26 or 33. Otherwise ErrorCode tells why.
    bool Exchange(std::span<const quint8> data, qint32 &expectedLength, std::span<quint8> answerBuffer,
                  QByteArray *allocated, quint8 cmd, quint8 cmd1, quint8 iType, quint8 iCount,
                  quint16 param = R5Frame::kDefaultParam);

    // The password frame for a level (0-2 first, 3-5 second); at most 8
    // characters 0-9, A-Z, a-z. Accepted on an answer without data and code 0.
    bool RemovePassword(int level, const QString &password);

    // Header and data time-outs by link kind (direct/optical 1000/5000, phone
    // modem 2000/10000, radio modem 15000/30000, TCP 1000/5000); 15000/30000
    // when the channel cannot tell its settings. A direct line's answers are
    // allowed the time of its port rate.
    TR5Timeouts Timeouts() const;
    const TR5LineCounters &Counters() const { return counters_; }
    // A command goes again after a link failure; over TCP the link is
    // rebuilt first.
    void CountRetry() { ++counters_.Retries; }
    void CountReconnect() { ++counters_.Reconnects; }
    void CountPasswordRequest() { ++counters_.PasswordRequests; }
    void CountFailedReconnect() { ++counters_.FailedReconnects; }

    // Asked before each request and between the reads of an answer: once it
    // says stop, no request goes out (253) and the answer in progress is
    // given up like one that stopped coming, without counting as a line
    // failure. The channel gets it too, so that a read, connect or dial
    // waiting at that moment ends at once.
    void SetStopCheck(std::function<bool()> stopRequested);
    bool StopRequested() const { return stopRequested_ && stopRequested_(); }

    static constexpr int kMaxPasswordLength = 8;

protected:
    using TCustomMeasurer::TCustomMeasurer;

private:
    // Writes the frame and reads the answer within the exchange deadline;
    // false with ErrorCode set when no valid answer came. `answer` receives
    // the answer data.
    bool SendAndReceive(const QByteArray &frame, quint16 &dataLength, QByteArray &answer);

    TR5LineCounters counters_;
    std::vector<quint8> readBuffer_;
    std::function<bool()> stopRequested_;
};

class TM7 : public TCustomR5Device
{
public:
    explicit TM7(const TPCASettings &settings) : TM7(settings, 10) {}
    QString ErrorText(int code) const override;
    R5Frame::THeader BuildHeader(quint16 dataLength, quint8 cmd, quint8 cmd1, quint8 iType, quint8 iCount,
                                 const R5Frame::TStartTime &startTime, quint16 param) const override;
    std::unique_ptr<TR5OscillogramCommand> CreateOscillogramCommand() override;
    QString ClassName() const override { return QStringLiteral("TM7"); }

protected:
    TM7(const TPCASettings &settings, quint8 deviceTypeCode) : TCustomR5Device(settings, deviceTypeCode) {}
};

class TR5_AS : public TM7
{
public:
    explicit TR5_AS(const TPCASettings &settings) : TM7(settings, 11) {}
    QString ClassName() const override { return QStringLiteral("TR5_AS"); }
};

class TM7_SQ : public TM7
{
public:
    explicit TM7_SQ(const TPCASettings &settings) : TM7(settings, 12) {}
    std::unique_ptr<TR5OscillogramCommand> CreateOscillogramCommand() override;
    QString ClassName() const override { return QStringLiteral("TM7_SQ"); }

protected:
    TM7_SQ(const TPCASettings &settings, quint8 deviceTypeCode) : TM7(settings, deviceTypeCode) {}
};

class TM7_L12020 : public TM7_SQ
{
public:
    explicit TM7_L12020(const TPCASettings &settings) : TM7_SQ(settings, 13) {}
    QString ClassName() const override { return QStringLiteral("TM7_L12020"); }
};

class TM7_L22020 : public TM7_SQ
{
public:
    explicit TM7_L22020(const TPCASettings &settings) : TM7_SQ(settings, 14) {}
    QString ClassName() const override { return QStringLiteral("TM7_L22020"); }
};

class TR5_AS2020 : public TM7_SQ
{
public:
    explicit TR5_AS2020(const TPCASettings &settings) : TM7_SQ(settings, 15) {}
    QString ClassName() const override { return QStringLiteral("TR5_AS2020"); }
};

// The driver classes by the device class of a saved connection; the engine
// maps catalogue device classes onto these (anything else is R5_AS).
enum class TR5DriverKind { M7, M7_SQ, M7_L12020, M7_L22020, R5_AS2020, R5_AS };

std::unique_ptr<TCustomR5Device> CreateR5Driver(TR5DriverKind kind, const TPCASettings &settings);

// The text of a meter or driver code (as an unsigned byte, 0..255).
QString R5ErrorText(int code);
