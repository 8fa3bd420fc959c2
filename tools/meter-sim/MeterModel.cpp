#include "MeterModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace MeterSim {

namespace {

constexpr double kPi = std::numbers::pi;

TPhasor Polar(double magnitude, double degrees)
{
    return std::polar(magnitude, degrees * kPi / 180.0);
}

double Wave(double t, double periodSeconds, double phase = 0.0)
{
    return std::sin(2.0 * kPi * t / periodSeconds + phase);
}

// Typical harmonic content (percent of the fundamental) of a distribution
// network voltage: odd orders dominate, triplens are small, high even orders
// are at or below the 0.1 % resolution that the display treats as noise,
// and the highest orders are absent.
double VoltageHarmonicPercent(int n)
{
    static constexpr double kLow[] = {0,   0,    0.25, 1.6,  0.12, 2.4,  0.08, 1.3,  0.06, 0.45, 0.05, 0.9,  0.04,
                                      0.6, 0.03, 0.15, 0.03, 0.4,  0.02, 0.3,  0.02, 0.08, 0.02, 0.25, 0.01, 0.2};
    if (n <= 25)
        return kLow[n];
    if (n >= 46)
        return 0.0;
    if (n % 2 == 0)
        return n <= 40 ? 0.01 : 0.0;
    return n <= 39 ? 0.15 - (n - 27) * 0.008 : 0.04;
}

double CurrentHarmonicPercent(int n)
{
    static constexpr double kLow[] = {0,   0,    0.9, 11.0, 0.5, 8.5,  0.2, 5.5,  0.15, 2.8,  0.1, 3.2,  0.08,
                                      2.3, 0.06, 0.7, 0.05, 1.4, 0.04, 1.1, 0.03, 0.3,  0.03, 0.8, 0.02, 0.7};
    if (n <= 25)
        return kLow[n];
    if (n >= 46)
        return 0.0;
    if (n % 2 == 0)
        return n <= 40 ? 0.02 : 0.0;
    return n <= 39 ? 0.4 - (n - 27) * 0.02 : 0.08;
}

double VoltageInterharmonicPercent(int m)
{
    if (m <= 20)
        return 0.06 + 0.002 * m;
    return m <= 35 ? 0.02 : 0.0;
}

double CurrentInterharmonicPercent(int m)
{
    if (m <= 25)
        return 0.8 / m;
    return 0.0;
}

// A resonance of the network lifts a few voltage harmonics past the limits
// the settings answer states, so the monitor's limit colours can be seen:
// the 9th hovers about its normal limit (1.5 %), the 7th rises above its
// normal limit (5 %) and the 11th above its maximum (5.25 %) for part of
// every two minutes. Percent of the fundamental, added to the usual content.
double VoltageHarmonicSwell(int n, double t)
{
    const double rise = std::max(0.0, Wave(t, 120.0));
    switch (n) {
    case 7: return 4.6 * rise;
    case 9: return 1.1 + 0.25 * Wave(t, 47.0);
    case 11: return 5.0 * rise * rise;
    default: return 0.0;
    }
}

// The same for two interharmonic groups: the one above the 6th harmonic
// now and then past its normal limit (0.4 %), the one above the 12th
// hovering past its maximum (0.24 %).
double VoltageInterharmonicSwell(int n, double t)
{
    switch (n) {
    case 6: return 0.45 * std::max(0.0, Wave(t, 90.0, 1.0));
    case 12: return 0.2 + 0.05 * Wave(t, 53.0);
    default: return 0.0;
    }
}

// The day's load on top of that: light at night, rising to a morning and an
// evening peak, so a day of history has the shape of one. 1 on average,
// 0.8..1.2; t is the meter clock's reading, so hours are the meter's.
double DailyLoad(double t)
{
    const double day = std::fmod(t, 86400.0) / 86400.0;
    const double base = -std::cos(2.0 * kPi * (day - 3.0 / 24.0));
    const double peaks = -std::cos(4.0 * kPi * (day - 3.5 / 24.0));
    return 1.0 + 0.2 * (0.6 * base + 0.4 * peaks);
}

// Now and then the supply misbehaves as the meter's limits are made for:
// one phase dips below its maximum lower deviation (-10 %) for two cycles
// of every 99 s, the dipping phase taking turns, and the frequency steps
// past its maximum (+0.4 Hz) for two cycles of every 150 s.
constexpr double kCycleSeconds = 3.0;

long long CycleAt(double t)
{
    return static_cast<long long>(std::floor(t / kCycleSeconds));
}

double VoltageDipFactor(int phase, double t)
{
    const long long cycle = CycleAt(t);
    return cycle % 33 >= 31 && (cycle / 33) % 3 == phase ? 0.87 : 1.0;
}

double FrequencyStep(double t)
{
    const long long slot = CycleAt(t) % 50;
    return slot >= 40 && slot < 42 ? 0.45 : 0.0;
}

} // namespace

