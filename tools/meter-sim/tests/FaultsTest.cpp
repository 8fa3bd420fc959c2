#include "Faults.h"

#include <gtest/gtest.h>

using namespace MeterSim;

TEST(FaultPlan, RefusesRulesItCannotFollow)
{
    TFaultPlan plan;
    EXPECT_TRUE(plan.Add(QStringLiteral("bogus")));
    EXPECT_TRUE(plan.Add(QStringLiteral("silence,count=x")));
    EXPECT_TRUE(plan.Add(QStringLiteral("silence,on=nowhere")));
    EXPECT_TRUE(plan.Add(QStringLiteral("silence,when=3")));
    EXPECT_TRUE(plan.Add(QStringLiteral("silence,3")));
    EXPECT_TRUE(plan.Add(QStringLiteral("error,value=128")));
    EXPECT_TRUE(plan.Add(QStringLiteral("garbage,value=0")));
    EXPECT_TRUE(plan.Add(QStringLiteral("checksum,prob=1.5")));
    EXPECT_TRUE(plan.Add(QStringLiteral("dribble,value=0")));
    EXPECT_TRUE(plan.Add(QStringLiteral("notready,every=0")));
    EXPECT_TRUE(plan.IsEmpty());
    EXPECT_FALSE(plan.Add(QStringLiteral("errorfield,on=data,value=300,skip=1,count=2")));
    EXPECT_FALSE(plan.IsEmpty());
}

TEST(FaultPlan, SkipsThenFiresOnTheNextRequestsOfItsTarget)
{
    TFaultPlan plan;
    ASSERT_FALSE(plan.Add(QStringLiteral("silence,on=data,skip=2,count=2")));
    ASSERT_FALSE(plan.Add(QStringLiteral("busy,on=datetime")));
    QList<bool> silent;
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(plan.Decide(TRequestKind::Settings).Any());
        silent << plan.Decide(TRequestKind::Data).Silence;
    }
    EXPECT_EQ(silent, (QList<bool>{false, false, true, true, false, false}));
    EXPECT_EQ(plan.Decide(TRequestKind::DateTime).ErrorCode, 7);
    EXPECT_FALSE(plan.Decide(TRequestKind::DateTime).ErrorCode);

    // every second clock reading from the second on, without limit
    TFaultPlan every;
    ASSERT_FALSE(every.Add(QStringLiteral("notready,on=datetime,skip=1,every=2")));
    QList<bool> notReady;
    for (int i = 0; i < 8; ++i)
        notReady << every.Decide(TRequestKind::DateTime).ErrorCode.has_value();
    EXPECT_EQ(notReady, (QList<bool>{false, true, false, true, false, true, false, true}));
}

TEST(FaultPlan, ProbabilityRulesFireRepeatablyAndWithoutLimit)
{
    auto firings = [](quint32 seed) {
        TFaultPlan plan(seed);
        EXPECT_FALSE(plan.Add(QStringLiteral("garbage,prob=0.25,value=3")));
        QList<int> fired;
        for (int i = 0; i < 1000; ++i)
            if (plan.Decide(TRequestKind::Data).GarbageBytes == 3)
                fired << i;
        return fired;
    };
    const QList<int> a = firings(4);
    EXPECT_EQ(a, firings(4));
    EXPECT_GT(a.size(), 180);
    EXPECT_LT(a.size(), 320);

    TFaultPlan always;
    ASSERT_FALSE(always.Add(QStringLiteral("notready,prob=1")));
    ASSERT_FALSE(always.Add(QStringLiteral("checksum,prob=0")));
    for (int i = 0; i < 50; ++i) {
        const TFaultSet set = always.Decide(TRequestKind::Oscillogram);
        EXPECT_EQ(set.ErrorCode, 1);
        EXPECT_FALSE(set.BadChecksum);
    }
}
