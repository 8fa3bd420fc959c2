#pragma once

// Archives filled through the real writer with cycles of chosen meter times
// and values, for the tests that read them back (the archive's and the
// trends page's).

#include "archive/ArchiveWriter.h"
#include "engine/RecordSlots.h"

#include <gtest/gtest.h>

namespace synthetic {

inline constexpr double kDay = 46000; // 2025-12-09 00:00 in the record's day count
inline constexpr double kSecond = 1.0 / 86400;

// A cycle at `seconds` after kDay; phase-a voltage `voltage`, every other
// value 0.5 but F 50 and Ku(n) of channel a order n = n / 10.
inline TCycleCopy Cycle(double seconds, float voltage)
{
    TCycleCopy cycle;
    cycle.MeterDateTime = kDay + seconds * kSecond;
    cycle.PcTimeUtc = QDateTime(QDate(2025, 12, 9), QTime(0, 0), Qt::UTC).addSecs(qint64(seconds));
    cycle.Data.assign(size_t(VDSlot::DataEnd - VDSlot::DataFirst), 0.5f);
    const auto at = [&](int slot) -> float & { return cycle.Data[size_t(slot - VDSlot::DataFirst)]; };
    at(VDSlot::Urms) = voltage;
    at(VDSlot::F) = 50.0f;
    for (int n = 2; n <= 50; ++n)
        at(VDSlot::KUn + n - 2) = float(n) / 10;
    return cycle;
}

// Limits with the frequency's set (max upper 50.4, normal upper 50.2, normal
// lower 49.8, max lower 49.6), the phase dU1 limits in and outside the limit
// period (10 / 5 %, -10 / -5 % inside; 20 / 10 %, -20 / -10 % outside) and
// one time interval 08:00-20:00.
inline TSettingsCopy Settings(double seconds, float frequencyMaxUpper = 50.4f)
{
    TSettingsCopy settings;
    settings.MeterDateTime = kDay + seconds * kSecond;
    settings.ReadAtUtc = QDateTime(QDate(2025, 12, 9), QTime(0, 0), Qt::UTC).addSecs(qint64(seconds));
    settings.Slots.assign(280, 0.0f);
    settings.Slots[74] = frequencyMaxUpper;
    settings.Slots[75] = 50.2f;
    settings.Slots[76] = 49.8f;
    settings.Slots[77] = 49.6f;
    // dU1 of a phase: period {10, 11, 13, 12}, otherwise {6, 7, 9, 8}
    settings.Slots[10] = 10;
    settings.Slots[11] = 5;
    settings.Slots[13] = -5;
    settings.Slots[12] = -10;
    settings.Slots[6] = 20;
    settings.Slots[7] = 10;
    settings.Slots[9] = -10;
    settings.Slots[8] = -20;
    settings.Intervals[0] = {8, 0, 20, 0};
    return settings;
}

// Writes a run of the given cycles (and settings first) and waits for it.
inline void Fill(const TArchiveTarget &target, const std::vector<TSettingsCopy> &settings,
                 const std::vector<TCycleCopy> &cycles)
{
    TArchiveOptions options;
    options.Target = target;
    options.KeepDays = 0;
    TArchiveWriter writer(options, {});
    writer.RunStarted({QStringLiteral("dtM7SQ"), 4242, 1});
    size_t s = 0;
    for (const TCycleCopy &cycle : cycles) {
        while (s < settings.size() && settings[s].MeterDateTime <= cycle.MeterDateTime)
            writer.SettingsRead(settings[s++]);
        writer.CycleRead(cycle);
    }
    writer.RunEnded();
    ASSERT_TRUE(writer.Flush(20000));
}

} // namespace synthetic
