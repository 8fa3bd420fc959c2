// The protocol layer against the project's meter simulator over loopback TCP:
// a whole polling run's commands, the password, oscillograms and line faults.

#include "protocol/CommandExecutor.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackRecord.h"

#include <gtest/gtest.h>

#include <QThread>

using testsupport::LoopbackRecord;

namespace {

#ifdef MONITOR_SIM_PATH
#define REQUIRE_SIM(sim) ASSERT_TRUE((sim).Started()) << "the meter simulator did not start"
#else
#define REQUIRE_SIM(sim) GTEST_SKIP() << "no meter simulator in this build"
#endif

struct TSimRun
{
    TSimRun(TR5DriverKind kind, quint16 port, const QString &password, int maxAttempts)
        : driver(CreateR5Driver(kind, LoopbackRecord(port))), commands(driver.get())
    {
        commands.PasswordCommand()->Password = password;
        TExecuterHost host;
        host.ReportStatus = [this](const QString &text, int) { statuses << text; };
        executer = std::make_unique<TCommandExecuter>(commands.PasswordCommand(), maxAttempts, host);
        connected = driver->Channel()->Connect() == 0;
    }
    ~TSimRun() { driver->Channel()->Disconnect(); }

    std::unique_ptr<TCustomR5Device> driver;
    TR5Commands commands;
    std::unique_ptr<TCommandExecuter> executer;
    QStringList statuses;
    bool connected = false;
};

TEST(SimulatorRun, ReadsClockSettingsIntervalsDataAndAnOscillogram)
{
    testsim::TSimProcess sim({QStringLiteral("--password"), QStringLiteral("Q1w2")});
    REQUIRE_SIM(sim);
    TSimRun run(TR5DriverKind::R5_AS2020, sim.Port(), QStringLiteral("Q1w2"), 3);
    ASSERT_TRUE(run.connected);

    // The first command meets the password, removes it and goes again.
    ASSERT_FALSE(run.executer->Run(run.commands.DateTimeCommand())) << run.statuses.join(u'|').toStdString();
    EXPECT_EQ(run.commands.DateTimeCommand()->FirmwareVersion(), 2218);
    const QDateTime clock = run.commands.DateTimeCommand()->DateTime();
    EXPECT_TRUE(clock.isValid());
    EXPECT_GE(clock.date().year(), 2000);

    ASSERT_FALSE(run.executer->Run(run.commands.SettingsCommand()));
    ASSERT_FALSE(run.executer->Run(run.commands.TimeSettingsCommand()));

    TCommandsVD cycle;
    cycle.SetDefault(3);
    run.commands.DataCommand()->SetDescriptor(cycle[0]);
    ASSERT_FALSE(run.executer->Run(run.commands.DataCommand()));
    EXPECT_EQ(run.commands.DataCommand()->ResultClass(), rcSuccess);
    EXPECT_EQ(run.commands.DataCommand()->AnswerLength(), 4594);

    TR5OscillogramCommand *osc = run.commands.OscillogramCommand();
    ASSERT_NE(osc, nullptr);
    osc->Reset();
    int parts = 0;
    for (;;) {
        ASSERT_FALSE(run.executer->Run(osc));
        ASSERT_LT(++parts, 10000);
        if (osc->ErrorCode() == 0)
            break;
    }
    EXPECT_GT(parts, 1);
    EXPECT_GT(osc->Parts.size(), 0);
    EXPECT_TRUE(osc->Last.contains("1999")) << osc->Last.left(200).toStdString();
    EXPECT_TRUE(run.statuses.isEmpty()) << run.statuses.join(u'|').toStdString();
}

TEST(SimulatorRun, WrongPasswordEndsWith17)
{
    testsim::TSimProcess sim({QStringLiteral("--password"), QStringLiteral("right1")});
    REQUIRE_SIM(sim);
    TSimRun run(TR5DriverKind::M7, sim.Port(), QStringLiteral("wrong1"), 3);
    ASSERT_TRUE(run.connected);
    EXPECT_TRUE(run.executer->Run(run.commands.SettingsCommand()));
    EXPECT_EQ(run.commands.PasswordCommand()->ErrorCode(), 17);
    EXPECT_EQ(run.statuses, QStringList{QStringLiteral("неверный пароль")});
}

TEST(SimulatorFaults, NoisyLineIsRideOutByRetriesAndReconnects)
{
    // Garbage before the 1st answer, a bad checksum on the 2nd, a hang-up on
    // the 3rd, silence on the 4th, a bad error field on the 5th, the 6th split
    // in pieces; and a date-time answer one byte short: every command still
    // succeeds within 3 attempts.
    testsim::TSimProcess sim({QStringLiteral("--fault"), QStringLiteral("garbage,on=data,value=40"),
                              QStringLiteral("--fault"), QStringLiteral("checksum,on=data,skip=1"),
                              QStringLiteral("--fault"), QStringLiteral("close,on=data,skip=3"),
                              QStringLiteral("--fault"), QStringLiteral("silence,on=data,skip=5"),
                              QStringLiteral("--fault"), QStringLiteral("errorfield,on=data,skip=7"),
                              QStringLiteral("--fault"), QStringLiteral("split,on=data,skip=9,value=100"),
                              QStringLiteral("--fault"), QStringLiteral("length,on=datetime")});
    REQUIRE_SIM(sim);
    TSimRun run(TR5DriverKind::R5_AS, sim.Port(), QString(), 3);
    ASSERT_TRUE(run.connected);
    run.commands.DataCommand()->SetDescriptor({0x01, 0x01, 0x02, 0x03});
    for (int i = 0; i < 6; ++i) {
        EXPECT_FALSE(run.executer->Run(run.commands.DataCommand())) << i << run.statuses.join(u'|').toStdString();
        EXPECT_EQ(run.commands.DataCommand()->AnswerLength(), 4594) << i;
    }
    EXPECT_FALSE(run.executer->Run(run.commands.DateTimeCommand()));
    EXPECT_EQ(run.commands.DateTimeCommand()->FirmwareVersion(), 2218);
    EXPECT_GE(run.driver->Counters().ChecksumErrors, 1u);
    EXPECT_GE(run.driver->Counters().NoAnswers, 1u);
    EXPECT_TRUE(run.statuses.isEmpty()) << run.statuses.join(u'|').toStdString();
}

TEST(SimulatorFaults, BusyMeterIsNotRetriedAndAForeignDeviceStaysSilent)
{
    testsim::TSimProcess sim({QStringLiteral("--fault"), QStringLiteral("busy,on=settings"),
                              QStringLiteral("--device-number"), QStringLiteral("21")});
    REQUIRE_SIM(sim);
    TSimRun run(TR5DriverKind::M7, sim.Port(), QString(), 3);
    ASSERT_TRUE(run.connected);
    run.driver->SetDeviceNumber(21);
    EXPECT_TRUE(run.executer->Run(run.commands.SettingsCommand()));
    EXPECT_EQ(run.commands.SettingsCommand()->ErrorCode(), 7);
    EXPECT_EQ(run.statuses, QStringList{QStringLiteral("Прибор занят")});

    run.driver->SetDeviceNumber(22);
    run.statuses.clear();
    EXPECT_TRUE(run.executer->Run(run.commands.DateTimeCommand()));
    EXPECT_EQ(run.commands.DateTimeCommand()->ErrorCode(), -3);
    EXPECT_EQ(run.statuses, QStringList{QStringLiteral("Нет ответа от измерителя")});
}

TEST(SimulatorFaults, AnAnswerLaterThanItsTimeOutIsNotTakenForALaterRequest)
{
    // The clock moves one second per date-time request. The second answer
    // comes after its time-out and lies on the line when the third request
    // goes out: the third and fourth requests must get their own clocks.
    testsim::TSimProcess sim({QStringLiteral("--fast-clock"), QStringLiteral("--fault"),
                              QStringLiteral("delay,on=datetime,skip=1,value=1500")});
    REQUIRE_SIM(sim);
    TSimRun run(TR5DriverKind::M7, sim.Port(), QString(), 1);
    ASSERT_TRUE(run.connected);
    TR5DateTimeInfoCommand *dateTime = run.commands.DateTimeCommand();
    ASSERT_FALSE(run.executer->Run(dateTime));
    const QDateTime first = dateTime->DateTime();
    EXPECT_TRUE(run.executer->Run(dateTime)); // no answer within the time-out
    EXPECT_EQ(dateTime->ErrorCode(), -3);
    QThread::msleep(1500); // the late answer arrives meanwhile
    ASSERT_FALSE(run.executer->Run(dateTime));
    EXPECT_EQ(dateTime->DateTime(), first.addSecs(2));
    ASSERT_FALSE(run.executer->Run(dateTime));
    EXPECT_EQ(dateTime->DateTime(), first.addSecs(3));
}

TEST(SimulatorRun, PollingFromAWorkerThread)
{
    // The polling thread makes, uses and frees its channel, driver and
    // commands on its own.
    testsim::TSimProcess sim;
    REQUIRE_SIM(sim);
    const quint16 port = sim.Port();
    bool ok = false;
    int firmware = 0;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        TSimRun run(TR5DriverKind::M7_SQ, port, QString(), 2);
        if (!run.connected)
            return;
        ok = !run.executer->Run(run.commands.DateTimeCommand()) && !run.executer->Run(run.commands.SettingsCommand());
        firmware = run.commands.DateTimeCommand()->FirmwareVersion();
    }));
    worker->start();
    ASSERT_TRUE(worker->wait(60000));
    EXPECT_TRUE(ok);
    EXPECT_EQ(firmware, 2218);
}

} // namespace
