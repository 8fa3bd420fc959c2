#include "Session.h"

#include <QtEndian>
#include <algorithm>
#include <iterator>

namespace MeterSim {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr quint8 kCmdData = 0x01;
constexpr quint8 kCmdService = 0x0A;
constexpr quint8 kCmd1Data = 0x01;
constexpr quint8 kCmd1Oscillogram = 0x0C;
constexpr quint8 kCmd1DateTime = 0x02;
constexpr quint8 kCmd1Settings = 0x0F;
constexpr quint8 kCmd1Intervals = 0x15;
constexpr quint8 kCmd1PasswordLow = 0x85;
constexpr quint8 kCmd1PasswordHigh = 0x86;
constexpr int kMaxPassword = 8;
constexpr int kMaxOscPeriods = 20;

// Fields every request carries with fixed values.
QString MalformedHeader(const TFrameHeader &h)
{
    if (h.Lead[1] != 0 || h.Lead[2] != 0 || h.Lead[3] != 0)
        return u"header bytes 1..3 are not 0"_s;
    static constexpr quint8 kStartTime[6] = {0, 0, 0, 1, 1, 7};
    if (!std::equal(std::begin(kStartTime), std::end(kStartTime), std::begin(h.StartTime)))
        return u"start time is not 00 00 00 01 01 07"_s;
    if (h.Param != 1)
        return u"Param is %1, not 1"_s.arg(h.Param);
    if (h.ErrorField != 0)
        return u"request carries error field %1"_s.arg(h.ErrorField);
    return {};
}

} // namespace

TRequestKind Classify(const TFrameHeader &h)
{
    if (h.Cmd == kCmdData && h.Cmd1 == kCmd1Data)
        return TRequestKind::Data;
    if (h.Cmd == kCmdData && h.Cmd1 == kCmd1Oscillogram)
        return TRequestKind::Oscillogram;
    if (h.Cmd == kCmdService) {
        switch (h.Cmd1) {
        case kCmd1DateTime: return TRequestKind::DateTime;
        case kCmd1Settings: return TRequestKind::Settings;
        case kCmd1Intervals: return TRequestKind::Intervals;
        case kCmd1PasswordLow:
        case kCmd1PasswordHigh: return TRequestKind::Password;
        default: break;
        }
    }
    return TRequestKind::Other;
}

TReply TMeterSession::ErrorReply(const TFrameHeader &request, quint16 code, const QString &note)
{
    TReply reply;
    reply.Header = request;
    reply.Header.Lead[0] = 0;
    reply.Header.ErrorField = code;
    reply.Note = note;
    return reply;
}

TReply TMeterSession::Answer(const TFrameHeader &request, QByteArray data, quint16 code)
{
    TReply reply = ErrorReply(request, code);
    reply.Data = std::move(data);
    return reply;
}

