#include "EngineTestSupport.h"

#include "common/Contracts.h"
#include "engine/MeasurementRecord.h"
#include "engine/DataAnswerDecoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

using namespace engine_test;

namespace {

std::vector<float> Nominals(float phase, float line, float current)
{
    std::vector<float> block(VDSlot::NominalsCount, 0.0f);
    block[VDSlot::UnomPhase] = phase;
    block[VDSlot::UnomLine] = line;
    block[VDSlot::Inom] = current;
    return block;
}

double At(int h, int m, int s, int ms = 0)
{
    return TDataStorageManager::EncodeDateTime(QDateTime(QDate(2026, 12, 6), QTime(h, m, s, ms)));
}

} // namespace

TEST(DataStorage, ClearZeroesEverySlotAndAnnouncesEachBlock)
{
    MessageRecorder window;
    TDataStorageManagerVD store(&window.events);
    store.WriteNominals(Nominals(230, 400, 5));
    store.StoreValue(VDSlot::F, 50.0f, false);
    store.StoreValue(VDSlot::OscB + 3839, -1.0f, false);
    store.SetDeviceDateTime(At(12, 0, 0));
    const TTimeInterval interval{8, 0, 20, 0};
    store.SetTimeIntervals(std::span(&interval, 1));
    window.Take();

    store.Clear();
    for (int i = 0; i < VDSlot::Count; ++i)
        ASSERT_EQ(store.Value(i), 0.0f) << i;
    EXPECT_EQ(store.DeviceDateTime(), 0.0);
    EXPECT_EQ(window.TakeNumbers(),
              (std::vector<int>{emDeviceTimeChanged, emNominalsChanged, emDataChanged, emOscillogramChanged}));
    // the interval table and the display scale survive
    EXPECT_EQ(store.TimeIntervals()[0], interval);
    EXPECT_EQ(store.ScaleFactor(4), 1000.0);

    // with the clock already 0 there is no time message
    store.Clear();
    EXPECT_EQ(window.TakeNumbers(), (std::vector<int>{emNominalsChanged, emDataChanged, emOscillogramChanged}));
}

TEST(DataStorage, DeviceTimeIsAnnouncedOnlyWhenItChanges)
{
    MessageRecorder window;
    TDataStorageManagerVD store(&window.events);
    store.SetDeviceDateTime(At(10, 0, 3));
    store.SetDeviceDateTime(At(10, 0, 3));
    EXPECT_EQ(window.TakeNumbers(), std::vector<int>{emDeviceTimeChanged});
    store.SetDeviceDateTime(QDateTime(QDate(2026, 12, 6), QTime(10, 0, 6)));
    EXPECT_EQ(window.TakeNumbers(), std::vector<int>{emDeviceTimeChanged});

    const QDateTime back = TDataStorageManager::DecodeDateTime(store.DeviceDateTime());
    EXPECT_EQ(back, QDateTime(QDate(2026, 12, 6), QTime(10, 0, 6)));
    EXPECT_FALSE(TDataStorageManager::DecodeDateTime(0.0).isValid());
    EXPECT_FALSE(TDataStorageManager::DecodeDateTime(std::nan("")).isValid());
    EXPECT_DOUBLE_EQ(TDataStorageManager::EncodeDateTime(QDateTime(QDate(1900, 1, 1), QTime(18, 0))), 2.75);
}

