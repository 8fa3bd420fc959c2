#pragma once

// Wire format of the meter's request/answer frames, written from the meter's
// side: a 24-byte header, the data, one checksum byte. Multi-byte fields are
// little-endian.

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <optional>

namespace MeterSim {

constexpr int kHeaderSize = 24;
constexpr int kMinFrameSize = kHeaderSize + 1;
// A request frame must fit in 65535 bytes, header and checksum included.
constexpr int kMaxRequestData = 65510;
constexpr int kMaxAnswerData = 65535;

struct TFrameHeader
{
    uint8_t Lead[4] = {0, 0, 0, 0}; // byte 0 is always 0; bytes 1..3 carry nothing
    uint16_t DataLength = 0;
    uint8_t Cmd = 0;
    uint8_t Cmd1 = 0;
    uint16_t DeviceNumber = 0;
    uint16_t DeviceTypeCode = 0;
    uint8_t IType = 0;
    uint8_t ICount = 0;
    uint8_t StartTime[6] = {0, 0, 0, 1, 1, 7};
    uint16_t Param = 1;
    uint16_t ErrorField = 0;
};

struct TFrame
{
    TFrameHeader Header;
    QByteArray Data;
};

// One-byte checksum of the protocol over all given bytes (the frame without
// its last byte).
uint8_t Checksum(QByteArrayView bytes);

// Reads the 24 header bytes; the caller guarantees the size.
TFrameHeader DecodeHeader(QByteArrayView header24);
// Header (with DataLength taken from data.size()), data and checksum.
// Data longer than kMaxAnswerData is cut: the length field cannot say more.
QByteArray EncodeFrame(TFrameHeader header, QByteArrayView data);

// Takes request frames out of a byte stream. Bytes that cannot start a frame
// are skipped one at a time, so garbage before a request costs nothing but
// the garbage; a frame with a wrong checksum is dropped the same way, as the
// meter never answers what it cannot trust. A declared length above the
// protocol's limit is rejected before any data is awaited.
class TRequestReader
{
public:
    struct TCounters
    {
        quint64 Frames = 0;
        quint64 ChecksumErrors = 0;
        quint64 SkippedBytes = 0;
        quint64 DiscardedPartials = 0;
    };

    void Feed(QByteArrayView bytes);
    // The next complete, checksum-verified frame, if one is in.
    std::optional<TFrame> Next();
    // An incomplete frame has waited too long (the line went quiet): forget it.
    void DiscardPartial();
    bool HasPartial() const { return !buffer_.isEmpty(); }
    const TCounters &Counters() const { return counters_; }

private:
    qsizetype FrameSizeAt(qsizetype position) const;
    bool CompleteAt(qsizetype position) const;
    bool VerifiedAt(qsizetype position) const;
    // Position of the first complete frame with a right checksum after the
    // start, within a bounded distance; -1 if there is none.
    qsizetype FindVerifiedFrame() const;

    QByteArray buffer_;
    TCounters counters_;
};

} // namespace MeterSim