TReply TMeterSession::Handle(const TFrame &request, bool frozenClock)
{
    const TFrameHeader &h = request.Header;
    const TMeterConfig &config = meter_.Config();

    // On a shared line a meter keeps quiet about frames meant for another device.
    if (config.DeviceNumber && *config.DeviceNumber != h.DeviceNumber) {
        TReply silent;
        silent.Silent = true;
        silent.Note = u"device number %1 is not ours (%2)"_s.arg(h.DeviceNumber).arg(*config.DeviceNumber);
        return silent;
    }
    if (config.DeviceType && *config.DeviceType != h.DeviceTypeCode) {
        TReply silent;
        silent.Silent = true;
        silent.Note = u"device type %1 is not ours (%2)"_s.arg(h.DeviceTypeCode).arg(*config.DeviceType);
        return silent;
    }
    if (const QString fault = MalformedHeader(h); !fault.isEmpty())
        return ErrorReply(h, kErrBadFormat, fault);

    const TRequestKind kind = Classify(h);
    if (kind == TRequestKind::Other) {
        const bool knownGroup = h.Cmd == kCmdData || h.Cmd == kCmdService;
        return ErrorReply(h, knownGroup ? kErrBadCmd1 : kErrBadCmd, u"unknown command"_s);
    }
    if (kind == TRequestKind::Password)
        return Password(request);
    if (config.Password && !unlocked_)
        return ErrorReply(h, kErrPasswordNeeded, u"password not removed"_s);

    if (kind == TRequestKind::Oscillogram)
        return Oscillogram(request);

    if (!request.Data.isEmpty())
        return ErrorReply(h, kErrBadFormat, u"unexpected request data"_s);
    switch (kind) {
    case TRequestKind::DateTime:
    case TRequestKind::Settings:
    case TRequestKind::Intervals:
        if (h.IType != 1 || h.ICount != 1)
            return ErrorReply(h, kErrBadFormat, u"iType/iCount must be 1/1"_s);
        if (kind == TRequestKind::DateTime)
            return Answer(h, meter_.DateTimeAnswer(frozenClock));
        return Answer(h, kind == TRequestKind::Settings ? meter_.SettingsAnswer() : meter_.IntervalsAnswer());
    case TRequestKind::Data:
        // The only data map this meter keeps: the current three-second values.
        if (h.IType != 2 || h.ICount != 3)
            return ErrorReply(h, kErrDataMap, u"no data map %1/%2"_s.arg(h.IType).arg(h.ICount));
        return Answer(h, meter_.DataAnswer());
    default: return ErrorReply(h, kErrBadCmd1, u"unknown command"_s);
    }
}

TReply TMeterSession::Password(const TFrame &request)
{
    const TFrameHeader &h = request.Header;
    const QByteArray &data = request.Data;
    if (data.isEmpty() || data.back() != '\0' || data.size() - 1 > kMaxPassword)
        return ErrorReply(h, kErrBadFormat, u"malformed password frame"_s);
    const QByteArray given = data.first(data.size() - 1);
    const auto &expected = meter_.Config().Password;
    if (expected && given != expected->toLatin1()) {
        unlocked_ = false;
        return ErrorReply(h, kErrWrongPassword, u"wrong password '%1'"_s.arg(QString::fromLatin1(given)));
    }
    unlocked_ = true;
    return Answer(h, {}, kErrNone);
}

TReply TMeterSession::Oscillogram(const TFrame &request)
{
    const TFrameHeader &h = request.Header;
    const int type = meter_.Config().DeviceType.value_or(h.DeviceTypeCode);
    if (!meter_.OffersOscillogram(type))
        return ErrorReply(h, kErrBadCmd1, u"device type %1 records no oscillograms"_s.arg(type));
    if (FirmwareNumber(meter_.Firmware()) < kFirstOscillogramFirmware)
        return ErrorReply(h, kErrVersion, u"firmware too old for oscillograms"_s);
    if (request.Data.size() != 4 || h.IType != 1 || h.ICount < 1 || h.ICount > kMaxOscPeriods)
        return ErrorReply(h, kErrBadFormat, u"malformed oscillogram request"_s);

    const quint32 offset = qFromLittleEndian<quint32>(request.Data.constData());
    const int deviceNumber = meter_.Config().DeviceNumber.value_or(h.DeviceNumber);
    const TComtradeRecord *oscillogram =
        offset == 0 ? &meter_.StartOscillogram(deviceNumber) : meter_.OscillogramInTransfer(deviceNumber);
    if (!oscillogram || offset > static_cast<quint32>(oscillogram->Data.size()))
        return ErrorReply(h, kErrBadFormat, u"oscillogram offset %1 out of range"_s.arg(offset));

    const qsizetype left = oscillogram->Data.size() - offset;
    if (left == 0) // all parts delivered: the configuration closes the transfer
        return Answer(h, oscillogram->Configuration, kErrNone);
    const qsizetype chunk = std::min<qsizetype>(left, meter_.Config().OscillogramChunk);
    return Answer(h, oscillogram->Data.mid(offset, chunk), kErrMoreParts);
}

} // namespace MeterSim
