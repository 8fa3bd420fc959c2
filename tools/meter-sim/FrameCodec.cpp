#include "FrameCodec.h"

#include <QtEndian>

namespace MeterSim {

namespace {

uint16_t U16At(QByteArrayView bytes, int offset)
{
    return qFromLittleEndian<uint16_t>(bytes.data() + offset);
}

void PutU16(char *at, uint16_t value)
{
    qToLittleEndian<uint16_t>(value, at);
}

// Worst-case frame lengths a header may announce; checked before waiting.
bool PlausibleRequestStart(QByteArrayView bytes)
{
    if (static_cast<uint8_t>(bytes[0]) != 0)
        return false;
    if (bytes.size() >= 6 && U16At(bytes, 4) > kMaxRequestData)
        return false;
    return true;
}

} // namespace

uint8_t Checksum(QByteArrayView bytes)
{
    uint8_t c = 0;
    for (char ch : bytes) {
        c ^= static_cast<uint8_t>(ch);
        const bool carry = (c & 1) != 0;
        c = static_cast<uint8_t>((c >> 1) | (carry ? 0x80 : 0));
        if (carry)
            c ^= 0x1E;
    }
    return c ^ 0xEB;
}

TFrameHeader DecodeHeader(QByteArrayView h)
{
    TFrameHeader header;
    for (int i = 0; i < 4; ++i)
        header.Lead[i] = static_cast<uint8_t>(h[i]);
    header.DataLength = U16At(h, 4);
    header.Cmd = static_cast<uint8_t>(h[6]);
    header.Cmd1 = static_cast<uint8_t>(h[7]);
    header.DeviceNumber = U16At(h, 8);
    header.DeviceTypeCode = U16At(h, 10);
    header.IType = static_cast<uint8_t>(h[12]);
    header.ICount = static_cast<uint8_t>(h[13]);
    for (int i = 0; i < 6; ++i)
        header.StartTime[i] = static_cast<uint8_t>(h[14 + i]);
    header.Param = U16At(h, 20);
    header.ErrorField = U16At(h, 22);
    return header;
}

QByteArray EncodeFrame(TFrameHeader header, QByteArrayView data)
{
    const qsizetype length = std::min<qsizetype>(data.size(), kMaxAnswerData);
    header.DataLength = static_cast<uint16_t>(length);

    QByteArray frame(kHeaderSize + length + 1, '\0');
    char *p = frame.data();
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>(header.Lead[i]);
    PutU16(p + 4, header.DataLength);
    p[6] = static_cast<char>(header.Cmd);
    p[7] = static_cast<char>(header.Cmd1);
    PutU16(p + 8, header.DeviceNumber);
    PutU16(p + 10, header.DeviceTypeCode);
    p[12] = static_cast<char>(header.IType);
    p[13] = static_cast<char>(header.ICount);
    for (int i = 0; i < 6; ++i)
        p[14 + i] = static_cast<char>(header.StartTime[i]);
    PutU16(p + 20, header.Param);
    PutU16(p + 22, header.ErrorField);
    if (length > 0)
        std::copy_n(data.data(), length, p + kHeaderSize);
    p[kHeaderSize + length] = static_cast<char>(Checksum(QByteArrayView(frame).first(kHeaderSize + length)));
    return frame;
}

void TRequestReader::Feed(QByteArrayView bytes)
{
    buffer_.append(bytes.data(), bytes.size());
}

std::optional<TFrame> TRequestReader::Next()
{
    for (;;) {
        // Skip bytes that cannot begin a request.
        qsizetype skip = 0;
        while (skip < buffer_.size() && !PlausibleRequestStart(QByteArrayView(buffer_).sliced(skip)))
            ++skip;
        if (skip > 0) {
            counters_.SkippedBytes += static_cast<quint64>(skip);
            buffer_.remove(0, skip);
        }
        if (buffer_.size() < kMinFrameSize)
            return std::nullopt;

        if (!CompleteAt(0)) {
            // Headers are full of zero bytes, so debris can look like the start
            // of a long frame. A verified frame further on wins over waiting.
            const qsizetype found = FindVerifiedFrame();
            if (found < 0)
                return std::nullopt;
            counters_.SkippedBytes += static_cast<quint64>(found);
            buffer_.remove(0, found);
        }

        const qsizetype total = FrameSizeAt(0);
        const QByteArrayView frameBytes = QByteArrayView(buffer_).first(total);
        if (!VerifiedAt(0)) {
            ++counters_.ChecksumErrors;
            ++counters_.SkippedBytes;
            buffer_.remove(0, 1);
            continue;
        }

        TFrame frame;
        frame.Header = DecodeHeader(frameBytes);
        frame.Data = frameBytes.sliced(kHeaderSize, total - kMinFrameSize).toByteArray();
        buffer_.remove(0, total);
        ++counters_.Frames;
        return frame;
    }
}

qsizetype TRequestReader::FrameSizeAt(qsizetype position) const
{
    return kMinFrameSize + U16At(buffer_, position + 4);
}

bool TRequestReader::CompleteAt(qsizetype position) const
{
    return buffer_.size() - position >= kMinFrameSize && buffer_.size() - position >= FrameSizeAt(position);
}

bool TRequestReader::VerifiedAt(qsizetype position) const
{
    const qsizetype total = FrameSizeAt(position);
    const QByteArrayView frame = QByteArrayView(buffer_).sliced(position, total);
    return Checksum(frame.first(total - 1)) == static_cast<uint8_t>(frame[total - 1]);
}

qsizetype TRequestReader::FindVerifiedFrame() const
{
    constexpr qsizetype kLookahead = 1024;
    const qsizetype last = std::min(buffer_.size() - kMinFrameSize, kLookahead);
    for (qsizetype position = 1; position <= last; ++position) {
        if (PlausibleRequestStart(QByteArrayView(buffer_).sliced(position)) && CompleteAt(position) &&
            VerifiedAt(position))
            return position;
    }
    return -1;
}

void TRequestReader::DiscardPartial()
{
    if (buffer_.isEmpty())
        return;
    ++counters_.DiscardedPartials;
    counters_.SkippedBytes += static_cast<quint64>(buffer_.size());
    buffer_.clear();
}

} // namespace MeterSim
