// A long polling run against a misbehaving meter: the engine, as the
// headless poller drives it, polls the simulator (fast clock) through a
// schedule of faults on every kind of request, cycle after cycle.
//
// Checked on every accepted data cycle, on the polling thread right after the
// record was written: the data block holds exactly what the simulator's last
// data answer decodes to, that answer is a new one (never the previous cycle's
// again) and one the meter meant (no bad checksum, no error code, not cut).
// Checked on the window's side: every block a reader copies after the word
// "data changed" is one the engine published, never a mix of two. At the end:
// the run was still running, it stops within the exchange time-outs, and
// resident memory stayed flat.
//
// Not part of the default test run. The short form (ctest -C soak) runs for
// MONITOR_SOAK_SECONDS; the full form is MONITOR_SOAK_CYCLES cycles (10 000
// by default), see the README.

#include "SentLogReader.h"

#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "engine/DataAnswerDecoder.h"
#include "engine/Engine.h"
#include "engine/MeasurementRecord.h"
#include "engine/PollRun.h"
#include "engine/PollSettings.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackConnection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <mutex>

namespace {

using soak::TSentDataAnswer;
using soak::TSentLogReader;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr int kRssFirstCycle = 1000;
constexpr int kShortRunRssFirstCycle = 50;
constexpr long kRssGrowthLimitKb = 1024;
// No data cycle for this long means the run is stuck (a fault costs at most a
// few exchange time-outs).
constexpr int kStallMs = 120000;
// The exchange in progress, its retries' pauses, and much slack for a slow,
// sanitized build.
constexpr int kStopBoundMs = 30000;

// Every kind of misbehaviour, on the requests where it hurts. The meter clock
// moves on 3 s a reading, so a cycle waits (and reads an oscillogram) only
// when a frozen clock holds it back; oscillogram parts are then most of the
// requests, and rules on "any" hit them too.
const QStringList kFaultSchedule = {
    "freeze,on=datetime,prob=0.15",        // the meter clock stands still
    "garbage,prob=0.02",                   // debris in front of an answer
    "checksum,prob=0.01",                  // a damaged answer
    "split,prob=0.02",                     // an answer in small pieces
    "close,prob=0.003",                    // the converter drops the connection
    "silence,on=data,prob=0.01",           // longer than the time-out: retried
    "silence,on=datetime,prob=0.005",      //
    "delay,on=datetime,prob=0.005",        // 1.5 s: late, after the time-out
    "busy,on=data,prob=0.01",              // error 7
    "notready,on=data,prob=0.01",          // error 1: no data this cycle
    "errorfield,on=data,prob=0.01",        // 200, beyond the meter's codes
    "errorfield,on=osc,prob=0.005",        //
    "length,on=data,prob=0.01,value=-100", // a cut data answer
};

int EnvironmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

long ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

using TDataBlock = std::vector<float>;

TDataBlock CopyData(const TDataStorageManager &store)
{
    TDataBlock block(TRecordValues::BlockSize(TRecordBlock::Data));
    store.CopyBlock(TRecordBlock::Data, block);
    return block;
}

bool SameBits(const TDataBlock &a, const TDataBlock &b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// What the engine's polling thread publishes, checked where it is written.
class TCycleChecker
{
public:
    TCycleChecker(const TDataStorageManager &store, const QString &sentLog) : store_(store), sent_(sentLog) {}

    // On the polling thread, right after each data-changed word: either a
    // cleared record or a decoded data answer.
    void OnDataChanged()
    {
        const TDataBlock block = CopyData(store_);
        std::lock_guard lock(mutex_);
        if (!sent_.Update())
            Fail(QStringLiteral("the simulator's record cannot be read"));
        const auto &latest = sent_.LatestData();
        const bool cleared = std::all_of(block.begin(), block.end(), [](float v) { return v == 0.0f; });
        ++words_;
        if (cleared) {
            ++clears_;
        } else if (!latest || latest->Number == lastShown_) {
            Fail(QStringLiteral("data shown with no new answer from the meter (the last one again, answer %1)")
                     .arg(lastShown_));
        } else {
            CheckAgainst(*latest, block);
            lastShown_ = latest->Number;
            ++cycles_;
            if (!latest->Faults.isEmpty())
                ++acceptedWithFaults_;
        }
        published_.push_back({words_, block});
        if (published_.size() > kPublishedKept)
            published_.pop_front();
    }

    // On the window's thread, for the n-th data-changed word it receives:
    // what it reads must be a block published with that word or a later one.
    // A block written a moment ago may still be on its way into the list.
    void CheckWindowCopy(uint64_t word)
    {
        const TDataBlock copy = CopyData(store_);
        QDeadlineTimer deadline(kPublishWaitMs);
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                for (const auto &[number, block] : published_)
                    if (number >= word && SameBits(block, copy))
                        return;
                if (!published_.empty() && published_.front().first > word) {
                    ++windowCopiesTooLate_; // the window fell behind the list: not judged
                    return;
                }
                if (deadline.hasExpired()) {
                    Fail(QStringLiteral("the window read a data block the engine never published (word %1)").arg(word));
                    return;
                }
            }
            QThread::msleep(1);
        }
    }

