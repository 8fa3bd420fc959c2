#pragma once

// Everything the data block reports, computed from one spectrum the way a
// meter computes it: RMS values, coefficients, deviations, symmetrical
// components, angles and powers.

#include "MeterModel.h"

namespace MeterSim {

struct TQuantities
{
    std::array<quint8, 6> ChannelStatus{};
    double Frequency = 0, FrequencyDeviation = 0; // Hz

    // Voltage channels 0..5 (A, B, C, AB, BC, CA).
    std::array<double, 6> Urms{}, U1{};                           // V
    std::array<double, 6> DeviationRms{}, DeviationFundamental{}; // % of the nominal
    std::array<double, 6> KU{};                                   // %
    std::array<std::array<double, kMaxOrder + 1>, 6> Ku{}, Kum{}; // %, orders 2..50
    std::array<double, 6> AngleU{};                               // degrees a0..a5

    double U0 = 0, U1seq = 0, U2 = 0;           // V, line-voltage scale
    double DeviationSeq1 = 0, K0U = 0, K2U = 0; // %

    // Phases 0..2.
    std::array<double, 3> Irms{}, I1{}; // A
    std::array<double, 3> KI{};         // %
    std::array<std::array<double, kMaxOrder + 1>, 3> Ki{}, Kim{};
    double I0 = 0, I1seq = 0, I2 = 0;                        // A
    double K0I = 0, K2I = 0;                                 // %
    std::array<std::array<double, kMaxOrder + 1>, 3> FiUI{}; // degrees, orders 1..50
    std::array<double, 3> FiUISeq{};                         // zero, positive, negative

    // Index 0..2 phases A..C, 3 the three-phase total.
    std::array<double, 4> P{}, Q{}, S{}, Km{};
    std::array<std::array<double, kMaxOrder + 1>, 4> Pn{}, Qn{}, Sn{}; // orders 1..50
    std::array<double, 9> SeqPowers{};                                 // P0 P1 P2 Q0 Q1 Q2 S0 S1 S2
};

TQuantities Evaluate(const TSpectrum &spectrum, const TNominals &nominals);

// Angle in degrees brought into (-180, 180].
double NormalizeDegrees(double degrees);

} // namespace MeterSim
