#pragma once

// The meter's frame: a 24-byte header, the data, and a one-byte checksum
// over everything before it. Everything here is pure (no I/O), so the answer
// parser can be fed from a channel, from a test, or from a fuzzer alike.
//
//   0     1  always 0           12  1  iType
//   1     3  (answer: as sent)   13  1  iCount
//   4     2  DataLength          14  6  StartTime (00 00 00 01 01 07)
//   6     1  CMD                 20  2  Param (1)
//   7     1  CMD1                22  2  ErrorField (answer: meter code)
//   8     2  DeviceNumber        24  DataLength bytes of data, then checksum
//   10    2  DeviceTypeCode
//
// Multi-byte integers are little-endian.

#include "common/Exceptions.h"

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace R5Frame {

inline constexpr std::size_t kFieldsSize = 24;        // header without the checksum
inline constexpr std::size_t kHeaderSize = 25;        // what is read before the data
inline constexpr std::size_t kMaxRequestData = 65510; // request frame fits in 65535 bytes
inline constexpr std::size_t kMaxAnswerData = 65535;
inline constexpr quint16 kDefaultParam = 1;
using TStartTime = std::array<quint8, 6>;
inline constexpr TStartTime kStartTime = {0x00, 0x00, 0x00, 0x01, 0x01, 0x07};

// Request codes ("CMD", "CMD1"). The meter's service group (0x0A) holds its
// settings, clock and intervals and the password removal, whose CMD1 names
// the password's level range; measured data and oscillograms are group 0x01.
inline constexpr quint8 kCmdService = 0x0A;
inline constexpr quint8 kCmd1Settings = 0x0F;
inline constexpr quint8 kCmd1DateTime = 0x02;
inline constexpr quint8 kCmd1Intervals = 0x15;
inline constexpr quint8 kCmd1PasswordLevels0To2 = 0x85;
inline constexpr quint8 kCmd1PasswordLevels3To5 = 0x86;
inline constexpr quint8 kCmdMeasurements = 0x01;
inline constexpr quint8 kCmd1Data = 0x01;
inline constexpr quint8 kCmd1Oscillogram = 0x0C;

// Field offsets.
inline constexpr std::size_t kOffDataLength = 4;
inline constexpr std::size_t kOffCmd = 6;
inline constexpr std::size_t kOffCmd1 = 7;
inline constexpr std::size_t kOffDeviceNumber = 8;
inline constexpr std::size_t kOffDeviceTypeCode = 10;
inline constexpr std::size_t kOffIType = 12;
inline constexpr std::size_t kOffICount = 13;
inline constexpr std::size_t kOffStartTime = 14;
inline constexpr std::size_t kOffParam = 20;
inline constexpr std::size_t kOffErrorField = 22;

using THeader = std::array<quint8, kHeaderSize>;

// A request longer than the frame can carry.
class ERangeError : public Exception
{
public:
    using Exception::Exception;
};

// The one-byte checksum (not a standard CRC): per byte, XOR it in, rotate
// right by one within 8 bits, and if the bit rotated into bit 7 is set XOR
// 0x1E; the result is the final value XOR 0xEB.
quint8 Checksum(std::span<const quint8> bytes);
// A frame is valid when its last byte is the checksum of all the others.
bool ChecksumValid(std::span<const quint8> frame);

struct TFields
{
    quint16 DataLength = 0;
    quint8 Cmd = 0;
    quint8 Cmd1 = 0;
    quint16 DeviceNumber = 0;
    quint16 DeviceTypeCode = 0;
    quint8 IType = 0;
    quint8 ICount = 0;
    TStartTime StartTime = kStartTime;
    quint16 Param = kDefaultParam;
    quint16 ErrorField = 0;
};

// 25 bytes: the fields, then the checksum of those 24 bytes.
THeader BuildHeader(const TFields &fields);
// A whole frame: the header fields with DataLength = data size, the data,
// the checksum. More than maxData bytes raise ERangeError (answers, as a
// meter or a test builds them, may carry up to kMaxAnswerData).
QByteArray BuildFrame(TFields fields, std::span<const quint8> data, std::size_t maxData = kMaxRequestData);
TFields ReadFields(std::span<const quint8> header); // at least 24 bytes

quint16 GetU16(std::span<const quint8> bytes, std::size_t offset);
void PutU16(std::span<quint8> bytes, std::size_t offset, quint16 value);

// Does an answer header (25 bytes) belong to a request header (25 bytes)?
using TMatcher = std::function<bool(std::span<const quint8> answer, std::span<const quint8> request)>;

// The driver's codes for a failed receive.
inline constexpr quint8 kCodeBadChecksum = 247; // "Неверный CRC"
inline constexpr quint8 kCodeNotHeader = 252; // "Был получен не заголовок посылки ответа"
inline constexpr quint8 kCodeNoAnswer = 253;  // "Нет ответа от измерителя"
inline constexpr quint8 kCodeReadError = 255; // short read / bad answer

// Finds and checks one answer in a byte stream that arrives in pieces.
// Ask Wanted() bytes of the channel, then hand over what came with Feed, or
// call FeedNothing when a read gave nothing. The scan
//   - collects 25 bytes, then slides over the stream one byte at a time until
//     those 25 bytes match the request (garbage before an answer is skipped);
//   - takes ErrorField as the code (a value above 127 ends with 255);
//   - reads DataLength more bytes and tests the checksum (247 when wrong).
// It never keeps more than one frame (at most 65560 bytes) and gives up the
// slide after kMaxSkipped bytes, so a line that only ever sends noise cannot
// hold it forever.
class TAnswerScanner
{
public:
    enum class TPhase { Header, Sliding, Data, Done };
    static constexpr std::size_t kMaxSkipped = kMaxAnswerData + kHeaderSize;

    TAnswerScanner(const THeader &request, TMatcher matcher);

    TPhase Phase() const { return phase_; }
    bool Finished() const { return phase_ == TPhase::Done; }
    // Bytes to read next (0 when finished); Feed must not get more.
    std::size_t Wanted() const;
    // True while reading the data part (the data time-out applies).
    bool InData() const { return phase_ == TPhase::Data; }
    void Feed(std::span<const quint8> bytes);
    void FeedNothing();

    // Code so far: 255 before a header is taken, 252 while sliding, then the
    // meter's ErrorField; after a failure the failure code.
    quint8 ErrorCode() const { return errorCode_; }
    // A whole frame with a valid checksum is in.
    bool Received() const { return received_; }
    quint16 DataLength() const { return dataLength_; }
    // The answer data (DataLength bytes) once Received.
    std::span<const quint8> Data() const;
    // The answer frame (header, data, checksum) once Received.
    std::span<const quint8> Frame() const
    {
        return received_ ? std::span<const quint8>(frame_) : std::span<const quint8>();
    }
    std::size_t Skipped() const { return skipped_; }

private:
    void TryMatch();
    void Fail(quint8 code);

    THeader request_;
    TMatcher matcher_;
    TPhase phase_ = TPhase::Header;
    THeader window_{};
    std::size_t windowFill_ = 0;
    std::vector<quint8> frame_;
    std::size_t skipped_ = 0;
    quint16 dataLength_ = 0;
    quint8 errorCode_ = kCodeReadError;
    bool received_ = false;
};

struct TParseResult
{
    bool Received = false;
    quint8 ErrorCode = kCodeReadError;
    quint16 DataLength = 0;
    std::size_t Skipped = 0;  // garbage bytes before the header
    std::size_t Consumed = 0; // bytes of the stream taken
    QByteArray Data;          // the answer data when Received
};

// Parses an answer from a complete byte stream, as if a channel delivered it
// and then fell silent.
TParseResult ParseAnswer(std::span<const quint8> stream, const THeader &request, const TMatcher &matcher);

// The header match of this meter family: byte 0, CMD, CMD1, DeviceNumber and
// DeviceTypeCode equal.
bool HeadersMatch(std::span<const quint8> answer, std::span<const quint8> request);

} // namespace R5Frame
