// A stop asked for in each state a polling run can be in ends the run within
// the exchange time-outs: connecting to an address that never answers, and
// reading an oscillogram part by part. (Mid-retry, a dribbling answer and a
// silent cable are in PollRunTest and PollRunSerialTest.)

#include "catalogue/CatalogueObjects.h"
#include "engine/PollingFixture.h"
#include "protocol/SimProcess.h"
#include "soak/SentLogReader.h"
#include "support/LoopbackConnection.h"

#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// One exchange or connect attempt in progress (TCP connect 4 s, answer
// 1 s + 5 s) and much slack for a slow, sanitized build.
constexpr int kStopBoundMs = 20000;

class PollStop : public engine_test::PollingFixture
{
protected:
    // Stops the run and waits for its thread; true when it ended in time.
    bool StopWithinBound()
    {
        QDeadlineTimer bound(kStopBoundMs);
        commons->Stop();
        const bool ended = commons->WaitForThread(2 * kStopBoundMs);
        QCoreApplication::sendPostedEvents(&window);
        return ended && !bound.hasExpired() && commons->RunState() == rsStopped;
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
    EXPECT_TRUE(StopWithinBound());
    // the part in progress, and one that may have left while the stop was
    // being asked for: nothing after
    EXPECT_LE(oscillogramParts(), partsBeforeStop + 2);
    EXPECT_EQ(window.Count(emOscillogramChanged), 0); // the cut oscillogram is not shown
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
    EXPECT_EQ(commons->Severity(), svInformation);
}

// Kept last of the engine tests: under ThreadSanitizer a simulator started
// after this test dies at its fork ("starting new threads after
// multi-threaded fork"); the cause lies in what the unrouted connect leaves.
TEST_F(PollStop, WhileConnectingToAnAddressThatNeverAnswers)
{
    // A documentation-only network: no route at once, or no answer until the
    // connect gives up. A thousand attempts would take an hour.
    auto connection = testsupport::LoopbackConnection<TccnM7SQDev>(502, 1, 1000);
    static_cast<TccnDirectTCPIPConMode *>(connection->CustomConMode())->TCPIPInterface().IpAddress =
        QStringLiteral("192.0.2.1");
    Start(std::move(connection));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emPollStateChanged) >= 1; }));
    QThread::msleep(300);
    EXPECT_TRUE(StopWithinBound());
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
    EXPECT_EQ(window.Count(emDataChanged), 0);
}

} // namespace
