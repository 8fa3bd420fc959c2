#include "Answers.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <limits>

namespace MeterSim {

namespace {

// Writes scaled values at fixed offsets, rounding to the nearest step and
// saturating at the field's range, as the meter's firmware does.
class TLayoutWriter
{
public:
    explicit TLayoutWriter(int size) : bytes_(size, '\0') {}

    void U8(int offset, int value) { bytes_[offset] = static_cast<char>(std::clamp(value, 0, 255)); }
    void I16(int offset, double value, double scale = 1.0)
    {
        qToLittleEndian<qint16>(static_cast<qint16>(Saturate(value * scale, -32768.0, 32767.0)), Place(offset, 2));
    }
    void U16(int offset, double value, double scale = 1.0)
    {
        qToLittleEndian<quint16>(static_cast<quint16>(Saturate(value * scale, 0.0, 65535.0)), Place(offset, 2));
    }
    void F32(int offset, double value) { qToLittleEndian<float>(static_cast<float>(value), Place(offset, 4)); }
    void Text(int offset, const QByteArray &text)
    {
        std::copy(text.begin(), text.end(), Place(offset, static_cast<int>(text.size())));
    }
    QByteArray Take() { return std::move(bytes_); }

private:
    static double Saturate(double value, double low, double high)
    {
        return std::isfinite(value) ? std::clamp(std::round(value), low, high) : 0.0;
    }
    char *Place(int offset, int size)
    {
        Q_ASSERT(offset >= 0 && offset + size <= bytes_.size());
        return bytes_.data() + offset;
    }

