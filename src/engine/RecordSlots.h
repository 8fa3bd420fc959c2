#pragma once

// Index map of the measurement record. The window's bindings, the CSV saver
// and the engine's value-changed signal all address values by these numbers, so
// they are fixed. Voltage channels run A, B, C, AB, BC, CA (0..5), phases
// A, B, C (0..2); harmonic arrays hold orders 2..50 at base + 49*c + (n - 2).

namespace VDSlot {

inline constexpr int HarmonicCount = 49; // orders 2..50
inline constexpr int VoltageChannels = 6;
inline constexpr int Phases = 3;
inline constexpr int OscSamples = 1280; // per signal, 64 per mains period
inline constexpr int OscSignals = 9;    // six voltages, three currents

// Nominals and limits (written once per polling run).
inline constexpr int UnomPhase = 0;
inline constexpr int UnomLine = 1;
inline constexpr int Inom = 2;
inline constexpr int InomSecondary = 3;
inline constexpr int SettingsValue126 = 4;
inline constexpr int CurrentScale = 5;
inline constexpr int DevLimitsPhaseA = 6;
inline constexpr int DevLimitsLineA = 14;
inline constexpr int AbsLimitsPhaseA = 22;
inline constexpr int AbsLimitsLineA = 30;
inline constexpr int DevLimitsPhaseB = 38;
inline constexpr int DevLimitsLineB = 46;
inline constexpr int AbsLimitsPhaseB = 54;
inline constexpr int AbsLimitsLineB = 62;
inline constexpr int FreqDevLimits = 70;
inline constexpr int FreqAbsLimits = 74;
inline constexpr int UnbalanceLimits = 78;
inline constexpr int KuLimit1 = 82;
inline constexpr int KunLimits1 = 83;
inline constexpr int KuLimit2 = 132;
inline constexpr int KunLimits2 = 133;
inline constexpr int HarmLimits3 = 182;
inline constexpr int HarmLimits4 = 231;
inline constexpr int NominalsCount = 280;

// Measured and derived quantities (one data answer each cycle).
inline constexpr int ChannelStatus = 280;
inline constexpr int Urms = 286;
inline constexpr int U1 = 292;
inline constexpr int dU1 = 298;
inline constexpr int dU = 304;
inline constexpr int KU = 310;
inline constexpr int KUn = 316;
inline constexpr int KUm = 610;
inline constexpr int U0 = 904;
inline constexpr int U1seq = 905;
inline constexpr int U2 = 906;
inline constexpr int dUseq1 = 907;
inline constexpr int VectorAngleU = 908;
inline constexpr int AngleU = 914;
inline constexpr int Un = 920;
inline constexpr int Um = 1214;
inline constexpr int Irms = 1508;
inline constexpr int I1 = 1511;
inline constexpr int dI = 1514;
inline constexpr int dI1 = 1517;
inline constexpr int KI = 1520;
inline constexpr int KIn = 1523;
inline constexpr int KIm = 1670;
inline constexpr int In = 1817;
inline constexpr int Im = 1964;
inline constexpr int I0 = 2111;
inline constexpr int I1seq = 2112;
inline constexpr int I2 = 2113;
inline constexpr int FiUI1 = 2114;
inline constexpr int FiUIn = 2117;
inline constexpr int FiUI0 = 2264;
inline constexpr int FiUI1seq = 2265;
inline constexpr int FiUI2 = 2266;
inline constexpr int P = 2267;
inline constexpr int P1 = 2270;
inline constexpr int Q = 2273;
inline constexpr int Q1 = 2276;
inline constexpr int S = 2279;
inline constexpr int S1 = 2282;
inline constexpr int Km = 2285;
inline constexpr int Km1 = 2288;
inline constexpr int PSum = 2291;
inline constexpr int QSum = 2292;
inline constexpr int SSum = 2293;
inline constexpr int KmSum = 2294;
inline constexpr int P1Sum = 2295;
inline constexpr int Q1Sum = 2296;
inline constexpr int S1Sum = 2297;
inline constexpr int Km1Sum = 2298;
inline constexpr int SeqPowers = 2299; // P0 P1 P2 Q0 Q1 Q2 S0 S1 S2
inline constexpr int Pn = 2308;
inline constexpr int Qn = 2455;
inline constexpr int Sn = 2602;
inline constexpr int F = 2749;
inline constexpr int dF = 2750;
inline constexpr int K0U = 2751;
inline constexpr int K2U = 2752;
inline constexpr int K0I = 2753;
inline constexpr int K2I = 2754;

// Oscillogram samples: signal s, sample j at base + 1280*s + j.
inline constexpr int OscA = 2755;  // Ua Ub Uc Uab Ubc Uca
inline constexpr int OscB = 10435; // Ia Ib Ic

inline constexpr int Count = 14275;

// Blocks published as a whole (one completion message each).
inline constexpr int DataFirst = ChannelStatus;
inline constexpr int DataEnd = OscA;
inline constexpr int OscFirst = OscA;
inline constexpr int OscEnd = Count;

static_assert(KUm == KUn + VoltageChannels * HarmonicCount);
static_assert(U0 == KUm + VoltageChannels * HarmonicCount);
static_assert(Um == Un + VoltageChannels * HarmonicCount);
static_assert(Irms == Um + VoltageChannels * HarmonicCount);
static_assert(KIm == KIn + Phases * HarmonicCount);
static_assert(In == KIm + Phases * HarmonicCount);
static_assert(I0 == Im + Phases * HarmonicCount);
static_assert(FiUI0 == FiUIn + Phases * HarmonicCount);
static_assert(Qn == Pn + Phases * HarmonicCount);
static_assert(F == Sn + Phases * HarmonicCount);
static_assert(OscB == OscA + VoltageChannels * OscSamples);
static_assert(Count == OscB + Phases * OscSamples);

} // namespace VDSlot
