#include "Comtrade.h"

#include "common/Cp1251.h"

#include <QStringList>
#include <QtEndian>
#include <cmath>
#include <numbers>

namespace MeterSim {

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int kHighestRecordedOrder = 31;
constexpr double kFullScale = 32000.0; // raw value of the largest peak, leaving headroom

const char *const kSignalNames[kAnalogChannels] = {"Ua", "Ub", "Uc", "Uab", "Ubc", "Uca", "Ia", "Ib", "Ic"};
const char *const kSignalPhases[kAnalogChannels] = {"A", "B", "C", "AB", "BC", "CA", "A", "B", "C"};

const TSpectrumLine &Harmonics(const TSpectrum &s, int signal)
{
    return signal < 6 ? s.U[signal] : s.I[signal - 6];
}

const TSpectrumLine &Interharmonics(const TSpectrum &s, int signal)
{
    return signal < 6 ? s.UInter[signal] : s.IInter[signal - 6];
}

double Divisor(const TNominals &nominals, int signal)
{
    return signal < 6 || nominals.CurrentRatio <= 0.0 ? 1.0 : nominals.CurrentRatio;
}

// Upper bound of the signal's peak: every component at its crest at once.
double PeakBound(const TSpectrum &s, const TNominals &nominals, int signal)
{
    double sum = 0.0;
    for (int n = 1; n <= kHighestRecordedOrder; ++n)
        sum += std::abs(Harmonics(s, signal)[n]) + (n >= 2 ? std::abs(Interharmonics(s, signal)[n]) : 0.0);
    return std::numbers::sqrt2 * sum / Divisor(nominals, signal);
}

QString Number(double value)
{
    return QString::number(value, 'g', 7);
}

QString ComtradeTime(const QDateTime &moment)
{
    return moment.toString(u"dd/MM/yyyy,hh:mm:ss.zzz"_s) + u"000"_s;
}

} // namespace

double InstantaneousValue(const TSpectrum &s, const TNominals &nominals, int signal, double t)
{
    const double omega = 2.0 * std::numbers::pi * s.Frequency;
    const TSpectrumLine &harmonics = Harmonics(s, signal);
    const TSpectrumLine &inter = Interharmonics(s, signal);
    double v = 0.0;
    for (int n = 1; n <= kHighestRecordedOrder; ++n) {
        if (harmonics[n] != TPhasor{})
            v += std::abs(harmonics[n]) * std::cos(n * omega * t + std::arg(harmonics[n]));
        // Interharmonic group m lies between orders m - 1 and m.
        if (n >= 2 && inter[n] != TPhasor{})
            v += std::abs(inter[n]) * std::cos((n - 0.5) * omega * t + std::arg(inter[n]));
    }
    return std::numbers::sqrt2 * v / Divisor(nominals, signal);
}

TComtradeRecord BuildComtrade(const TSpectrum &s, const TNominals &nominals, const QString &station, int deviceNumber,
                              const QDateTime &start)
{
    const double sampleRate = kSamplesPerPeriod * s.Frequency;

    // The multiplier goes into the text with limited digits; the raw values are
    // computed with exactly what a reader will parse back.
    double multipliers[kAnalogChannels];
    QStringList cfg;
    cfg << u"%1,N%2,1999"_s.arg(station).arg(deviceNumber);
    cfg << u"%1,%2A,%3D"_s.arg(kAnalogChannels + kStatusChannels).arg(kAnalogChannels).arg(kStatusChannels);
    for (int c = 0; c < kAnalogChannels; ++c) {
        const double peak = PeakBound(s, nominals, c);
        const QString a = Number(peak > 0.0 ? peak / kFullScale : 1.0);
        multipliers[c] = a.toDouble();
        const bool current = c >= 6;
        cfg << u"%1,%2,%3,,%4,%5,0,0,-32767,32767,%6,1,S"_s.arg(c + 1).arg(
            QLatin1StringView(kSignalNames[c]), QLatin1StringView(kSignalPhases[c]), current ? u"A"_s : u"V"_s, a,
            Number(current ? nominals.CurrentRatio : 1.0));
    }
    for (int d = 0; d < kStatusChannels; ++d)
        cfg << u"%1,Статус %2,,,0"_s.arg(d + 1).arg(d + 1);
    cfg << Number(nominals.Frequency);
    cfg << u"1"_s;
    cfg << u"%1,%2"_s.arg(QString::number(sampleRate, 'f', 3)).arg(kOscillogramRecords);
    cfg << ComtradeTime(start);
    cfg << ComtradeTime(start);
    cfg << u"BINARY"_s;
    cfg << u"1"_s;

    TComtradeRecord record;
    record.Configuration = Cp1251::Encode(QString(cfg.join(u"\r\n"_s) + u"\r\n"_s));

    record.Data.resize(kOscillogramRecords * kRecordBytes);
    char *p = record.Data.data();
    for (int j = 0; j < kOscillogramRecords; ++j) {
        const double t = j / sampleRate;
        qToLittleEndian<quint32>(static_cast<quint32>(j + 1), p);
        qToLittleEndian<quint32>(static_cast<quint32>(std::llround(t * 1e6)), p + 4);
        for (int c = 0; c < kAnalogChannels; ++c) {
            const double raw = std::round(InstantaneousValue(s, nominals, c, t) / multipliers[c]);
            qToLittleEndian<qint16>(static_cast<qint16>(std::clamp(raw, -32767.0, 32767.0)), p + 8 + 2 * c);
        }
        // Status word: bit d set while channel d reports trouble.
        quint16 status = 0;
        for (int d = 0; d < kStatusChannels && d < 6; ++d)
            if (s.ChannelStatus[d] != 0)
                status |= static_cast<quint16>(1u << d);
        qToLittleEndian<quint16>(status, p + 8 + 2 * kAnalogChannels);
        p += kRecordBytes;
    }
    return record;
}

} // namespace MeterSim
