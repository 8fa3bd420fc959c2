#pragma once

// Byte layouts of the meter's fixed answers: date-time, settings, time
// intervals and the data block of one measurement cycle.

#include "Quantities.h"

#include <QByteArray>
#include <QDateTime>

namespace MeterSim {

constexpr int kDateTimeAnswerSize = 105;
constexpr int kSettingsAnswerSize = 551;
constexpr int kIntervalsAnswerSize = 192;
constexpr int kDataAnswerSize = 4594;

// Offsets inside the date-time answer.
constexpr int kFirmwareOffset = 30;
constexpr int kFirmwareLength = 5;
constexpr int kNominalCurrentOffset = 82;

// A time interval of the limit table: start and end as hour and minute.
struct TTimeInterval
{
    quint8 StartHour, StartMinute, EndHour, EndMinute;
};

// "dd.dd" from a four-digit version number; any other text is taken as it
// is (cut or padded with blanks to five characters), so odd texts can be
// served on purpose.
QByteArray FirmwareText(const QString &version);

QByteArray BuildDateTimeAnswer(const QDateTime &clock, const QByteArray &firmware, int nominalCurrent);
QByteArray BuildSettingsAnswer(const TNominals &nominals);
QByteArray BuildIntervalsAnswer(const QList<TTimeInterval> &intervals);
QByteArray BuildDataAnswer(const TQuantities &q);

// Peak hours during which the stricter limit sets apply.
QList<TTimeInterval> DefaultLimitPeriods();

} // namespace MeterSim
