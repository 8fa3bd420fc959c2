// Polling runs through a phone and a radio modem: the poller's port is a pty
// given modem lines, a modem emulator sits on its other end and carries the
// call to the meter simulator over a second pty pair.

#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "channel/PtyPair.h"
#include "common/Cp1251.h"
#include "engine/PollingFixture.h"
#include "support/ModemEmulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

using testmodem::TModemEmulator;

std::shared_ptr<TccnConnection> ModemConnection(TModemEmulator::TKind kind, const QString &port)
{
    auto connection = std::make_shared<TccnConnection>();
    connection->SetCustomDevice(std::make_unique<TccnM7SQDev>());
    auto protocol = std::make_unique<TccnTarvelProtocol>();
    protocol->DeviceAddress = 1;
    protocol->MaxAttemptCount = 2;
    connection->SetCustomDeviceProtocol(std::move(protocol));
    if (kind == TModemEmulator::TKind::Phone) {
        auto mode = std::make_unique<TccnPhoneModem232ConMode>();
        mode->ComPortInterface().PortName = port;
        mode->ComPortInterface().Baudrate = 115200;
        mode->PhoneModem().PhoneNumber = QStringLiteral("5");
        mode->MaxAttemptCountOnConnect = 2;
        connection->SetCustomConMode(std::move(mode));
    } else {
        auto mode = std::make_unique<TccnRadioModem232ConMode>();
        mode->ComPortInterface().PortName = port;
        mode->ComPortInterface().Baudrate = 115200;
        mode->RadioModem().CallNumber = QStringLiteral("RK-17");
        mode->MaxAttemptCountOnConnect = 2;
        connection->SetCustomConMode(std::move(mode));
    }
    return connection;
}

class ModemPolling : public engine_test::PollingFixture
{
protected:
    void TearDown() override
    {
        PollingFixture::TearDown();
        modem.reset();
        qunsetenv(testmodem::kPtyVariable);
    }

    // The lines, the modem and the meter; false (with a failure) when a piece is missing.
    bool Wire(TModemEmulator::TKind kind)
    {
        if (!computerLine.Ready() || !meterLine.Ready())
            return false;
        sim = std::make_unique<testpty::TSerialSim>(meterLine.Second(), QStringList{QStringLiteral("--fast-clock")});
        if (!sim->Serving())
            return false;
        qputenv(testmodem::kPtyVariable, computerLine.First().toLocal8Bit());
        modem = std::make_unique<TModemEmulator>(kind, computerLine.Second(), meterLine.First());
        return modem->Ready();
    }

    QString LogText() const
    {
        QFile file(dir.filePath(QStringLiteral("poll.log")));
        return file.open(QIODevice::ReadOnly) ? Cp1251::Decode(file.readAll()) : QString();
    }

    testpty::TPtyPair computerLine;
    testpty::TPtyPair meterLine;
    std::unique_ptr<testpty::TSerialSim> sim;
    std::unique_ptr<TModemEmulator> modem;
};

#ifdef MONITOR_SIM_PATH
#define REQUIRE_MODEM_WIRING(kind)                                                                                     \
    do {                                                                                                               \
        REQUIRE_PTY(computerLine);                                                                                     \
        ASSERT_TRUE(Wire(kind)) << "no pty pair to the meter, no simulator, or no modem";                              \
    } while (false)
#else
#define REQUIRE_MODEM_WIRING(kind) GTEST_SKIP() << "no meter simulator in this build"
#endif

// A stop hangs the modem up with its whole sequence: the escape is answered
// before DTR drops (phone), the radio modem gets its "D" after the prompt.
// The modem takes the escape only after a guard time of silence, so a stop
// that comes while an answer still arrives must let the line go quiet first.
TEST_F(ModemPolling, AStopHangsTheModemUpWhole)
{
    for (const auto kind : {TModemEmulator::TKind::Phone, TModemEmulator::TKind::Radio}) {
        const bool phone = kind == TModemEmulator::TKind::Phone;
        SCOPED_TRACE(phone ? "phone" : "radio");
        REQUIRE_MODEM_WIRING(kind);
        window.messages.clear();
        Start(ModemConnection(kind, computerLine.First()));
        ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 2; }))
            << window.StatusTexts().join(u'|').toStdString() << modem->Events().join(u'|').toStdString();
        const qint64 stopAt = modem->Now();
        QElapsedTimer stop;
        stop.start();
        commons->Stop();
        ASSERT_TRUE(commons->WaitForThread(30000));
        std::printf("[ %s modem: the stop took %lld ms ]\n", phone ? "phone" : "radio",
                    static_cast<long long>(stop.elapsed()));
        EXPECT_LT(stop.elapsed(), phone ? 1500 : 3000);

        // The modem looks at its lines every 10 ms.
        PumpUntil([&] { return modem->TimeOf(QStringLiteral("hang-up"), stopAt) >= 0; }, 1000);
        const qint64 answered = modem->TimeOf(QStringLiteral("escape answered"), stopAt);
        ASSERT_GE(answered, 0) << modem->Events().join(u'|').toStdString();
        if (phone) {
            EXPECT_GE(modem->TimeOf(QStringLiteral("DTR low"), stopAt), answered);
            EXPECT_GE(modem->TimeOf(QStringLiteral("hang-up by DTR"), stopAt), answered);
        } else {
            EXPECT_GE(modem->TimeOf(QStringLiteral("hang-up by D"), stopAt), answered)
                << modem->Events().join(u'|').toStdString();
        }
        EXPECT_FALSE(testmodem::Lines().Carrier);
        EXPECT_FALSE(testmodem::Lines().Dtr);
        EXPECT_FALSE(testmodem::Lines().Rts);
        modem.reset();
        sim.reset();
    }
}

// A call that breaks down during polling is said once, hung up and dialled
// again, and the cycles go on; the link statistics count one reconnection.
TEST_F(ModemPolling, ALostCarrierIsDialledAgain)
{
    REQUIRE_MODEM_WIRING(TModemEmulator::TKind::Phone);
    Start(ModemConnection(TModemEmulator::TKind::Phone, computerLine.First()));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 2; }))
        << window.StatusTexts().join(u'|').toStdString();
    const qint64 lostAt = modem->Now();
    modem->DropCarrier();
    ASSERT_TRUE(PumpUntil([&] { return modem->Count(QStringLiteral("dial")) >= 2; }))
        << window.StatusTexts().join(u'|').toStdString() << modem->Events().join(u'|').toStdString();
    const qint64 dialledAt = modem->TimeOf(QStringLiteral("dial"), lostAt);
    const int cycles = window.Count(emDataChanged);
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= cycles + 2; }))
        << window.StatusTexts().join(u'|').toStdString();
    std::printf("[ lost carrier: dialled again after %lld ms, cycles again after %lld ms ]\n",
                static_cast<long long>(dialledAt - lostAt), static_cast<long long>(modem->Now() - lostAt));
    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(30000));
    QCoreApplication::sendPostedEvents(&window);

    EXPECT_EQ(window.StatusTexts().count(QStringLiteral("Соединение потеряно.")), 1);
    const QString log = LogText();
    EXPECT_EQ(log.count(QStringLiteral("Соединение потеряно.")), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("Переподключений: 1"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Неудачных подключений: 0"))) << log.toStdString();
}

} // namespace