double DegreesOf(TPhasor value)
{
    return std::arg(value) * 180.0 / kPi;
}

TMeterModel::TMeterModel(const TNominals &nominals, quint32 seed, bool channelFaults)
    : nominals_(nominals), random_(seed), channelFaults_(channelFaults)
{}

double TMeterModel::Noise(double relative)
{
    std::normal_distribution<double> normal(0.0, relative);
    return normal(random_);
}

TSpectrum TMeterModel::At(double t)
{
    TSpectrum s;
    s.Frequency = nominals_.Frequency + 0.025 * Wave(t, 240) + 0.008 * Wave(t, 37) + Noise(0.001) + FrequencyStep(t);

    const double inom = nominals_.PrimaryCurrent();
    const double load = (0.55 + 0.2 * Wave(t, 900) + 0.04 * Wave(t, 240)) * DailyLoad(t);
    // Never quite balanced: phase B sags, C is a little late, and the phases
    // carry unequal loads of differing power factor, so the vector diagrams
    // show the unbalance (about 2 % in the voltages, 27 % in the currents).
    const double fundamentalAngles[3] = {0.0, -120.0 + 0.4 * Wave(t, 300), 122.0 + 0.3 * Wave(t, 420, 1.0)};
    const double voltageLevels[3] = {1.0, 0.97, 1.01};
    const double phaseLoads[3] = {1.0, 0.7, 0.45};
    const double phaseShifts[3] = {20.0, 32.0, 45.0}; // current lags: an inductive load

    for (int p = 0; p < 3; ++p) {
        const double u1 = nominals_.PhaseVoltage * voltageLevels[p] * VoltageDipFactor(p, t) *
                          (1.0 + 0.012 * Wave(t, 600, 2.1 * p) + 0.006 * Wave(t, 97, p) + Noise(0.0005));
        const double uAngle = fundamentalAngles[p];
        s.U[p][1] = Polar(u1, uAngle);

        const double shift = phaseShifts[p] + 6.0 * Wave(t, 500, p);
        const double i1 = inom * load * phaseLoads[p] * (1.0 + 0.03 * Wave(t, 180, 1.3 * p) + Noise(0.001));
        const double iAngle = uAngle - shift;
        s.I[p][1] = Polar(i1, iAngle);

        for (int n = 2; n <= kMaxOrder; ++n) {
            const double drift = 1.0 + 0.2 * Wave(t, 180.0 + 7.0 * n, p + n) + Noise(0.01);
            const double ku = VoltageHarmonicPercent(n) * drift + VoltageHarmonicSwell(n, t);
            if (ku > 0.0)
                s.U[p][n] = Polar(u1 * ku / 100.0, n * uAngle + 37.0 * n);
            const double ki = CurrentHarmonicPercent(n);
            if (ki > 0.0)
                s.I[p][n] = Polar(i1 * ki / 100.0 * drift, n * iAngle + 71.0 * n + 15.0);

            const double kum = VoltageInterharmonicPercent(n) * (1.0 + Noise(0.15)) + VoltageInterharmonicSwell(n, t);
            if (kum > 0.0)
                s.UInter[p][n] = Polar(u1 * kum / 100.0, 53.0 * n + 11.0 * p);
            const double kim = CurrentInterharmonicPercent(n);
            if (kim > 0.0)
                s.IInter[p][n] = Polar(i1 * kim / 100.0 * (1.0 + Noise(0.05)), 29.0 * n + 17.0 * p);
        }
    }

    // Line voltages are the differences of the phase voltages, order by order.
    for (int l = 0; l < 3; ++l) {
        const int from = l, to = (l + 1) % 3;
        for (int n = 1; n <= kMaxOrder; ++n) {
            s.U[3 + l][n] = s.U[from][n] - s.U[to][n];
            s.UInter[3 + l][n] = s.UInter[from][n] - s.UInter[to][n];
        }
    }

    // Now and then a channel reports trouble for a few cycles (status 1, 2 or 3).
    if (channelFaults_) {
        const auto cycle = static_cast<long long>(std::floor(t / 3.0));
        const long long slot = cycle % 50;
        if (slot >= 20 && slot < 23) {
            const long long episode = cycle / 50;
            s.ChannelStatus[static_cast<size_t>(episode % 6)] = static_cast<quint8>(1 + episode % 3);
        }
    }
    return s;
}

} // namespace MeterSim
