#include "protocol/R5Frame.h"

#include <algorithm>
#include <cstring>

namespace R5Frame {

namespace {

// One step of the checksum without the input byte: rotate right by one, and
// XOR 0x1E when the bit rotated into bit 7 is set. The step is linear over
// GF(2), so k steps over a byte can be tabulated (kSteps[k - 1]) and eight
// input bytes folded in with eight independent look-ups instead of a chain of
// eight dependent steps.
constexpr quint8 Step(quint8 c)
{
    c = static_cast<quint8>((c >> 1) | (c << 7));
    return (c & 0x80) ? static_cast<quint8>(c ^ 0x1E) : c;
}

constexpr auto kSteps = [] {
    std::array<std::array<quint8, 256>, 8> t{};
    for (int x = 0; x < 256; ++x) {
        quint8 c = static_cast<quint8>(x);
        for (int k = 0; k < 8; ++k) {
            c = Step(c);
            t[k][x] = c;
        }
    }
    return t;
}();

} // namespace

quint8 Checksum(std::span<const quint8> bytes)
{
    // Per byte b: c = Step(c ^ b); the result is c ^ 0xEB.
    quint8 c = 0;
    const quint8 *p = bytes.data();
    std::size_t n = bytes.size();
    while (n >= 8) {
        c = kSteps[7][c ^ p[0]] ^ kSteps[6][p[1]] ^ kSteps[5][p[2]] ^ kSteps[4][p[3]] ^ kSteps[3][p[4]] ^
            kSteps[2][p[5]] ^ kSteps[1][p[6]] ^ kSteps[0][p[7]];
        p += 8;
        n -= 8;
    }
    while (n-- > 0)
        c = kSteps[0][c ^ *p++];
    return c ^ 0xEB;
}

bool ChecksumValid(std::span<const quint8> frame)
{
    if (frame.empty())
        return false;
    return Checksum(frame.first(frame.size() - 1)) == frame.back();
}

quint16 GetU16(std::span<const quint8> bytes, std::size_t offset)
{
    return static_cast<quint16>(bytes[offset] | (bytes[offset + 1] << 8));
}

void PutU16(std::span<quint8> bytes, std::size_t offset, quint16 value)
{
    bytes[offset] = static_cast<quint8>(value & 0xFF);
    bytes[offset + 1] = static_cast<quint8>(value >> 8);
}

static void WriteFields(std::span<quint8> out, const TFields &f)
{
    std::fill(out.begin(), out.begin() + kFieldsSize, quint8(0));
    PutU16(out, kOffDataLength, f.DataLength);
    out[kOffCmd] = f.Cmd;
    out[kOffCmd1] = f.Cmd1;
    PutU16(out, kOffDeviceNumber, f.DeviceNumber);
    PutU16(out, kOffDeviceTypeCode, f.DeviceTypeCode);
    out[kOffIType] = f.IType;
    out[kOffICount] = f.ICount;
    std::copy(f.StartTime.begin(), f.StartTime.end(), out.begin() + kOffStartTime);
    PutU16(out, kOffParam, f.Param);
    PutU16(out, kOffErrorField, f.ErrorField);
}

THeader BuildHeader(const TFields &fields)
{
    THeader header{};
    WriteFields(header, fields);
    header[kFieldsSize] = Checksum(std::span<const quint8>(header).first(kFieldsSize));
    return header;
}

QByteArray BuildFrame(TFields fields, std::span<const quint8> data, std::size_t maxData)
{
    if (data.size() > std::min(maxData, kMaxAnswerData))
        throw ERangeError(QStringLiteral("Слишком длинная посылка: %1 байт данных.").arg(data.size()));
    fields.DataLength = static_cast<quint16>(data.size());
    QByteArray frame(static_cast<qsizetype>(kHeaderSize + data.size()), Qt::Uninitialized);
    const std::span<quint8> out(reinterpret_cast<quint8 *>(frame.data()), static_cast<std::size_t>(frame.size()));
    WriteFields(out, fields);
    if (!data.empty())
        std::memcpy(out.data() + kFieldsSize, data.data(), data.size());
    out.back() = Checksum(out.first(out.size() - 1));
    return frame;
}

TFields ReadFields(std::span<const quint8> h)
{
    TFields f;
    if (h.size() < kFieldsSize)
        return f;
    f.DataLength = GetU16(h, kOffDataLength);
    f.Cmd = h[kOffCmd];
    f.Cmd1 = h[kOffCmd1];
    f.DeviceNumber = GetU16(h, kOffDeviceNumber);
    f.DeviceTypeCode = GetU16(h, kOffDeviceTypeCode);
    f.IType = h[kOffIType];
    f.ICount = h[kOffICount];
    std::copy_n(h.begin() + kOffStartTime, f.StartTime.size(), f.StartTime.begin());
    f.Param = GetU16(h, kOffParam);
    f.ErrorField = GetU16(h, kOffErrorField);
    return f;
}

bool HeadersMatch(std::span<const quint8> a, std::span<const quint8> r)
{
    if (a.size() < kFieldsSize || r.size() < kFieldsSize)
        return false;
    return a[0] == r[0] && a[kOffCmd] == r[kOffCmd] && a[kOffCmd1] == r[kOffCmd1] &&
           GetU16(a, kOffDeviceNumber) == GetU16(r, kOffDeviceNumber) &&
           GetU16(a, kOffDeviceTypeCode) == GetU16(r, kOffDeviceTypeCode);
}

TAnswerScanner::TAnswerScanner(const THeader &request, TMatcher matcher)
    : request_(request), matcher_(std::move(matcher))
{
    if (!matcher_)
        matcher_ = HeadersMatch;
}

std::size_t TAnswerScanner::Wanted() const
{
    switch (phase_) {
    case TPhase::Header: return kHeaderSize - windowFill_;
    case TPhase::Sliding: return 1;
    case TPhase::Data: return kHeaderSize + dataLength_ - frame_.size();
    case TPhase::Done: return 0;
    }
    return 0;
}

std::span<const quint8> TAnswerScanner::Data() const
{
    if (!received_)
        return {};
    return std::span<const quint8>(frame_).subspan(kFieldsSize, dataLength_);
}

void TAnswerScanner::Fail(quint8 code)
{
    errorCode_ = code;
    received_ = false;
    frame_.clear();
    phase_ = TPhase::Done;
}

void TAnswerScanner::FeedNothing()
{
    switch (phase_) {
    case TPhase::Header: Fail(kCodeNoAnswer); break;
    case TPhase::Sliding: Fail(kCodeNotHeader); break;
    case TPhase::Data: Fail(kCodeReadError); break;
    case TPhase::Done: break;
    }
}

void TAnswerScanner::TryMatch()
{
    if (!matcher_(window_, request_)) {
        errorCode_ = kCodeNotHeader;
        phase_ = TPhase::Sliding;
        return;
    }
    const quint16 errorField = GetU16(window_, kOffErrorField);
    if (errorField > 127) {
        Fail(kCodeReadError);
        return;
    }
    errorCode_ = static_cast<quint8>(errorField);
    dataLength_ = GetU16(window_, kOffDataLength);
    frame_.reserve(kHeaderSize + dataLength_);
    frame_.assign(window_.begin(), window_.end());
    phase_ = TPhase::Data;
    if (dataLength_ == 0) {
        // The 25 bytes are the whole frame: byte 24 is its checksum.
        if (ChecksumValid(frame_)) {
            received_ = true;
            phase_ = TPhase::Done;
        } else {
            Fail(kCodeBadChecksum);
        }
    }
}

void TAnswerScanner::Feed(std::span<const quint8> bytes)
{
    while (!bytes.empty() && phase_ != TPhase::Done) {
        const std::size_t take = std::min(Wanted(), bytes.size());
        switch (phase_) {
        case TPhase::Header:
            std::copy_n(bytes.begin(), take, window_.begin() + windowFill_);
            windowFill_ += take;
            if (windowFill_ == kHeaderSize)
                TryMatch();
            break;
        case TPhase::Sliding:
            if (skipped_ >= kMaxSkipped) {
                Fail(kCodeNotHeader);
                return;
            }
            std::copy(window_.begin() + 1, window_.end(), window_.begin());
            window_.back() = bytes.front();
            ++skipped_;
            TryMatch();
            break;
        case TPhase::Data:
            frame_.insert(frame_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
            if (frame_.size() == kHeaderSize + dataLength_) {
                if (ChecksumValid(frame_)) {
                    received_ = true;
                    phase_ = TPhase::Done;
                } else {
                    Fail(kCodeBadChecksum);
                }
            }
            break;
        case TPhase::Done: break;
        }
        bytes = bytes.subspan(take);
    }
}

TParseResult ParseAnswer(std::span<const quint8> stream, const THeader &request, const TMatcher &matcher)
{
    TAnswerScanner scanner(request, matcher);
    std::size_t pos = 0;
    while (!scanner.Finished()) {
        const std::size_t take = std::min(scanner.Wanted(), stream.size() - pos);
        if (take == 0) {
            scanner.FeedNothing();
            break;
        }
        scanner.Feed(stream.subspan(pos, take));
        pos += take;
    }
    TParseResult result;
    result.Received = scanner.Received();
    result.ErrorCode = scanner.ErrorCode();
    result.DataLength = scanner.Received() ? scanner.DataLength() : 0;
    result.Skipped = scanner.Skipped();
    result.Consumed = pos;
    const auto data = scanner.Data();
    result.Data = QByteArray(reinterpret_cast<const char *>(data.data()), static_cast<qsizetype>(data.size()));
    return result;
}

} // namespace R5Frame