    struct TFigures
    {
        int Cycles = 0;
        int Clears = 0;
        int AcceptedWithFaults = 0;
        int WindowCopiesTooLate = 0;
        int Failures = 0;
        QStringList FirstFailures;
    };
    TFigures Figures() const
    {
        std::lock_guard lock(mutex_);
        return {cycles_, clears_, acceptedWithFaults_, windowCopiesTooLate_, failures_, firstFailures_};
    }
    int Cycles() const
    {
        std::lock_guard lock(mutex_);
        return cycles_;
    }
    TSentLogReader &Sent() { return sent_; }

private:
    static constexpr size_t kPublishedKept = 32;
    static constexpr int kPublishWaitMs = 5000;
    static constexpr TDataDescriptor kDataRequest{0x01, 0x01, 0x02, 0x03};

    // The answer must be one the engine may accept, and the block exactly
    // what it decodes to with the nominals of this run.
    void CheckAgainst(const TSentDataAnswer &answer, const TDataBlock &block)
    {
        const int code = answer.ErrorField;
        if ((code != 0 && code != 26 && code != 33) || answer.Data.size() < TWriterVD::DataAnswerLength ||
            answer.Faults.contains(QStringLiteral("checksum"))) {
            Fail(QStringLiteral("answer %1 (code %2, %3 bytes, %4) was shown, yet the meter never meant it")
                     .arg(answer.Number)
                     .arg(code)
                     .arg(answer.Data.size())
                     .arg(answer.Faults));
            return;
        }
        TDataStorageManagerVD expected;
        std::vector<float> nominals(TRecordValues::BlockSize(TRecordBlock::Nominals));
        store_.CopyBlock(TRecordBlock::Nominals, nominals);
        expected.WriteNominals(nominals);
        expected.WriteData(kDataRequest, QByteArrayView(answer.Data));
        if (!SameBits(CopyData(expected), block))
            Fail(QStringLiteral("the record differs from data answer %1 the simulator sent").arg(answer.Number));
    }

    void Fail(const QString &what)
    {
        if (++failures_ <= 10)
            firstFailures_ << what;
    }

    const TDataStorageManager &store_;
    TSentLogReader sent_;
    mutable std::mutex mutex_;
    uint64_t words_ = 0;
    uint64_t lastShown_ = 0;
    int cycles_ = 0;
    int clears_ = 0;
    int acceptedWithFaults_ = 0;
    int windowCopiesTooLate_ = 0;
    int failures_ = 0;
    QStringList firstFailures_;
    std::deque<std::pair<uint64_t, TDataBlock>> published_;
};

QString Join(const std::map<QString, int> &counts)
{
    QStringList lines;
    for (const auto &[text, count] : counts)
        lines << QStringLiteral("    %1  %2").arg(count, 6).arg(text);
    return lines.join(u'\n');
}

} // namespace

