#pragma once

// The oscillogram as the meter sends it: a COMTRADE record (1999 revision,
// binary data file) made of the configuration text (.cfg) and the data bytes
// (.dat). The parsing functions work on plain byte spans and never fail:
// whatever cannot be read falls back to its default, so a garbled or cut
// record gives fewer samples, never a crash.

#include "files/CsvSnapshot.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace Comtrade {

inline constexpr int Signals = 9;    // Ua Ub Uc Uab Ubc Uca Ia Ib Ic
inline constexpr int Records = 1280; // samples kept per signal
inline constexpr int StartTimeLine = 18;

// One analog channel line of the configuration.
struct TChannel
{
    QString Name;         // at most 64 characters
    QString Phase;        // at most 2
    QString Units;        // at most 32
    float Multiplier = 1; // a
    float Offset = 0;     // b
    float Primary = 1;
    float Secondary = 1;
    QChar PrimarySecondary = QLatin1Char(' ');
};

struct TConfig
{
    QStringList Lines;
    int32_t DeviceNumber = 1;
    int AnalogCount = 0;
    int StatusCount = 0;
    std::array<TChannel, Signals> Channels;
    QDateTime StartMoment;
    bool StartMomentRead = false; // false: StartMoment is the fallback
};

// Windows-1251 text split at CR LF, CR or LF; the text ends at the first NUL
// byte (records padded with zeros), a final line break adds no empty line.
QStringList SplitLines(QByteArrayView cfg);
// Field of a line (comma-separated, 0-based); empty when missing.
QString Field(const QStringList &lines, int line, int field);

// The decimal number after the first "N" of the recording device field (the
// whole field without one); 1 when that is no number.
int32_t ParseDeviceNumber(const QString &field);
// The decimal number before the first marker ("A" or "D"); 0 when none.
int ParseChannelCount(const QString &field, QChar marker);
// A number with "." as the decimal point whatever the locale; the fallback
// for empty text, junk, infinities, NaN and values beyond single precision.
float ParseFloat(const QString &field, float fallback);
// "dd/mm/yyyy" and "hh:mm:ss.ffffff" (only milliseconds are kept); invalid
// QDateTime when either cannot be read.
QDateTime ParseMoment(const QString &date, const QString &time);

// Reads everything the program uses from the configuration; fallbackMoment
// becomes StartMoment when the start time is missing or unreadable.
TConfig ParseConfig(QByteArrayView cfg, const QDateTime &fallbackMoment);

// Converts the data records into samples[c * 1280 + n] for channels c < 9
// and records n < 1280 (samples must hold 9 x 1280 values, contract). A
// record cut short keeps the channels read before the cut; a sample that
// comes out infinite (absurd factors) is stored as 0. Secondary
// factors of 0 are set to 1 in the config. Returns the records started.
int DecodeData(QByteArrayView dat, TConfig &config, std::span<float> samples);

// osci_<device prefix>_<device number>_<yyMMdd_HHmmsszzz>.cfg, without a folder.
QString FileName(const QString &deviceClassName, int32_t deviceNumber, const QDateTime &start);

struct TEncodedRecord
{
    QByteArray Cfg;
    QByteArray Dat;
};

// The first `records` samples of the nine signals (samples: 9 x 1280,
// signal after signal, in volts and amperes) as a record laid out like the
// meter's own: nine analog and four status channels, 64 samples a period at
// `frequency`. Each channel's factor spreads its peak over the 16-bit range,
// so a reader gets every sample back within half a step of it.
TEncodedRecord EncodeRecord(std::span<const float> samples, int records, const QString &station, int32_t deviceNumber,
                            const QDateTime &start, double frequency);

} // namespace Comtrade

class TFileCOMTRADE
{
public:
    // Copies both streams, reads the configuration, then the data.
    TFileCOMTRADE(QByteArrayView dat, QByteArrayView cfg);
    TFileCOMTRADE(QByteArrayView dat, QByteArrayView cfg, const QDateTime &now);

    const QByteArray &Dat() const { return dat_; }
    const QStringList &Cfg() const { return config_.Lines; }
    const QDateTime &StartMoment() const { return config_.StartMoment; }
    int32_t DeviceNumber() const { return config_.DeviceNumber; }
    int AnalogCount() const { return config_.AnalogCount; }
    int StatusCount() const { return config_.StatusCount; }
    const Comtrade::TChannel &Channel(int index) const;

    // 9 x 1280 values, signal after signal: the block WriteOscillogram takes.
    std::span<const float> Samples() const { return samples_; }
    float Sample(int channel, int record) const;

    QString GetLine(int line) const;
    QString GetField(int line, int field) const;

    // <Documents>/VD/<program>/COMTRADE/osci_<prefix>_<device>_<start>.cfg;
    // creates the folder.
    QString GetFileName(const QString &deviceClassName) const;
    // The configuration lines (Windows-1251, CR LF) to cfgPath and the data
    // bytes unchanged beside it with the extension ".dat". False when there
    // is nothing to write or the folder or an older file is in the way; a
    // failed write raises EInOutError. Either way of failing puts why into
    // `reason` (may be null).
    bool SaveToFile(const QString &cfgPath, const TErrorSink &showError = {}, QString *reason = nullptr) const;
    bool Save(const QString &deviceClassName, const TErrorSink &showError = {}) const;
    // Save for a polling run, which goes on whatever comes of it: never
    // raises; empty when saved, else the status text naming the file and
    // the reason.
    QString TrySave(const QString &deviceClassName) const;
    static QString SaveFailedText(const QString &cfgPath, const QString &reason);

private:
    QByteArray dat_;
    Comtrade::TConfig config_;
    std::vector<float> samples_;
};
