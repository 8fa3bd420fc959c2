// The protocol over the serial channel: the meter simulator speaks on one end
// of a pseudo-terminal pair, the driver on the other, as over a direct cable.

#include "channel/SerialChannel.h"
#include "channel/PtyPair.h"
#include "protocol/CommandExecutor.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace {

TPCASettings CableRecord(const QString &port)
{
    TPCASettings s{};
    s.ComPort.ChannelType = pcaComPort;
    PCASetComPortName(s, port);
    s.ComPort.BaudRate = 115200;
    s.ComPort.Mode = cpmDirect;
    s.ComPort.LinesOn = 1;
    return s;
}

TEST(SerialSimulatorRun, ClockSettingsAndDataOverADirectCable)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    testpty::TSerialSim sim(pair.Second());
    REQUIRE_SERIAL_SIM(sim);

    auto driver = CreateR5Driver(TR5DriverKind::M7, CableRecord(pair.First()));
    TPCACustom *channel = driver->Channel();
    ASSERT_NE(dynamic_cast<TPCAComPort *>(channel), nullptr);
    ASSERT_EQ(channel->LastError(), 0) << PCAErrorText(channel->LastError()).toStdString();
    ASSERT_EQ(channel->Connect(), 0);
    EXPECT_EQ(driver->Timeouts().HeaderMs, 1000);
    EXPECT_EQ(driver->Timeouts().DataMs, 5000);

    TR5Commands commands(driver.get());
    QStringList statuses;
    TExecuterHost host;
    host.ReportStatus = [&](const QString &text, int) { statuses << text; };
    TCommandExecuter executer(commands.PasswordCommand(), 3, host);

    ASSERT_FALSE(executer.Run(commands.DateTimeCommand())) << statuses.join(u'|').toStdString();
    EXPECT_EQ(commands.DateTimeCommand()->FirmwareVersion(), 2218);
    EXPECT_TRUE(commands.DateTimeCommand()->DateTime().isValid());

    ASSERT_FALSE(executer.Run(commands.SettingsCommand()));
    // The 4594-byte data answer comes through the serial reads whole.
    commands.DataCommand()->SetDescriptor({0x01, 0x01, 0x02, 0x03});
    ASSERT_FALSE(executer.Run(commands.DataCommand()));
    EXPECT_EQ(commands.DataCommand()->AnswerLength(), 4594);
    EXPECT_TRUE(statuses.isEmpty()) << statuses.join(u'|').toStdString();
    EXPECT_EQ(driver->Counters().NoAnswers, 0u);

    EXPECT_EQ(channel->Disconnect(), 0);
}

TEST(SerialSimulatorRun, ANoisyCableIsRiddenOutByRetries)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    testpty::TSerialSim sim(pair.Second(),
                            {QStringLiteral("--fault"), QStringLiteral("garbage,on=data,value=40"),
                             QStringLiteral("--fault"), QStringLiteral("silence,on=data,skip=1"),
                             QStringLiteral("--fault"), QStringLiteral("split,on=data,skip=2,value=100")});
    REQUIRE_SERIAL_SIM(sim);
    auto driver = CreateR5Driver(TR5DriverKind::R5_AS, CableRecord(pair.First()));
    ASSERT_EQ(driver->Channel()->LastError(), 0);
    ASSERT_EQ(driver->Channel()->Connect(), 0);
    TR5Commands commands(driver.get());
    TCommandExecuter executer(commands.PasswordCommand(), 3, TExecuterHost{});
    commands.DataCommand()->SetDescriptor({0x01, 0x01, 0x02, 0x03});
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(executer.Run(commands.DataCommand())) << i;
        EXPECT_EQ(commands.DataCommand()->AnswerLength(), 4594) << i;
    }
    EXPECT_GE(driver->Counters().NoAnswers, 1u);
}

TEST(SerialSimulatorRun, ASilentCableEndsTheExchangeAfterItsTimeOut)
{
    testpty::TPtyPair pair;
    REQUIRE_PTY(pair);
    auto driver = CreateR5Driver(TR5DriverKind::M7, CableRecord(pair.First()));
    ASSERT_EQ(driver->Channel()->LastError(), 0);
    ASSERT_EQ(driver->Channel()->Connect(), 0);
    TR5Commands commands(driver.get());
    QElapsedTimer timer;
    TExecuterHost host;
    // The operator asks for a stop while the first request waits for its answer.
    host.StopRequested = [&] { return timer.elapsed() >= 300; };
    TCommandExecuter executer(commands.PasswordCommand(), 1000, host);

    // A thousand allowed attempts end after the one in progress: one header
    // time-out, not a thousand.
    timer.start();
    executer.Run(commands.DateTimeCommand());
    EXPECT_GE(timer.elapsed(), driver->Timeouts().HeaderMs - 20);
    EXPECT_LT(timer.elapsed(), 60000);
    EXPECT_EQ(driver->Counters().Exchanges, driver->Counters().NoAnswers);
    EXPECT_LE(driver->Counters().Exchanges, 2u);
}

} // namespace