TEST(DataStorage, NominalsSetTheDisplayScale)
{
    MessageRecorder window;
    TDataStorageManagerVD store(&window.events);
    store.WriteNominals(Nominals(57.7f, 100.0f, 5.0f));
    const auto messages = window.Take();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], std::make_pair(int(emValueChanged), qintptr(0)));
    EXPECT_EQ(messages[1], std::make_pair(int(emValueChanged), qintptr(1)));
    EXPECT_EQ(messages[2], std::make_pair(int(emValueChanged), qintptr(2)));
    EXPECT_EQ(messages[3].first, emNominalsChanged);
    for (int kind = 1; kind <= 4; ++kind)
        EXPECT_EQ(store.ScaleFactor(kind), 1.0) << kind;
    EXPECT_EQ(store.DisplayDigits(1), 3);
    EXPECT_EQ(store.DisplayDigits(2), 2);
    EXPECT_EQ(store.DisplayDigits(3), 5);
    EXPECT_EQ(store.DisplayDigits(4), 3);
    EXPECT_EQ(store.DisplayDigits(0x81), 3) << "bit 7 is ignored";
    EXPECT_EQ(store.DisplayDigits(6), 3);
    EXPECT_EQ(store.DisplayDigits(5), 2);
    EXPECT_EQ(store.ScaleFactor(5), 1.0);

    // primary current of 1000 A on a 220 kV line
    store.WriteNominals(Nominals(127017.0f, 220000.0f, 1000.0f));
    EXPECT_EQ(store.ScaleFactor(1), 1000.0);
    EXPECT_EQ(store.DisplayDigits(1), 2); // 127.017 kV
    EXPECT_EQ(store.ScaleFactor(2), 1000.0);
    EXPECT_EQ(store.DisplayDigits(2), 2);
    EXPECT_EQ(store.ScaleFactor(3), 1000.0);
    EXPECT_EQ(store.DisplayDigits(3), 5); // 1 kA
    EXPECT_EQ(store.ScaleFactor(4), 1e6); // 127 MW
    EXPECT_EQ(store.DisplayDigits(4), 3);
    store.WriteNominals(Nominals(2e9f, 0.0f, 0.0f));
    EXPECT_EQ(store.ScaleFactor(1), 1e9);
    EXPECT_EQ(store.DisplayDigits(1), 4);
    EXPECT_EQ(store.ScaleFactor(2), 1.0);
    EXPECT_EQ(store.DisplayDigits(2), 4);
    EXPECT_EQ(store.DisplayDigits(3), 5);
    EXPECT_EQ(store.DisplayDigits(4), 5);

    // a record without a writer shows everything unscaled and refuses writes
    TDataStorageManager bare(nullptr);
    EXPECT_EQ(bare.ScaleFactor(1), 1.0);
    EXPECT_EQ(bare.DisplayDigits(1), 1);
    EXPECT_THROW(bare.WriteNominals(Nominals(1, 1, 1)), EPreConditions);
    EXPECT_THROW(store.WriteNominals(std::vector<float>(279)), EPreConditions);
    EXPECT_THROW(store.Value(VDSlot::Count), EPreConditions);
    EXPECT_THROW(store.StoreValue(-1, 0, false), EPreConditions);
}

TEST(DataStorage, LimitPeriodFollowsTheMeterIntervals)
{
    TDataStorageManagerVD store;
    // 08:00-12:30, 22:00-24:00, then the end of the table
    QByteArray answer(192, '\0');
    const char entries[] = {8, 0, 12, 30, 22, 0, 24, 0};
    answer.replace(0, 8, QByteArrayView(entries, 8));
    store.SetTimeIntervals(answer);

    auto inside = [&](double moment) {
        store.SetDeviceDateTime(moment);
        return store.InLimitPeriod();
    };
    EXPECT_TRUE(inside(At(8, 0, 0))); // start belongs to the period
    EXPECT_FALSE(inside(At(7, 59, 59, 998)));
    EXPECT_TRUE(inside(At(12, 29, 59, 999)));
    EXPECT_FALSE(inside(At(12, 30, 0)));      // end does not
    EXPECT_TRUE(inside(At(23, 59, 59, 500))); // hour 24 means the end of the day
    EXPECT_FALSE(inside(At(21, 59, 0)));
    EXPECT_FALSE(inside(At(0, 0, 0)));

    // the walk stops at the first entry ending at 00:00
    const char stop[] = {0, 0, 0, 0, 0, 0, 23, 0};
    answer.replace(0, 8, QByteArrayView(stop, 8));
    store.SetTimeIntervals(answer);
    EXPECT_FALSE(inside(At(12, 0, 0)));
    EXPECT_FALSE(inside(At(0, 0, 0)));

    // entries that are no time of day never match; later good ones still do
    const TTimeInterval garbled[] = {{25, 0, 26, 0}, {10, 61, 11, 0}, {10, 0, 11, 0}};
    store.SetTimeIntervals(garbled);
    EXPECT_TRUE(inside(At(10, 30, 0)));
    EXPECT_FALSE(inside(At(11, 30, 0)));

    // a short answer fills what it holds and ends the table there
    store.SetTimeIntervals(QByteArray("\x09\x00\x0A\x00\x0B", 5));
    EXPECT_TRUE(inside(At(9, 30, 0)));
    EXPECT_EQ(store.TimeIntervals()[1], TTimeInterval{});
}