    QByteArray bytes_;
};

constexpr double kHundredths = 100.0;
constexpr double kThousandths = 1000.0;

// Deviation limits in hundredths of a percent, in the order maximum upper,
// normal upper, maximum lower, normal lower; the second four apply during
// the limit periods.
constexpr int kDeviationLimits[8] = {1000, 500, -1000, -500, 1000, 500, -1000, -500};

// Harmonic voltage limits of a low-voltage network, percent: normal values;
// the maximum values are one and a half times these.
double HarmonicLimitPercent(int n)
{
    static constexpr double kLow[] = {0,   0,   2.0, 5.0, 1.0, 6.0, 0.5, 5.0, 0.5, 1.5, 0.5, 3.5, 0.2,
                                      3.0, 0.2, 0.3, 0.2, 2.0, 0.2, 1.5, 0.2, 0.2, 0.2, 1.5, 0.2, 1.5};
    if (n <= 25)
        return kLow[n];
    if (n % 2 == 0 || n % 3 == 0)
        return 0.2;
    return 0.2 + 1.3 * 25.0 / n;
}

} // namespace

QByteArray FirmwareText(const QString &version)
{
    const bool fourDigits =
        version.size() == 4 && std::all_of(version.begin(), version.end(), [](QChar c) { return c.isDigit(); });
    QByteArray text = fourDigits ? (version.left(2) + u'.' + version.right(2)).toLatin1() : version.toLatin1();
    text = text.left(kFirmwareLength);
    while (text.size() < kFirmwareLength)
        text.append(' ');
    return text;
}

QByteArray BuildDateTimeAnswer(const QDateTime &clock, const QByteArray &firmware, int nominalCurrent)
{
    TLayoutWriter w(kDateTimeAnswerSize);
    const QDate date = clock.date();
    const QTime time = clock.time();
    w.U8(0, date.day());
    w.U8(1, date.month());
    w.U8(2, date.year() - 2000);
    w.U8(3, time.hour());
    w.U8(4, time.minute());
    w.U8(5, time.second());
    w.Text(kFirmwareOffset, firmware.left(kFirmwareLength));
    w.U8(kNominalCurrentOffset, nominalCurrent);
    return w.Take();
}

QByteArray BuildSettingsAnswer(const TNominals &nominals)
{
    TLayoutWriter w(kSettingsAnswerSize);
    w.F32(0, nominals.PhaseVoltage);
    w.F32(58, nominals.LineVoltage);
    for (int k = 0; k < 8; ++k) {
        w.I16(4 + 2 * k, kDeviationLimits[k]);  // set A, phase
        w.I16(20 + 2 * k, kDeviationLimits[k]); // set B, phase
        w.I16(62 + 2 * k, kDeviationLimits[k]); // set A, line
        w.I16(78 + 2 * k, kDeviationLimits[k]); // set B, line
    }
    w.F32(126, 1.0); // voltage transformer ratio
    // Byte 131 = 0 tells the reader to scale the nominal current by the ratio at 546.
    const bool scaled = nominals.CurrentRatio != 1.0;
    w.U8(131, scaled ? 0 : 1);
    w.U16(132, nominals.Frequency, kThousandths);
    // Frequency: maximum upper, normal upper, normal lower, maximum lower (0.01 Hz).
    const int frequencyLimits[4] = {40, 20, -20, -40};
    for (int k = 0; k < 4; ++k)
        w.I16(134 + 2 * k, frequencyLimits[k]);
    // Unbalance: zero-sequence maximum and normal, then negative-sequence.
    const int unbalanceLimits[4] = {400, 200, 400, 200};
    for (int k = 0; k < 4; ++k)
        w.U16(142 + 2 * k, unbalanceLimits[k]);
    w.U16(150, 8.0, kHundredths);
    w.U16(250, 12.0, kHundredths);
    for (int n = 2; n <= kMaxOrder; ++n) {
        const int at = 2 * (n - 2);
        const double normal = HarmonicLimitPercent(n);
        w.U16(152 + at, normal, kHundredths);
        w.U16(252 + at, normal * 1.5, kHundredths);
        // The medium-voltage pair of tables.
        w.U16(350 + at, normal * 0.8, kHundredths);
        w.U16(448 + at, normal * 1.2, kHundredths);
    }
    w.F32(546, nominals.CurrentRatio);
    return w.Take();
}

QList<TTimeInterval> DefaultLimitPeriods()
{
    return {{8, 0, 11, 0}, {17, 0, 21, 0}};
}

QByteArray BuildIntervalsAnswer(const QList<TTimeInterval> &intervals)
{
    TLayoutWriter w(kIntervalsAnswerSize);
    const int count = std::min<int>(static_cast<int>(intervals.size()), kIntervalsAnswerSize / 4);
    for (int k = 0; k < count; ++k) {
        const TTimeInterval &t = intervals[k];
        w.U8(4 * k, t.StartHour);
        w.U8(4 * k + 1, t.StartMinute);
        w.U8(4 * k + 2, t.EndHour);
        w.U8(4 * k + 3, t.EndMinute);
    }
    return w.Take();
}

QByteArray BuildDataAnswer(const TQuantities &q)
{
    TLayoutWriter w(kDataAnswerSize);
    for (int c = 0; c < 6; ++c) {
        w.U8(c, q.ChannelStatus[c]);
        w.I16(6 + 2 * c, q.DeviationRms[c], kHundredths);
        w.I16(18 + 2 * c, q.DeviationFundamental[c], kHundredths);
        w.U16(54 + 2 * c, q.KU[c], kHundredths);
        w.F32(1262 + 4 * c, q.Urms[c]);
        w.F32(1286 + 4 * c, q.U1[c]);
        w.I16(2278 + 2 * c, q.AngleU[c], kHundredths);
        for (int n = 2; n <= kMaxOrder; ++n) {
            w.U16(66 + 98 * c + 2 * (n - 2), q.Ku[c][n], kHundredths);
            w.U16(660 + 98 * c + 2 * (n - 2), q.Kum[c][n], kHundredths);
        }
    }
    w.I16(654, q.DeviationSeq1, kHundredths);
    w.U16(656, q.K0U, kHundredths);
    w.U16(658, q.K2U, kHundredths);
    w.U16(1258, q.Frequency, kThousandths);
    w.I16(1260, q.FrequencyDeviation, kThousandths);
    w.F32(1310, q.U0);
    w.F32(1314, q.U1seq);
    w.F32(1318, q.U2);
    w.F32(1342, q.I0);
    w.F32(1346, q.I1seq);
    w.F32(1350, q.I2);
    w.U16(1968, q.K0I, kHundredths);
    w.U16(1970, q.K2I, kHundredths);
    for (int k = 0; k < 3; ++k)
        w.I16(2272 + 2 * k, q.FiUISeq[k], kHundredths);

    for (int p = 0; p < 3; ++p) {
        w.F32(1330 + 4 * p, q.Irms[p]);
        w.U16(1354 + 2 * p, q.KI[p], kHundredths);
        w.F32(1360 + 4 * p, q.I1[p]);
        for (int n = 2; n <= kMaxOrder; ++n) {
            w.U16(1372 + 98 * p + 2 * (n - 2), q.Ki[p][n], kHundredths);
            w.U16(1666 + 98 * p + 2 * (n - 2), q.Kim[p][n], kHundredths);
        }
        for (int n = 1; n <= kMaxOrder; ++n)
            w.I16(1972 + 100 * p + 2 * (n - 1), q.FiUI[p][n], kHundredths);
    }

    for (int k = 0; k < 4; ++k) {
        w.F32(2290 + 4 * k, q.P[k]);
        w.F32(2306 + 4 * k, q.Q[k]);
        w.F32(2322 + 4 * k, q.S[k]);
        w.F32(2374 + 4 * k, q.Km[k]);
    }
    for (int k = 0; k < 9; ++k)
        w.F32(2338 + 4 * k, q.SeqPowers[k]);

    // Power tables per harmonic: A, B, C, then the total. The block ends
    // inside the apparent-power table, after the total of the fundamental.
    for (int t = 0; t < 4; ++t) {
        for (int n = 1; n <= kMaxOrder; ++n) {
            const int at = 200 * t + 4 * (n - 1);
            w.F32(2390 + at, q.Pn[t][n]);
            w.F32(3190 + at, q.Qn[t][n]);
            if (3990 + at + 4 <= kDataAnswerSize)
                w.F32(3990 + at, q.Sn[t][n]);
        }
    }
    return w.Take();
}

} // namespace MeterSim
