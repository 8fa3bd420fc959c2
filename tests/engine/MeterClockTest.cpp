#include "engine/MeterClock.h"
#include "engine/PollRunLog.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

QDateTime At(int h, int m, int s, int ms = 0)
{
    return QDateTime(QDate(2026, 12, 6), QTime(h, m, s, ms), Qt::UTC);
}

} // namespace

TEST(TimeIntervalVerifier, AcceptsTheFirstReadingThenOnlyAfterAnInterval)
{
    TTimeIntervalVerifier verifier;
    EXPECT_TRUE(verifier.AcceptMeterTime(TMeterClock{6, 12, 26, 12, 0, 0}));
    EXPECT_FALSE(verifier.AcceptMeterTime(TMeterClock{6, 12, 26, 12, 0, 2}));
    EXPECT_TRUE(verifier.AcceptMeterTime(TMeterClock{6, 12, 26, 12, 0, 3}));
    // a clock set back by 3 s or more is a new interval too
    EXPECT_TRUE(verifier.AcceptMeterTime(TMeterClock{6, 12, 26, 11, 59, 0}));
    EXPECT_FALSE(verifier.AcceptMeterTime(TMeterClock{6, 12, 26, 11, 58, 58}));
    // across midnight and month ends
    EXPECT_TRUE(verifier.AcceptMeterTime(TMeterClock{31, 12, 26, 23, 59, 59}));
    EXPECT_TRUE(verifier.AcceptMeterTime(TMeterClock{1, 1, 27, 0, 0, 2}));
    // a garbled clock is never taken for a new interval
    EXPECT_FALSE(verifier.AcceptMeterTime(TMeterClock{32, 13, 26, 25, 0, 0}));
    EXPECT_EQ(verifier.LastMeterTime(), QDateTime(QDate(2027, 1, 1), QTime(0, 0, 2), Qt::UTC));
}

TEST(TimeIntervalVerifier, AcceptsIntervalsAFewMillisecondsShort)
{
    TTimeIntervalVerifier verifier;
    EXPECT_TRUE(verifier.AcceptMeterTime(At(12, 0, 0)));
    EXPECT_FALSE(verifier.AcceptMeterTime(At(12, 0, 2, 983)));
    EXPECT_TRUE(verifier.AcceptMeterTime(At(12, 0, 2, 984)));
}

TEST(TimeIntervalVerifier, PacesRequestsTwoHundredMillisecondsApart)
{
    TTimeIntervalVerifier verifier;
    EXPECT_EQ(verifier.RemainingPause(At(12, 0, 0)), 0);
    EXPECT_EQ(verifier.RemainingPause(At(12, 0, 0, 50)), 150);
    EXPECT_EQ(verifier.RemainingPause(At(12, 0, 0, 250)), 0);
    EXPECT_EQ(verifier.RemainingPause(At(12, 0, 0, 449)), 1);
}

TEST(CirclesFinishingReporter, AnnouncesOnlyTheFirstOscillogramOfARun)
{
    int firstOscillogram = 0;
    TRequestCirclesFinishingReporter reporter([&] { ++firstOscillogram; });
    EXPECT_TRUE(reporter.NothingFinished());
    reporter.CircleFinished();
    reporter.CircleFinished();
    EXPECT_EQ(firstOscillogram, 1);

    // the counter wraps to 1, never through 0, so it never announces again
    reporter.SetCounterForTest(2147483646);
    reporter.CircleFinished();
    EXPECT_EQ(reporter.Counter(), 1);
    EXPECT_EQ(firstOscillogram, 1);

    reporter.Reset();
    reporter.CircleFinished();
    EXPECT_EQ(firstOscillogram, 2);
}
