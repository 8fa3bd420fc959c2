#pragma once

// The simulated meter as a whole: its settings, its clock, the network it
// measures and the oscillogram being transferred. Shared by every link; each
// link keeps its own session state (the password).

#include "Answers.h"
#include "Comtrade.h"
#include "MeterModel.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <map>
#include <optional>

namespace MeterSim {

// Device type codes of the meter variants; the first two record no oscillograms.
constexpr int kTypeM7 = 10;
constexpr int kTypeR5AS = 11;
constexpr int kTypeM7SQ = 12;
constexpr int kTypeR5AS2020 = 15;
// Firmware from this version on records oscillograms.
constexpr int kFirstOscillogramFirmware = 2218;

struct TMeterConfig
{
    TNominals Nominals;
    QString Firmware = QStringLiteral("2218");
    // Empty: answer whatever number or type the request names.
    std::optional<int> DeviceNumber;
    std::optional<int> DeviceType;
    std::optional<QString> Password;
    bool FastClock = false;
    int FastClockStep = 1; // seconds the fast clock moves on per reading
    // The running clock goes this many times real time from StartTime (empty:
    // now), so a day of meter time can be recorded in minutes.
    int Speed = 1;
    std::optional<QDateTime> StartTime;
    bool ChannelFaults = true;
    int OscillogramChunk = 4096;
    quint32 Seed = 1;
};

// The firmware version number as the far end reads it from the five-character
// text: "22.18" gives 2218; a text that is no number gives 409.
int FirmwareNumber(const QByteArray &text);

class TMeter
{
public:
    explicit TMeter(const TMeterConfig &config);

    const TMeterConfig &Config() const { return config_; }
    // The five characters the date-time answer carries.
    const QByteArray &Firmware() const { return firmware_; }
    bool OffersOscillogram(int deviceType) const;

    // The clock as a date-time answer shows it. A fast clock moves on by one
    // second per reading; a frozen reading repeats the previous one.
    QDateTime ReadClock(bool frozen);
    // Where the clock stands now, without moving a fast clock.
    QDateTime Now() const;

    QByteArray DateTimeAnswer(bool frozenClock);
    QByteArray SettingsAnswer() const;
    QByteArray IntervalsAnswer() const;
    QByteArray DataAnswer();
    TComtradeRecord RecordOscillogram(int deviceNumber);

    // The oscillogram being transferred from an address: it belongs to the
    // meter, not to a connection, so a client that reconnects part-way goes on
    // from its next offset. Starting records a new one; null before any start.
    const TComtradeRecord &StartOscillogram(int deviceNumber);
    const TComtradeRecord *OscillogramInTransfer(int deviceNumber) const;

private:
    TSpectrum Measure();

    TMeterConfig config_;
    QByteArray firmware_;
    TMeterModel model_;
    QDateTime start_;
    QElapsedTimer sinceStart_;
    QDateTime fastClock_;
    QDateTime lastReading_;
    TSpectrum measured_;
    QDateTime measuredAt_;
    QByteArray dataAnswer_;
    QDateTime dataAnswerAt_;
    std::map<int, TComtradeRecord> oscillograms_; // by device number
};

} // namespace MeterSim
