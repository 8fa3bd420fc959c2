// A stop asked for in each state a polling run can be in ends the run within
// a second: connecting to a port where the connect hangs, waiting for the
// first byte of an answer that never comes, and reading an oscillogram part
// by part. (Mid-retry, a dribbling answer and a silent cable are in
// PollRunTest and PollRunSerialTest.)

#include "catalogue/CatalogueObjects.h"
#include "engine/PollingFixture.h"
#include "protocol/SimProcess.h"
#include "soak/SentLogReader.h"
#include "support/HangingListener.h"
#include "support/LoopbackConnection.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Every wait of a run gives way to a stop within this time.
constexpr int kStopHonouredMs = 1000;

class PollStop : public engine_test::PollingFixture
{
protected:
    // Stops the run and waits for its thread; the time that took in ms, or
    // -1 when it did not end at all.
    qint64 StopMs()
    {
        QElapsedTimer timer;
        timer.start();
        commons->Stop();
        const bool ended = commons->WaitForThread(60000);
        const qint64 ms = timer.elapsed();
        QCoreApplication::sendPostedEvents(&window);
        std::printf("[ stop took %lld ms ]\n", static_cast<long long>(ms));
        return ended && commons->RunState() == rsStopped ? ms : -1;
    }
};

TEST_F(PollStop, InTheMiddleOfAnOscillogram)
{
    // Each oscillogram part comes 300 ms late: a whole oscillogram takes some
    // three seconds, and a stop lands inside it.
    const QString sentLog = dir.filePath(QStringLiteral("sent.bin"));
    testsim::TSimProcess sim({"--fast-clock", "--sent-log", sentLog, "--fault", "delay,on=osc,prob=1,value=300"});
    ASSERT_TRUE(sim.Started());
    Start(testsupport::LoopbackConnection<TccnM7SQDev>(sim.Port(), 1, 1, 3));
    soak::TSentLogReader sent(sentLog);
    auto oscillogramParts = [&] {
        sent.Update();
        const auto &fired = sent.FaultsFired();
        const auto found = fired.find(QStringLiteral("osc: delay 300 ms"));
        return found == fired.end() ? 0 : found->second;
    };
    ASSERT_TRUE(PumpUntil([&] { return oscillogramParts() >= 2; })) << window.StatusTexts().join(u'|').toStdString();
    const int partsBeforeStop = oscillogramParts();
    const qint64 ms = StopMs();
    EXPECT_GE(ms, 0);
    // the part in progress, and one that may have left while the stop was
    // being asked for: nothing after
    EXPECT_LE(oscillogramParts(), partsBeforeStop + 2);
    EXPECT_EQ(window.Count(emOscillogramChanged), 0); // the cut oscillogram is not shown
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
    EXPECT_EQ(commons->Severity(), svInformation);
}

TEST_F(PollStop, WhileWaitingForTheFirstByteOfAnAnswer)
{
    // A meter that takes data requests and never answers them; the stop
    // comes just after one went out, early in the 1 s wait for its header.
    const QString sentLog = dir.filePath(QStringLiteral("sent.bin"));
    testsim::TSimProcess sim({"--fast-clock", "--sent-log", sentLog, "--fault", "silence,on=data,prob=1"});
    ASSERT_TRUE(sim.Started());
    Start(testsupport::LoopbackConnection<TccnM7Dev>(sim.Port(), 1, 1, 1));
    soak::TSentLogReader sent(sentLog);
    auto unanswered = [&] {
        sent.Update();
        const auto found = sent.FaultsFired().find(QStringLiteral("data: silence"));
        return found == sent.FaultsFired().end() ? 0 : found->second;
    };
    ASSERT_TRUE(PumpUntil([&] { return unanswered() >= 1; }));
    const qint64 ms = StopMs();
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, kStopHonouredMs / 2);
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
    EXPECT_EQ(window.Count(emDataChanged), 0);
    EXPECT_EQ(commons->Severity(), svInformation); // the cut wait is no time-out
}

TEST_F(PollStop, WhileConnectingToAPortWhereTheConnectHangs)
{
    // A thousand attempts of 4 s each would take over an hour. A connect cut
    // short by the stop is no failure to report.
    testsupport::THangingListener listener;
    ASSERT_NE(listener.Port(), 0);
    Start(testsupport::LoopbackConnection<TccnM7SQDev>(listener.Port(), 1, 1000));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emPollStateChanged) >= 1; }));
    QThread::msleep(300);
    const qint64 ms = StopMs();
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, kStopHonouredMs);
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
    EXPECT_EQ(window.Count(emDataChanged), 0);
    EXPECT_EQ(commons->Severity(), svInformation) << commons->StatusText().toStdString();
}

} // namespace