TEST(DataStorage, ClassificationAgainstLimits)
{
    TDataStorageManagerVD store;
    // one set in 6..9: maximum upper, normal upper, normal lower, maximum lower
    auto limits = Nominals(230, 400, 5);
    limits[6] = 253;
    limits[7] = 241.5f;
    limits[8] = 218.5f;
    limits[9] = 207;
    // the other set, used during the limit period, in 10..13
    limits[10] = 260;
    limits[11] = 250;
    limits[12] = 0; // not set by the meter
    limits[13] = 200;
    store.WriteNominals(limits);

    TLimitDescriptor single;
    single.Index = {-1, -1, -1, -1, 6, 7, 8, 9};
    auto classify = [&](float value, const TLimitDescriptor &d) {
        store.StoreValue(VDSlot::Urms, value, false);
        return store.ClassifyAgainstLimits(VDSlot::Urms, d);
    };
    EXPECT_EQ(classify(230, single), 0);
    EXPECT_EQ(classify(241.5f, single), 0);
    EXPECT_EQ(classify(245, single), 2);
    EXPECT_EQ(classify(300, single), 1);
    EXPECT_EQ(classify(215, single), 3);
    EXPECT_EQ(classify(100, single), 4);
    EXPECT_EQ(classify(std::nanf(""), single), 0);

    // a lower limit overrides whatever the upper checks said
    TLimitDescriptor crossed;
    crossed.Index = {-1, -1, -1, -1, -1, 7, 6, -1};
    EXPECT_EQ(classify(245, crossed), 3);

    // absent or zero limits never trigger; indices past the record are absent
    TLimitDescriptor none;
    EXPECT_EQ(classify(1e9f, none), 0);
    TLimitDescriptor zero;
    zero.Index = {-1, -1, -1, -1, VDSlot::SettingsValue126, 14274 + 1, 1 << 30, -5};
    EXPECT_EQ(classify(1e9f, zero), 0);
    EXPECT_EQ(classify(-1e9f, zero), 0);

    // two sets: the first one applies only inside a limit period
    TLimitDescriptor twoSets;
    twoSets.Kind = 1;
    twoSets.Index = {10, 11, 12, 13, 6, 7, 8, 9};
    const TTimeInterval day{6, 0, 22, 0};
    store.SetTimeIntervals(std::span(&day, 1));
    store.SetDeviceDateTime(At(12, 0, 0));
    EXPECT_EQ(classify(245, twoSets), 0);
    EXPECT_EQ(classify(255, twoSets), 2);
    EXPECT_EQ(classify(215, twoSets), 0); // normal lower is 0 there
    EXPECT_EQ(classify(199, twoSets), 4);
    store.SetDeviceDateTime(At(23, 0, 0));
    EXPECT_EQ(classify(245, twoSets), 2);
    EXPECT_EQ(classify(215, twoSets), 3);
    // kind 0 ignores the period
    single.Index = {10, 11, 12, 13, 6, 7, 8, 9};
    store.SetDeviceDateTime(At(12, 0, 0));
    EXPECT_EQ(classify(245, single), 2);

    EXPECT_THROW(store.ClassifyAgainstLimits(VDSlot::Count, single), EPreConditions);
}

