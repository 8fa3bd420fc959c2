// The engine as its users see it, without a window.

#include "EngineTestSupport.h"

#include "engine/Engine.h"
#include "engine/MeasurementRecord.h"
#include "engine/PollController.h"
#include "engine/PollSettings.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

namespace {

TEST(Engine, StatusReachesAListenerCutTo255CharactersWithItsSeverity)
{
    TCommons engine(nullptr, QStringLiteral("unused.log"));
    QObject listener;
    QStringList texts;
    std::vector<TSeverity> severities;
    QObject::connect(
        &engine.Events(), &TEngineEvents::StatusChanged, &listener,
        [&](const QString &text, TSeverity severity) {
            texts << text;
            severities.push_back(severity);
        },
        Qt::QueuedConnection);

    engine.Events().ShowStatus(QString(300, QLatin1Char('x')), svError);
    engine.Events().ShowStatus(QStringLiteral("Идет обмен данными"), svInformation);
    EXPECT_TRUE(texts.isEmpty()) << "queued: told after the caller returns";
    QCoreApplication::sendPostedEvents(&listener);

    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], QString(255, QLatin1Char('x')));
    EXPECT_EQ(texts[1], QStringLiteral("Идет обмен данными"));
    EXPECT_EQ(severities, (std::vector<TSeverity>{svError, svInformation}));
}

TEST(Engine, AnInformationRepeatingTheStatusShownLastIsNotToldAgain)
{
    TCommons engine(nullptr, QStringLiteral("unused.log"));
    QObject listener;
    QStringList texts;
    QObject::connect(
        &engine.Events(), &TEngineEvents::StatusChanged, &listener, [&](const QString &text) { texts << text; },
        Qt::QueuedConnection);
    const QString exchanging = QStringLiteral("Идет обмен данными");
    const QString noAnswer = QStringLiteral("Нет ответа от измерителя");
    for (int cycle = 0; cycle < 3; ++cycle)
        engine.Events().ShowStatus(exchanging, svInformation);
    engine.Events().ShowStatus(noAnswer, svError);
    engine.Events().ShowStatus(noAnswer, svError); // errors are told each time
    engine.Events().ShowStatus(exchanging, svInformation);
    engine.Events().ForgetShownStatus(); // a new run
    engine.Events().ShowStatus(exchanging, svInformation);
    QCoreApplication::sendPostedEvents(&listener);
    EXPECT_EQ(texts, (QStringList{exchanging, noAnswer, noAnswer, exchanging, exchanging}));
}

// A run whose only work is one long pause.
class TPausingRun : public TRequestThread
{
public:
    TPausingRun(TPollHost &host, std::atomic<int> &outcome) : host_(host), outcome_(outcome) {}

protected:
    void run() override
    {
        outcome_ = host_.WaitForStop(60000) ? 1 : 0;
        host_.SetRunState(rsStopped);
    }

private:
    TPollHost &host_;
    std::atomic<int> &outcome_;
};

class TPausingManager : public TRequestThreadManager
{
public:
    using TRequestThreadManager::TRequestThreadManager;
    std::atomic<int> outcome{-1};

protected:
    std::unique_ptr<TRequestThread> CreateThread() override { return std::make_unique<TPausingRun>(*this, outcome); }
};

TEST(Engine, APauseOfTheRunEndsWhenTheRunIsAskedToStop)
{
    QTemporaryDir dir;
    TEngineEvents events;
    TConnectionSettingsVD settings;
    TDataStorageManagerVD store;
    TMonitorR5Logger log(dir.filePath(QStringLiteral("run.log")));
    TPausingManager manager(TPollParts{settings, store, log, events});
    manager.Start();
    ASSERT_EQ(manager.RunState(), rsRunning);
    EXPECT_FALSE(manager.WaitForStop(1)) << "no stop asked for: the whole pause";
    manager.Stop();
    // far less than the minute the pause would last
    EXPECT_TRUE(manager.WaitForThread(20000));
    EXPECT_EQ(manager.outcome.load(), 1);
    EXPECT_EQ(manager.RunState(), rsStopped);
}

TEST(Engine, WithoutAFactoryNothingRuns)
{
    TCommons engine(nullptr, QStringLiteral("unused.log"));
    engine.Start();
    EXPECT_EQ(engine.RunState(), rsStopped);
    EXPECT_EQ(engine.Severity(), svInformation);
    EXPECT_TRUE(engine.StatusText().isEmpty());
    EXPECT_EQ(engine.LastDeviceNumber(), 0);
    EXPECT_TRUE(engine.WaitForThread(0));
    EXPECT_EQ(engine.Store(), nullptr);
}

} // namespace
