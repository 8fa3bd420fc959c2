#include "Quantities.h"

#include <cmath>
#include <numbers>

namespace MeterSim {

namespace {

const TPhasor kA = std::polar(1.0, 2.0 * std::numbers::pi / 3.0);

struct TSequence
{
    TPhasor Zero, Positive, Negative;
};

TSequence SymmetricalComponents(TPhasor a, TPhasor b, TPhasor c)
{
    return {(a + b + c) / 3.0, (a + kA * b + kA * kA * c) / 3.0, (a + kA * kA * b + kA * c) / 3.0};
}

double Ratio(double part, double whole)
{
    return whole > 0.0 ? part / whole : 0.0;
}

double AngleBetween(TPhasor from, TPhasor to)
{
    if (std::abs(from) == 0.0 || std::abs(to) == 0.0)
        return 0.0;
    return NormalizeDegrees(DegreesOf(from) - DegreesOf(to));
}

double SumOfSquares(const TSpectrumLine &line, int firstOrder)
{
    double sum = 0.0;
    for (int n = firstOrder; n <= kMaxOrder; ++n)
        sum += std::norm(line[n]);
    return sum;
}

} // namespace

double NormalizeDegrees(double degrees)
{
    double d = std::fmod(degrees, 360.0);
    if (d <= -180.0)
        d += 360.0;
    else if (d > 180.0)
        d -= 360.0;
    return d;
}

TQuantities Evaluate(const TSpectrum &s, const TNominals &nominals)
{
    TQuantities q;
    q.ChannelStatus = s.ChannelStatus;
    q.Frequency = s.Frequency;
    q.FrequencyDeviation = s.Frequency - nominals.Frequency;

    for (int c = 0; c < 6; ++c) {
        const double u1 = std::abs(s.U[c][1]);
        q.U1[c] = u1;
        q.Urms[c] = std::sqrt(SumOfSquares(s.U[c], 1) + SumOfSquares(s.UInter[c], 2));
        const double nominal = nominals.VoltageNominal(c);
        q.DeviationRms[c] = (q.Urms[c] - nominal) * 100.0 / nominal;
        q.DeviationFundamental[c] = (u1 - nominal) * 100.0 / nominal;
        for (int n = 2; n <= kMaxOrder; ++n) {
            q.Ku[c][n] = Ratio(std::abs(s.U[c][n]), u1) * 100.0;
            q.Kum[c][n] = Ratio(std::abs(s.UInter[c][n]), u1) * 100.0;
        }
        q.KU[c] = Ratio(std::sqrt(SumOfSquares(s.U[c], 2)), u1) * 100.0;
    }

    // Angles between neighbouring voltages, A-B, B-C, C-A, then AB-BC, BC-CA,
    // CA-AB: about +120 each for a direct phase sequence, so the diagram puts
    // B at -a0 and C at +a2 from A.
    for (int k = 0; k < 3; ++k) {
        q.AngleU[k] = AngleBetween(s.U[k][1], s.U[(k + 1) % 3][1]);
        q.AngleU[3 + k] = AngleBetween(s.U[3 + k][1], s.U[3 + (k + 1) % 3][1]);
    }

    const TSequence u = SymmetricalComponents(s.U[0][1], s.U[1][1], s.U[2][1]);
    const TSequence i = SymmetricalComponents(s.I[0][1], s.I[1][1], s.I[2][1]);
    const double sqrt3 = std::numbers::sqrt3;
    q.U0 = sqrt3 * std::abs(u.Zero);
    q.U1seq = sqrt3 * std::abs(u.Positive);
    q.U2 = sqrt3 * std::abs(u.Negative);
    q.DeviationSeq1 = (q.U1seq - nominals.LineVoltage) * 100.0 / nominals.LineVoltage;
    q.K0U = Ratio(q.U0, q.U1seq) * 100.0;
    q.K2U = Ratio(q.U2, q.U1seq) * 100.0;
    q.I0 = std::abs(i.Zero);
    q.I1seq = std::abs(i.Positive);
    q.I2 = std::abs(i.Negative);
    q.K0I = Ratio(q.I0, q.I1seq) * 100.0;
    q.K2I = Ratio(q.I2, q.I1seq) * 100.0;
    q.FiUISeq = {AngleBetween(u.Zero, i.Zero), AngleBetween(u.Positive, i.Positive),
                 AngleBetween(u.Negative, i.Negative)};
    const TPhasor sequencePowers[3] = {3.0 * u.Zero * std::conj(i.Zero), 3.0 * u.Positive * std::conj(i.Positive),
                                       3.0 * u.Negative * std::conj(i.Negative)};
    for (int k = 0; k < 3; ++k) {
        q.SeqPowers[k] = sequencePowers[k].real();
        q.SeqPowers[3 + k] = sequencePowers[k].imag();
        q.SeqPowers[6 + k] = std::abs(sequencePowers[k]);
    }

    for (int p = 0; p < 3; ++p) {
        const double i1 = std::abs(s.I[p][1]);
        q.I1[p] = i1;
        q.Irms[p] = std::sqrt(SumOfSquares(s.I[p], 1) + SumOfSquares(s.IInter[p], 2));
        q.KI[p] = Ratio(std::sqrt(SumOfSquares(s.I[p], 2)), i1) * 100.0;
        for (int n = 2; n <= kMaxOrder; ++n) {
            q.Ki[p][n] = Ratio(std::abs(s.I[p][n]), i1) * 100.0;
            q.Kim[p][n] = Ratio(std::abs(s.IInter[p][n]), i1) * 100.0;
        }

        double active = 0.0, reactive = 0.0;
        for (int n = 1; n <= kMaxOrder; ++n) {
            const TPhasor power = s.U[p][n] * std::conj(s.I[p][n]);
            q.FiUI[p][n] = AngleBetween(s.U[p][n], s.I[p][n]);
            q.Pn[p][n] = power.real();
            q.Qn[p][n] = power.imag();
            q.Sn[p][n] = std::abs(power);
            q.Pn[3][n] += power.real();
            q.Qn[3][n] += power.imag();
            q.Sn[3][n] += std::abs(power);
            active += power.real();
            reactive += power.imag();
        }
        for (int m = 2; m <= kMaxOrder; ++m) {
            const TPhasor power = s.UInter[p][m] * std::conj(s.IInter[p][m]);
            active += power.real();
            reactive += power.imag();
        }
        q.P[p] = active;
        q.Q[p] = reactive;
        q.S[p] = q.Urms[p] * q.Irms[p];
        q.Km[p] = Ratio(active, q.S[p]);
        q.P[3] += active;
        q.Q[3] += reactive;
        q.S[3] += q.S[p];
    }
    q.Km[3] = Ratio(q.P[3], q.S[3]);
    return q;
}

} // namespace MeterSim
