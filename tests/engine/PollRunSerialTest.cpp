// Polling runs over a direct serial cable: a pseudo-terminal pair with the
// meter simulator on the far end, or with nobody there.

#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "channel/PtyPair.h"
#include "engine/PollSettings.h"
#include "engine/PollingFixture.h"
#include "engine/PollRun.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

namespace {

std::shared_ptr<TccnConnection> CableConnection(const QString &port, int maxAttempts)
{
    auto connection = std::make_shared<TccnConnection>();
    connection->SetCustomDevice(std::make_unique<TccnM7SQDev>());
    auto protocol = std::make_unique<TccnTarvelProtocol>();
    protocol->DeviceAddress = 1;
    protocol->MaxAttemptCount = maxAttempts;
    connection->SetCustomDeviceProtocol(std::move(protocol));
    auto mode = std::make_unique<TccnDirect232ConMode>();
    // A /dev/pts/N path: longer than the record's six-character port field.
    mode->ComPortInterface().PortName = port;
    mode->ComPortInterface().Baudrate = 115200;
    mode->MaxAttemptCountOnConnect = 1;
    connection->SetCustomConMode(std::move(mode));
    return connection;
}

using SerialPolling = engine_test::PollingFixture;

TEST_F(SerialPolling, DataCyclesOverACable)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    testpty::TSerialSim sim(pair.Second(), {QStringLiteral("--fast-clock")});
    REQUIRE_SERIAL_SIM(sim);
    Start(CableConnection(pair.First(), 3));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 2; }))
        << window.StatusTexts().join(u'|').toStdString();
    EXPECT_GE(window.Count(emNominalsChanged), 1);
    EXPECT_TRUE(window.StatusTexts().contains(QStringLiteral("Идет обмен данными")));
    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(30000));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
}

TEST_F(SerialPolling, AStopOverASilentCableTakesEffectWithinTheExchangeTimeOuts)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    // Nobody answers; a thousand attempts a command would keep it busy for ever.
    Start(CableConnection(pair.First(), 1000));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emPollStateChanged) >= 1; }));
    QDeadlineTimer bound(15000); // the exchange in progress (1 s header time-out) and a lot to spare
    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(30000));
    EXPECT_FALSE(bound.hasExpired());
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(commons->RunState(), rsStopped);
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
}

TEST_F(SerialPolling, AnUnpluggedCableIsReportedAsNotFound)
{
    Start(CableConnection(QStringLiteral("/dev/ttyUSB-monitor-test-absent"), 3));
    ASSERT_TRUE(PumpUntil([&] { return commons->RunState() == rsStopped; }));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_TRUE(window.StatusTexts().contains(QStringLiteral("Com-порт не найден.")))
        << window.StatusTexts().join(u'|').toStdString();
}

} // namespace
