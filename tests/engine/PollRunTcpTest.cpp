// A meter on TCP that goes away during polling: what the run says and counts
// while it tries to reach it again.

#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "common/Cp1251.h"
#include "engine/PollingFixture.h"
#include "protocol/SimProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <gtest/gtest.h>

namespace {

using TcpPolling = engine_test::PollingFixture;

TEST_F(TcpPolling, AMeterThatWentAwayIsAFailedConnectionNotAReconnection)
{
    auto sim = std::make_unique<testsim::TSimProcess>(QStringList{QStringLiteral("--fast-clock")});
    if (!sim->Started())
        GTEST_SKIP() << "no meter simulator in this build";
    auto connection = std::make_shared<TccnConnection>();
    connection->SetCustomDevice(std::make_unique<TccnM7SQDev>());
    auto protocol = std::make_unique<TccnTarvelProtocol>();
    protocol->DeviceAddress = 1;
    protocol->MaxAttemptCount = 2;
    connection->SetCustomDeviceProtocol(std::move(protocol));
    auto mode = std::make_unique<TccnDirectTCPIPConMode>();
    mode->TCPIPInterface().IpAddress = QStringLiteral("127.0.0.1");
    mode->TCPIPInterface().IpPort = sim->Port();
    mode->MaxAttemptCountOnConnect = 2;
    connection->SetCustomConMode(std::move(mode));
    Start(connection);
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 2; }))
        << window.StatusTexts().join(u'|').toStdString();

    sim.reset();
    const QString failed = QStringLiteral("Не удалось восстановить соединение: Удаленный сервер не найден.");
    ASSERT_TRUE(PumpUntil([&] { return window.StatusTexts().count(failed) >= 2; }))
        << window.StatusTexts().join(u'|').toStdString();
    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(30000));
    QCoreApplication::sendPostedEvents(&window);

    EXPECT_EQ(window.StatusTexts().count(QStringLiteral("Соединение потеряно.")), 1);
    QFile file(dir.filePath(QStringLiteral("poll.log")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString log = Cp1251::Decode(file.readAll());
    EXPECT_TRUE(log.contains(QStringLiteral("Переподключений: 0"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("Неудачных подключений: 0"))) << log.toStdString();
}

} // namespace
