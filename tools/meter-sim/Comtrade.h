#pragma once

// The meter's oscillogram: a COMTRADE record (1999 revision, binary data
// file) of the six voltages and three currents, 64 samples per mains period
// over 20 periods, drawn from the same spectrum as the data block.

#include "MeterModel.h"

#include <QByteArray>
#include <QDateTime>

namespace MeterSim {

constexpr int kSamplesPerPeriod = 64;
constexpr int kOscillogramRecords = 1280;
constexpr int kAnalogChannels = 9;
constexpr int kStatusChannels = 4;
// Sample number, time stamp, nine analog values, one status word.
constexpr int kRecordBytes = 4 + 4 + 2 * kAnalogChannels + 2;

struct TComtradeRecord
{
    QByteArray Configuration; // .cfg text, Windows-1251, CR LF
    QByteArray Data;          // .dat bytes
};

// Station name, recording device N<number>, start of the record.
TComtradeRecord BuildComtrade(const TSpectrum &spectrum, const TNominals &nominals, const QString &station,
                              int deviceNumber, const QDateTime &start);

// Instantaneous value of one signal (voltage channel 0..5, current 6..8) at
// time t seconds after the start of the record, in secondary units. Orders
// above 31 are left out: at 64 samples a period they would fold back, and a
// meter filters them out before it records.
double InstantaneousValue(const TSpectrum &spectrum, const TNominals &nominals, int signal, double t);

} // namespace MeterSim