TEST(DataStorage, MeaningfulnessAndChannelStatus)
{
    TDataStorageManagerVD store;
    store.WriteNominals(Nominals(57.7f, 100.0f, 5.0f));
    store.StoreValue(VDSlot::U1 + 0, 0.5f, false); // below 1 % of 57.7
    store.StoreValue(VDSlot::U1 + 1, 0.6f, false); // above
    store.StoreValue(VDSlot::U1 + 3, 0.9f, false); // below 1 % of 100
    store.StoreValue(VDSlot::U1 + 4, 1.1f, false);
    store.StoreValue(VDSlot::I1 + 1, 0.006f, false); // above 0.1 % of 5
    store.StoreValue(VDSlot::I1 + 2, 0.004f, false);

    EXPECT_FALSE(store.IsMeaningful(1, 0, 1));
    EXPECT_TRUE(store.IsMeaningful(1, 1, 1));
    EXPECT_TRUE(store.IsMeaningful(3, 1, 1));
    EXPECT_FALSE(store.IsMeaningful(1, 3, 1));
    EXPECT_TRUE(store.IsMeaningful(3, 4, 1));
    EXPECT_FALSE(store.IsMeaningful(1, 6, 1)) << "no channel";
    EXPECT_TRUE(store.IsMeaningful(2, 1, 1));
    EXPECT_FALSE(store.IsMeaningful(2, 2, 1));
    EXPECT_FALSE(store.IsMeaningful(2, 3, 1)) << "currents have phases only";
    EXPECT_TRUE(store.IsMeaningful(5, 1, 1));
    EXPECT_FALSE(store.IsMeaningful(5, 0, 1));

    // kind 6 also needs both harmonic coefficients of that order above 0.1 %
    const int ku7 = VDSlot::KUn + 49 * 1 + 5;
    const int ki7 = VDSlot::KIn + 49 * 1 + 5;
    store.StoreValue(ku7, 0.2f, false);
    EXPECT_FALSE(store.IsMeaningful(6, 1, 7));
    store.StoreValue(ki7, 0.1f, false); // exactly 0.1 % as the meter sends it: still too small
    EXPECT_FALSE(store.IsMeaningful(6, 1, 7));
    store.StoreValue(ki7, 0.11f, false);
    EXPECT_TRUE(store.IsMeaningful(6, 1, 7));
    EXPECT_FALSE(store.IsMeaningful(6, 1, 8));
    EXPECT_FALSE(store.IsMeaningful(6, 1, 51));
    EXPECT_FALSE(store.IsMeaningful(6, 1, 1));

    // kinds 0, 4, 7 and above: meaningful once the meter clock was read
    for (int kind : {0, 4, 7, 200})
        EXPECT_FALSE(store.IsMeaningful(kind, 6, 1)) << kind;
    store.SetDeviceDateTime(At(1, 0, 0));
    for (int kind : {0, 4, 7, 200})
        EXPECT_TRUE(store.IsMeaningful(kind, 6, 1)) << kind;

    // without nominals any fundamental above 0 counts
    store.WriteNominals(Nominals(0, 0, 0));
    EXPECT_TRUE(store.IsMeaningful(1, 0, 1));
    EXPECT_TRUE(store.IsMeaningful(1, 3, 1));
    EXPECT_FALSE(store.IsMeaningful(1, 2, 1));

    const float statuses[] = {0, 1, 2, 3, -1, 1.5f};
    for (int c = 0; c < 6; ++c)
        store.StoreValue(VDSlot::ChannelStatus + c, statuses[c], false);
    const int expected[] = {0, 1, 2, 0, 0, 0};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(store.ChannelStatus(c), expected[c]) << c;
    EXPECT_EQ(store.ChannelStatus(6), 0);
    EXPECT_EQ(store.ChannelStatus(-1), 0);
    EXPECT_EQ(store.ChannelStatus(200), 0);
}