TEST(PollingSoak, SurvivesAFaultScheduleShowingOnlyWhatTheMeterSent)
{
    const int wantedCycles = EnvironmentNumber("MONITOR_SOAK_CYCLES", 10000);
    const int seconds = EnvironmentNumber("MONITOR_SOAK_SECONDS", 0); // 0: no time limit
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString sentLog = dir.filePath(QStringLiteral("sent.bin"));

    QStringList arguments{"--fast-clock", "--clock-step", "3", "--seed", "16", "--sent-log", sentLog};
    for (const QString &rule : kFaultSchedule)
        arguments << QStringLiteral("--fault") << rule;
    testsim::TSimProcess sim(arguments);
    ASSERT_TRUE(sim.Started());

    TObjectsFactoryVD factory;
    TCommons commons(&factory, dir.filePath(QStringLiteral("soak.log")));
    ASSERT_TRUE(commons.Logger().Open());
    TCycleChecker checker(*commons.Store(), sentLog);
    // No context object: called on the polling thread as the block is written.
    QObject::connect(&commons.Events(), &TEngineEvents::DataChanged, [&checker] { checker.OnDataChanged(); });

    QObject window; // the window's thread, as a window receives the words
    uint64_t wordsReceived = 0;
    QObject::connect(
        &commons.Events(), &TEngineEvents::DataChanged, &window, [&] { checker.CheckWindowCopy(++wordsReceived); },
        Qt::QueuedConnection);
    std::map<QString, int> problems; // status texts other than the normal ones
    QObject::connect(
        &commons.Events(), &TEngineEvents::StatusChanged, &window,
        [&](const QString &text, TSeverity severity) {
            if (severity != svInformation)
                ++problems[text.left(60)];
        },
        Qt::QueuedConnection);

    commons.Settings()->SetConnection(testsupport::LoopbackConnection<TccnM7SQDev>(sim.Port(), 16, 1, 3));
    QElapsedTimer clock;
    clock.start();
    commons.Start();

    const int rssFirstCycle =
        wantedCycles >= 2 * kRssFirstCycle && seconds == 0 ? kRssFirstCycle : kShortRunRssFirstCycle;
    long rssFirst = -1;
    int lastCycles = 0;
    QElapsedTimer sinceCycle;
    sinceCycle.start();
    QString ended;
    while (ended.isEmpty()) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
        const int cycles = checker.Cycles();
        if (cycles != lastCycles) {
            if (cycles / 1000 != lastCycles / 1000) {
                std::printf("cycle %d, %.0f s\n", cycles, clock.elapsed() / 1000.0);
                std::fflush(stdout);
            }
            lastCycles = cycles;
            sinceCycle.restart();
        }
        if (rssFirst < 0 && cycles >= rssFirstCycle)
            rssFirst = ResidentKb();
        if (cycles >= wantedCycles)
            ended = QStringLiteral("cycles");
        else if (seconds > 0 && clock.elapsed() >= seconds * 1000LL)
            ended = QStringLiteral("time");
        else if (commons.RunState() != rsRunning)
            ended = QStringLiteral("the run ended by itself: ") + commons.StatusText();
        else if (sinceCycle.elapsed() > kStallMs)
            ended = QStringLiteral("no data cycle for %1 s").arg(kStallMs / 1000);
    }
    const long rssLast = ResidentKb();
    const double runSeconds = clock.elapsed() / 1000.0;

    QElapsedTimer stopping;
    stopping.start();
    commons.Stop();
    const bool stopped = commons.WaitForThread(kStopBoundMs);
    const qint64 stopMs = stopping.elapsed();
    QCoreApplication::processEvents();
    checker.Sent().Update();

    const TCycleChecker::TFigures figures = checker.Figures();
    std::printf("polling soak: %d cycles in %.1f s (%.1f ms a cycle), ended by %s\n"
                "  data answers sent %llu; accepted with a harmless fault %d; record cleared %d times\n"
                "  faults fired %d:\n%s\n"
                "  warnings and errors the engine reported:\n%s\n"
                "  resident memory: %ld kB at cycle %d, %ld kB at cycle %d (%+ld kB)\n"
                "  window copies judged too late to check: %d; stop took %lld ms\n",
                figures.Cycles, runSeconds, figures.Cycles ? 1000.0 * runSeconds / figures.Cycles : 0.0,
                qPrintable(ended), static_cast<unsigned long long>(checker.Sent().DataAnswers()),
                figures.AcceptedWithFaults, figures.Clears, checker.Sent().FaultCount(),
                qPrintable(Join(checker.Sent().FaultsFired())), qPrintable(Join(problems)), rssFirst, rssFirstCycle,
                rssLast, figures.Cycles, rssFirst >= 0 ? rssLast - rssFirst : 0L, figures.WindowCopiesTooLate,
                static_cast<long long>(stopMs));
    std::fflush(stdout);

    EXPECT_TRUE(ended == QLatin1String("cycles") || ended == QLatin1String("time")) << ended.toStdString();
    EXPECT_EQ(figures.Failures, 0) << figures.FirstFailures.join(u'\n').toStdString();
    EXPECT_EQ(figures.Clears, 0) << "a failed cycle must leave the values as they were";
    EXPECT_TRUE(stopped) << "the stop took longer than " << kStopBoundMs << " ms";
    EXPECT_GT(figures.Cycles, 20);
    EXPECT_GT(checker.Sent().FaultCount(), 0);
    // A short run is still warming up (allocator pools, the log's buffers):
    // its figures are reported only.
    if (!kSanitized && rssFirst >= 0 && rssFirstCycle == kRssFirstCycle) {
        EXPECT_LT(rssLast - rssFirst, kRssGrowthLimitKb)
            << "resident memory grew from " << rssFirst << " kB to " << rssLast << " kB";
    }
}
