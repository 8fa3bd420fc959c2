// The engine as its users see it, without a window.

#include "EngineTestSupport.h"

#include "engine/Engine.h"

#include <gtest/gtest.h>

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
