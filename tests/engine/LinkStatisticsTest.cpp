// The link's counters over a run against a simulator told which answers to
// spoil, counted exactly; a new run starts from zero; the log's last entry
// after the stop is the summary.

#include "PollingFixture.h"

#include "common/Cp1251.h"
#include "engine/LinkStatistics.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackConnection.h"

#include <QFile>

#include <optional>

using namespace engine_test;

namespace {

class LinkStatisticsRun : public PollingFixture
{
protected:
    void SetUp() override
    {
        PollingFixture::SetUp();
        QObject::connect(&commons->Events(), &TEngineEvents::LinkStatisticsChanged, &window,
                         [this](const TLinkStatistics &s) { published.push_back(s); });
    }

    // Polls until `cycles` data cycles are complete, then stops.
    void PollCycles(quint16 port, quint64 cycles, const QString &password = {})
    {
        published.clear();
        Start(testsupport::LoopbackConnection<TccnM7SQDev>(port, 4711, 1, 3), password);
        ASSERT_TRUE(PumpUntil([&] { return !published.empty() && published.back().Cycles >= cycles; }, 60000))
            << window.StatusTexts().join(u'|').toStdString();
        commons->Stop();
        ASSERT_TRUE(commons->WaitForThread(30000));
        QCoreApplication::sendPostedEvents(&window);
    }

    std::vector<TLinkStatistics> published;
};

} // namespace