TEST(DataStorage, OscillogramLandsInTheSampleBlocks)
{
    MessageRecorder window;
    TDataStorageManagerVD store(&window.events);
    std::vector<float> samples(9 * 1280);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = float(i) + 0.5f;
    store.WriteOscillogram(samples);
    EXPECT_EQ(window.TakeNumbers(), std::vector<int>{emOscillogramChanged});

    EXPECT_EQ(store.Value(VDSlot::OscA), 0.5f);
    EXPECT_EQ(store.Value(VDSlot::OscA + 1280 * 5 + 1279), float(1280 * 5 + 1279) + 0.5f); // Uca, last
    EXPECT_EQ(store.Value(VDSlot::OscB), float(1280 * 6) + 0.5f);                          // Ia, first
    EXPECT_EQ(store.Value(VDSlot::Count - 1), float(9 * 1280 - 1) + 0.5f);
    EXPECT_EQ(store.Value(VDSlot::K2I), 0.0f);

    std::vector<float> block(TRecordValues::BlockSize(TRecordBlock::Oscillogram));
    store.CopyBlock(TRecordBlock::Oscillogram, block);
    EXPECT_EQ(block, samples);
    EXPECT_THROW(store.CopyBlock(TRecordBlock::Data, block), EPreConditions);

    const uint32_t version = store.Values().Version(TRecordBlock::Oscillogram);
    EXPECT_THROW(store.WriteOscillogram(std::span(samples).first(9 * 1280 - 1)), EPreConditions);
    EXPECT_EQ(store.Values().Version(TRecordBlock::Oscillogram), version) << "a refused write changes nothing";
    store.WriteOscillogram(samples);
    EXPECT_EQ(store.Values().Version(TRecordBlock::Oscillogram), version + 2);
    EXPECT_EQ(window.TakeNumbers(), std::vector<int>{emOscillogramChanged});
}

// A writer fills whole blocks with one value per write while a reader copies
// them: every copy must hold a single write, never a mix of two.
TEST(DataStorage, SnapshotsNeverMixTwoBlockWrites)
{
    TDataStorageManagerVD store;
    constexpr int writes = 400;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::vector<float> samples(9 * 1280);
        std::vector<float> nominals(VDSlot::NominalsCount);
        for (int k = 1; k <= writes; ++k) {
            std::fill(samples.begin(), samples.end(), float(k));
            std::fill(nominals.begin(), nominals.end(), float(k));
            store.WriteOscillogram(samples);
            store.WriteNominals(nominals);
        }
        done.store(true);
    });

    int copies = 0;
    float lastSeen = 0;
    std::vector<float> block(TRecordValues::BlockSize(TRecordBlock::Oscillogram));
    while (!done.load() || copies == 0) {
        store.CopyBlock(TRecordBlock::Oscillogram, block);
        const float first = block.front();
        for (float v : block)
            ASSERT_EQ(v, first);
        ASSERT_GE(first, lastSeen) << "blocks never go back in time";
        lastSeen = first;

        const std::vector<float> all = store.SnapshotData();
        for (int i = 0; i < VDSlot::NominalsCount; ++i)
            ASSERT_EQ(all[i], all[0]);
        // single slots can be read at any time without a race
        (void)store.Value(VDSlot::OscA + (copies % 11520));
        ++copies;
    }
    writer.join();
    store.CopyBlock(TRecordBlock::Oscillogram, block);
    EXPECT_EQ(block.back(), float(writes));
    EXPECT_EQ(store.Values().Version(TRecordBlock::Oscillogram), uint32_t(2 * writes));
}
