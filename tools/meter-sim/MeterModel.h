#pragma once

// The electrical state of the simulated network: phasors of every harmonic
// and interharmonic of the six voltages and three currents. Everything the
// meter reports (data block, oscillogram) is computed from one of these, so
// the two always agree.

#include <QtGlobal>
#include <array>
#include <complex>
#include <random>

namespace MeterSim {

using TPhasor = std::complex<double>; // RMS magnitude and phase angle
constexpr int kMaxOrder = 50;
// Indexed by harmonic order n = 1..50 (interharmonic group m = 2..50); index 0 unused.
using TSpectrumLine = std::array<TPhasor, kMaxOrder + 1>;

struct TNominals
{
    double PhaseVoltage = 57.7; // V
    double LineVoltage = 100.0; // V
    int SecondaryCurrent = 5;   // A, what the meter's own inputs are rated for (1 or 5)
    double CurrentRatio = 1.0;  // current transformer ratio; currents are reported in primary amperes
    double Frequency = 50.0;    // Hz

    double PrimaryCurrent() const { return SecondaryCurrent * CurrentRatio; }
    double VoltageNominal(int channel) const { return channel < 3 ? PhaseVoltage : LineVoltage; }
};

struct TSpectrum
{
    double Frequency = 50.0;
    // Voltage channels 0..5: A, B, C, AB, BC, CA; currents 0..2: A, B, C.
    std::array<TSpectrumLine, 6> U{};
    std::array<TSpectrumLine, 6> UInter{};
    std::array<TSpectrumLine, 3> I{};
    std::array<TSpectrumLine, 3> IInter{};
    std::array<quint8, 6> ChannelStatus{};
};

class TMeterModel
{
public:
    TMeterModel(const TNominals &nominals, quint32 seed, bool channelFaults = true);

    const TNominals &Nominals() const { return nominals_; }
    // The network at meter time t (seconds since the epoch of the meter's
    // clock, read as if it were UTC). Values drift slowly with t, the load
    // with the hour of the day, and carry a little measurement noise.
    TSpectrum At(double t);

private:
    double Noise(double relative);

    TNominals nominals_;
    std::mt19937 random_;
    bool channelFaults_;
};

double DegreesOf(TPhasor value);

} // namespace MeterSim