TEST_F(LinkStatisticsRun, CountsEachSpoiledAnswerAndStartsEachRunFromZero)
{
    // Data requests: #2 and #3 bad checksums (one command, sent three
    // times), #6 unanswered (sent again), #8 "busy" (no retry), #9 nine
    // bytes of noise in front.
    testsim::TSimProcess sim({"--fast-clock", "--no-channel-faults", "--fault", "checksum,on=data,skip=1,count=2",
                              "--fault", "silence,on=data,skip=5", "--fault", "busy,on=data,skip=7", "--fault",
                              "garbage,on=data,skip=8,value=9"});
    ASSERT_TRUE(sim.Started());
    PollCycles(sim.Port(), 6);

    ASSERT_GE(published.size(), 2u);
    EXPECT_EQ(published.front().Line.Exchanges, 0u);
    const TLinkStatistics &s = published.back();
    EXPECT_EQ(s.Line.ChecksumErrors, 2u);
    EXPECT_EQ(s.Line.NoAnswers, 1u);
    EXPECT_EQ(s.Line.Retries, 3u);
    EXPECT_EQ(s.Line.Reconnects, 3u); // TCP: rebuilt before each retry
    EXPECT_EQ(s.Line.MeterCodes[7], 1u);
    EXPECT_EQ(s.Line.SkippedBytes, 9u);
    EXPECT_EQ(s.Line.WriteErrors, 0u);
    // Every request had its outcome, but the one the stop cut short.
    const quint64 settled = s.Line.Answers + s.Line.NoAnswers + s.Line.ChecksumErrors;
    EXPECT_GE(s.Line.Exchanges, settled);
    EXPECT_LE(s.Line.Exchanges, settled + 1);
    EXPECT_EQ(s.Errors(), 4u);
    EXPECT_GE(s.Cycles, 6u);
    EXPECT_GE(s.LastCycleMs, 0);
    EXPECT_GE(s.LastOscillogramMs, 0);
    EXPECT_LE(s.Line.RoundTripMinUs, s.Line.RoundTripMaxUs);
    EXPECT_EQ(s.ShortText(), QStringLiteral("Обмен: %1 / ошибок 4").arg(s.Line.Exchanges));

    QFile log(dir.filePath(QStringLiteral("poll.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = Cp1251::Decode(log.readAll());
    const qsizetype stop = text.lastIndexOf(QStringLiteral("Стоп опроса"));
    ASSERT_GE(stop, 0);
    const QString after = text.mid(stop);
    EXPECT_TRUE(after.contains(QStringLiteral("Статистика обмена:")));
    EXPECT_TRUE(after.contains(QStringLiteral("Ошибок контрольной суммы: 2")));
    EXPECT_TRUE(after.contains(QStringLiteral("Коды ответов измерителя (код — раз): 7 — 1")));

    // A clean meter: the next run counts from zero.
    testsim::TSimProcess clean({"--fast-clock", "--no-channel-faults"});
    ASSERT_TRUE(clean.Started());
    PollCycles(clean.Port(), 2);
    EXPECT_EQ(published.front().Line.Exchanges, 0u);
    EXPECT_EQ(published.back().Errors(), 0u);
    EXPECT_EQ(published.back().Line.Retries, 0u);
}

TEST_F(LinkStatisticsRun, AMeterAskingForThePasswordIsNoErrorButARefusalIs)
{
    testsim::TSimProcess sim({"--fast-clock", "--no-channel-faults", "--password", "secret"});
    ASSERT_TRUE(sim.Started());
    PollCycles(sim.Port(), 2, QStringLiteral("secret"));
    const TLinkStatistics &s = published.back();
    EXPECT_EQ(s.Errors(), 0u);
    EXPECT_EQ(s.ShortText(), QStringLiteral("Обмен: %1 / ошибок 0").arg(s.Line.Exchanges));
    EXPECT_TRUE(s.Lines().contains(QStringLiteral("Запросов пароля: 1"))) << s.Lines().join(u'|').toStdString();

    // A wrong password: the meter's "wrong password" is an error and ends the run.
    published.clear();
    Start(testsupport::LoopbackConnection<TccnM7SQDev>(sim.Port(), 4711, 1, 3), QStringLiteral("wrong"));
    ASSERT_TRUE(PumpUntil([&] { return commons->RunState() == rsStopped && !published.empty(); }));
    ASSERT_TRUE(commons->WaitForThread(30000));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(published.back().Errors(), 1u);
    EXPECT_EQ(published.back().ShortText(), QStringLiteral("Обмен: 2 / ошибок 1"));
    EXPECT_TRUE(published.back().Lines().contains(QStringLiteral("Запросов пароля: 1")));

    // The password taken, yet the meter asks again: the second time is an error.
    testsim::TSimProcess again(
        {"--fast-clock", "--no-channel-faults", "--fault", "error,on=datetime,value=15,count=2"});
    ASSERT_TRUE(again.Started());
    published.clear();
    Start(testsupport::LoopbackConnection<TccnM7SQDev>(again.Port(), 4711, 1, 3));
    ASSERT_TRUE(PumpUntil([&] { return !published.empty() && published.back().Cycles >= 1; }, 60000));
    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(30000));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(published.back().Errors(), 1u);
    EXPECT_TRUE(published.back().Lines().contains(QStringLiteral("Запросов пароля: 1")));
}

TEST_F(LinkStatisticsRun, DataNotReadyIsNoCycleAndLeavesTheRecordAsItWas)
{
    // Data requests #2 and #3 are answered "not ready", without data.
    testsim::TSimProcess sim({"--fast-clock", "--no-channel-faults", "--fault", "notready,on=data,skip=1,count=2"});
    ASSERT_TRUE(sim.Started());
    PollCycles(sim.Port(), 2);

    const TLinkStatistics &s = published.back();
    EXPECT_EQ(s.NoDataCycles, 2u);
    EXPECT_EQ(s.Line.MeterCodes[1], 2u);
    EXPECT_GE(s.Cycles, 2u);
    EXPECT_EQ(quint64(window.Count(emDataChanged)), s.Cycles); // the record took only whole answers
    // "not ready" is said, and "exchanging data" only after a cycle read again
    const QStringList texts = window.StatusTexts();
    const qsizetype notReady = texts.lastIndexOf(QStringLiteral("Данные не готовы"));
    ASSERT_GE(notReady, 0) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.indexOf(QStringLiteral("Идет обмен данными"), notReady + 1), notReady + 1);
    EXPECT_EQ(texts.mid(0, notReady).count(QStringLiteral("Идет обмен данными")), 1);
}

TEST_F(LinkStatisticsRun, AMeterThatVanishesIsNotAskedInATightLoop)
{
    // One attempt per command: nothing in the executor pauses between the
    // failed requests once the meter's end of the link is gone.
    auto sim = std::make_optional<testsim::TSimProcess>(QStringList{"--fast-clock", "--no-channel-faults"});
    ASSERT_TRUE(sim->Started());
    Start(testsupport::LoopbackConnection<TccnM7SQDev>(sim->Port(), 4711, 1, 1));
    ASSERT_TRUE(PumpUntil([&] { return !published.empty() && published.back().Cycles >= 2; }, 60000));
    const quint64 before = published.back().Line.Exchanges;
    sim.reset(); // the meter is gone
    PumpUntil([] { return false; }, 3000);
    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(30000));
    QCoreApplication::sendPostedEvents(&window);
    // a few requests a second at most, not thousands
    EXPECT_LT(published.back().Line.Exchanges - before, 40u);
}
