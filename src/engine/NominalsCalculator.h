#pragma once

// The nominals and limits of a polling run: from the meter's settings and
// date-time answers to the 280 values the record keeps in slots 0..279.

#include "common/Exceptions.h"
#include "engine/RecordSlots.h"

#include <QByteArrayView>
#include <QString>

#include <array>

// The settings could not be turned into limits; ends the polling run.
class ENominalsConversion : public Exception
{
public:
    using Exception::Exception;
};

class TNominalsCalculator
{
public:
    // Bytes of the two answers that are read (their full lengths are 551 and
    // 105; the tails are not used).
    static constexpr qsizetype SettingsLength = 550;
    static constexpr qsizetype DateTimeLength = 83;

    // True when the nominal current (1 or 5 A) and both answers are usable;
    // otherwise false with Message() set.
    bool Calculate(QByteArrayView settings, QByteArrayView dateTime);

    const QString &Message() const { return message_; }
    // Phase and line voltage, nominal current (primary), nominal current as
    // stated by the meter, the settings value at 126, the current scale.
    const std::array<float, 6> &Results() const { return results_; }

private:
    QString message_;
    std::array<float, 6> results_{};
};

using TNominalsBlock = std::array<float, VDSlot::NominalsCount>;

// The block for WriteNominals. The settings answer must hold at least
// SettingsLength bytes (contract); a limit that is no finite number raises
// ENominalsConversion.
TNominalsBlock BuildNominalsBlock(const TNominalsCalculator &calculator, QByteArrayView settings);
