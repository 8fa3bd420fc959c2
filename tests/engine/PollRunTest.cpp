// Whole polling runs against the project's meter simulator over loopback TCP.

#include "catalogue/AcceptedConnections.h"
#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "common/Cp1251.h"
#include "engine/PollSettings.h"
#include "engine/RecordSlots.h"
#include "engine/PollRun.h"
#include "engine/MeasurementRecord.h"
#include "engine/PollingFixture.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackConnection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <functional>

namespace {

template <class TDevice = TccnM7SQDev>
std::shared_ptr<TccnConnection> TcpConnection(quint16 port, int attemptsOnConnect = 1, int maxAttempts = 3)
{
    return testsupport::LoopbackConnection<TDevice>(port, 4711, attemptsOnConnect, maxAttempts);
}

class PollingRun : public engine_test::PollingFixture
{
protected:
    bool Stopped() { return commons->RunState() == rsStopped && window.Count(emPollStateChanged) >= 2; }

    QString Log() const
    {
        QFile file(dir.filePath(QStringLiteral("poll.log")));
        return file.open(QIODevice::ReadOnly) ? Cp1251::Decode(file.readAll()) : QString();
    }

    TDataStorageManager &Store() { return *commons->Store(); }
};

} // namespace

TEST(PolledDeviceTypes, TheEnginePollsExactlyTheMetersTheConnectionListAccepts)
{
    TccnConnectionListUIOptions options;
    ConfigureMonitorOptions(options);
    for (int type = -1; type <= kDeviceTypeCount; ++type)
        EXPECT_EQ(IsSupportedDeviceType(type), options.FindDeviceTypeOptions(type) != nullptr) << type;
}

TEST_F(PollingRun, FillsTheRecordWithNominalsDataAndOscillograms)
{
    testsim::TSimProcess sim({QStringLiteral("--fast-clock"), QStringLiteral("--no-channel-faults")});
    ASSERT_TRUE(sim.Started());
    Start(TcpConnection(sim.Port()));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 2 && window.Count(emOscillogramChanged) >= 1; }))
        << window.StatusTexts().join(u'|').toStdString();
    commons->Stop();
    ASSERT_TRUE(PumpUntil([&] { return Stopped(); }));

    // the order of a run: running, settings, nominals, data, then stopped
    std::vector<int> order;
    for (const auto &m : window.messages)
        if (m.Number == emPollStateChanged || m.Number == emNominalsChanged || m.Number == emDataChanged)
            if (order.empty() || order.back() != m.Number)
                order.push_back(m.Number);
    ASSERT_GE(order.size(), 4u);
    EXPECT_EQ(order.front(), emPollStateChanged);
    EXPECT_EQ(order[1], emNominalsChanged);
    EXPECT_EQ(order[2], emDataChanged);
    EXPECT_EQ(order.back(), emPollStateChanged);
    EXPECT_EQ(window.Count(emFirstOscillogram), 1);
    EXPECT_GE(window.Count(emDeviceTimeChanged), 2);

    const QStringList texts = window.StatusTexts();
    EXPECT_EQ(texts.front(), QStringLiteral("Старт опроса"));
    EXPECT_TRUE(texts.contains(QStringLiteral("Идет обмен данными")));
    EXPECT_EQ(texts.back(), QStringLiteral("Стоп опроса"));
    EXPECT_EQ(commons->Severity(), svInformation);

    // a realistic three-phase picture: nominals, voltages near them, 50 Hz
    const float unom = Store().Value(VDSlot::UnomPhase);
    EXPECT_GT(unom, 0.0f);
    EXPECT_NEAR(Store().Value(VDSlot::UnomLine), unom * std::sqrt(3.0f), unom * 0.01f);
    for (int channel = 0; channel < 3; ++channel)
        EXPECT_NEAR(Store().Value(VDSlot::Urms + channel), unom, unom * 0.2f) << channel;
    EXPECT_NEAR(Store().Value(2749), 50.0f, 0.5f);
    float peak = 0;
    for (int i = 2755; i < 2755 + 1280; ++i)
        peak = std::max(peak, std::abs(Store().Value(i)));
    EXPECT_NEAR(peak, unom * std::sqrt(2.0f), unom * 0.3f);
    EXPECT_GT(Store().DeviceDateTime(), 0.0);
    EXPECT_EQ(commons->LastDeviceNumber(), 4711);

    const QString log = Log();
    EXPECT_TRUE(log.contains(QStringLiteral("адрес = 127.0.0.1")));
    EXPECT_TRUE(log.contains(QStringLiteral("порт = %1").arg(sim.Port())));
    EXPECT_FALSE(log.contains(QStringLiteral("COM-порт")));
    EXPECT_TRUE(log.contains(QStringLiteral("] Стоп опроса")));
}

TEST_F(PollingRun, MetersWithoutOscillogramsAreNeverAskedForOne)
{
    for (const bool oldFirmware : {true, false}) {
        testsim::TSimProcess sim(oldFirmware ? QStringList{"--fast-clock", "--firmware", "2217"}
                                             : QStringList{"--fast-clock"});
        ASSERT_TRUE(sim.Started());
        window.messages.clear();
        if (oldFirmware)
            Start(TcpConnection<TccnM7SQDev>(sim.Port()));
        else
            Start(TcpConnection<TccnM7Dev>(sim.Port()));
        ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 3; }));
        commons->Stop();
        ASSERT_TRUE(commons->WaitForThread(30000));
        QCoreApplication::sendPostedEvents(&window);
        EXPECT_EQ(window.Count(emOscillogramChanged), 0) << oldFirmware;
    }
}

TEST_F(PollingRun, AWrongPasswordEndsTheRun)
{
    testsim::TSimProcess sim({"--fast-clock", "--password", "secret"});
    ASSERT_TRUE(sim.Started());
    Start(TcpConnection(sim.Port()), QStringLiteral("wrong"));
    ASSERT_TRUE(PumpUntil([&] { return Stopped(); }));
    EXPECT_EQ(commons->Severity(), svError);
    EXPECT_EQ(window.Count(emDataChanged), 0);
    EXPECT_TRUE(window.StatusTexts().contains(QStringLiteral("Стоп опроса")));
}

TEST_F(PollingRun, TheRightPasswordIsSentOnceAndPollingGoesOn)
{
    testsim::TSimProcess sim({"--fast-clock", "--password", "secret"});
    ASSERT_TRUE(sim.Started());
    Start(TcpConnection(sim.Port()), QStringLiteral("secret"));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 2; }));
    EXPECT_NE(commons->RunState(), rsStopped);
}

TEST_F(PollingRun, AMeterNotReadyOrBusyIsAskedAgainSoon)
{
    // Every second clock reading is "not ready", every second data request
    // "busy": the meter at work, not a lost link. Five cycles take about 6 s
    // of short pauses; pauses that grew with each such answer took minutes.
    testsim::TSimProcess sim({"--fast-clock", "--no-channel-faults", "--firmware", "2217", "--fault",
                              "notready,on=datetime,skip=1,every=2", "--fault", "busy,on=data,every=2"});
    ASSERT_TRUE(sim.Started());
    QElapsedTimer clock;
    clock.start();
    Start(TcpConnection<TccnM7Dev>(sim.Port(), 1, 1));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 5; }, 60000));
    EXPECT_LT(clock.elapsed(), 20000);
}

TEST_F(PollingRun, AnAnswerBetweenLostRequestsKeepsThePauseShort)
{
    // The first four data answers are spoiled (not retried), the clock
    // readings between them come whole: the meter is there, the pause stays
    // at 1 s. Growing, it would be 1 + 2 + 4 + 8 s.
    testsim::TSimProcess sim(
        {"--fast-clock", "--no-channel-faults", "--firmware", "2217", "--fault", "checksum,on=data,count=4"});
    ASSERT_TRUE(sim.Started());
    QElapsedTimer clock;
    clock.start();
    Start(TcpConnection<TccnM7Dev>(sim.Port(), 1, 1));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 1; }, 60000));
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(PollingRun, ARefusedPortIsTriedAsOftenAsTheModeSays)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close(); // nothing listens there now

    TLinkStatistics last;
    QObject::connect(&commons->Events(), &TEngineEvents::LinkStatisticsChanged, &window,
                     [&](const TLinkStatistics &s) { last = s; });
    QElapsedTimer clock;
    clock.start();
    Start(TcpConnection(port, 5));
    ASSERT_TRUE(PumpUntil([&] { return Stopped(); }));
    EXPECT_GE(clock.elapsed(), 4 * 1000); // a pause between the attempts, not a burst
    QStringList texts = window.StatusTexts();
    ASSERT_GE(texts.size(), 7);
    EXPECT_EQ(texts.front(), QStringLiteral("Старт опроса"));
    EXPECT_EQ(texts.back(), QStringLiteral("Стоп опроса"));
    texts = texts.mid(1, texts.size() - 2);
    EXPECT_EQ(texts.size(), 5) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.front(), QStringLiteral("Удаленный сервер не найден."));
    EXPECT_EQ(commons->Severity(), svError);
    // each failed attempt counts as an error of the link and is in the log
    // with its time, as a single entry
    EXPECT_EQ(last.ConnectFailures, 5u);
    EXPECT_EQ(last.ShortText(), QStringLiteral("Обмен: 0 / ошибок 5"));
    EXPECT_TRUE(last.Lines().contains(QStringLiteral("Неудачных подключений: 5")));
    const QRegularExpression entry(QStringLiteral("^\\[\\d\\d\\.\\d\\d\\.\\d{4} [\\d:.]{12}\\] (.+)\r$"),
                                   QRegularExpression::MultilineOption);
    QStringList logged;
    for (auto match = entry.globalMatch(Log()); match.hasNext();)
        logged << match.next().captured(1);
    EXPECT_EQ(logged.count(texts.front()), 5) << logged.join(u'|').toStdString();

    // the operator's stop click can land after the run ended by itself: it
    // must not leave the manager waiting for a thread that is gone
    commons->Stop();
    EXPECT_EQ(commons->RunState(), rsStopped);
}

TEST_F(PollingRun, AFrozenMeterClockNeverTriggersADataRequest)
{
    testsim::TSimProcess sim({"--fast-clock", "--fault", "freeze,on=datetime,skip=1,count=100000"});
    ASSERT_TRUE(sim.Started());
    Start(TcpConnection<TccnM7Dev>(sim.Port()));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emNominalsChanged) >= 1; }));
    QThread::msleep(1500);
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(window.Count(emDataChanged), 0);
    // still waiting for the meter's next interval, not failed
    EXPECT_EQ(commons->RunState(), rsRunning);
    EXPECT_EQ(commons->Severity(), svInformation);
}

TEST_F(PollingRun, AStopDuringRetriesEndsTheRunPromptly)
{
    testsim::TSimProcess sim({"--fast-clock", "--fault", "silence,on=data,count=100000"});
    ASSERT_TRUE(sim.Started());
    Start(TcpConnection(sim.Port(), 1, 1000));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emNominalsChanged) >= 1; }));
    QThread::msleep(300);
    QDeadlineTimer bound(15000); // one exchange time-out and a little
    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(20000));
    EXPECT_FALSE(bound.hasExpired());
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(commons->RunState(), rsStopped);
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
}

TEST_F(PollingRun, StartIsIgnoredWhileARunIsActive)
{
    testsim::TSimProcess sim({"--fast-clock"});
    ASSERT_TRUE(sim.Started());
    Start(TcpConnection(sim.Port()));
    commons->Start();
    commons->Stop();
    commons->Start(); // still stop-requested: ignored
    ASSERT_TRUE(PumpUntil([&] { return Stopped(); }));
    EXPECT_EQ(window.Count(emPollStateChanged), 2);
}

TEST_F(PollingRun, AShortDataAnswerIsReportedAndKeepsTheLastValues)
{
    testsim::TSimProcess sim({"--fast-clock", "--fault", "length,on=data,skip=1,count=1,value=-100"});
    ASSERT_TRUE(sim.Started());
    Start(TcpConnection<TccnM7Dev>(sim.Port()));
    const QString shortAnswer = QStringLiteral("Неполный ответ с данными");
    ASSERT_TRUE(PumpUntil([&] { return !window.StatusTexts().filter(shortAnswer).isEmpty(); }))
        << window.StatusTexts().join(u'|').toStdString();
    EXPECT_EQ(window.Count(emDataChanged), 1);
    EXPECT_GT(Store().Value(VDSlot::Urms), 0.0f);
    // the next cycle is whole again and polling goes on
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 2; }));
}

TEST_F(PollingRun, AStopEndsARunWhoseAnswerDribblesIn)
{
    // One byte every 300 ms: the data answer would take over 20 minutes,
    // and every single read is well within its time-out.
    testsim::TSimProcess sim({"--fast-clock", "--fault", "dribble,on=data,value=300,count=100000"});
    ASSERT_TRUE(sim.Started());
    Start(TcpConnection<TccnM7Dev>(sim.Port()));
    ASSERT_TRUE(PumpUntil([&] { return window.Count(emNominalsChanged) >= 1; }));
    QThread::msleep(1500);       // well into the data answer
    QDeadlineTimer bound(15000); // the header and data time-outs, and slack
    commons->Stop();
    ASSERT_TRUE(commons->WaitForThread(20000));
    EXPECT_FALSE(bound.hasExpired());
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(window.Count(emDataChanged), 0);
    EXPECT_EQ(window.StatusTexts().back(), QStringLiteral("Стоп опроса"));
    EXPECT_FALSE(window.StatusTexts().contains(QStringLiteral("Идет обмен данными")));
    EXPECT_EQ(commons->Severity(), svInformation);                   // a stop is no line failure
    EXPECT_TRUE(Log().contains(QStringLiteral("Циклов опроса: 0"))); // the answer cut short is no cycle
}

TEST_F(PollingRun, SettingsLostToALineFailureAreReadBeforeTheNextCycle)
{
    // The first date-time or settings request goes unanswered (not retried)
    // or is answered without its data; the run must still get its nominals
    // before any data.
    const std::pair<const char *, QString> cases[] = {
        {"silence,on=datetime", QStringLiteral("Нет ответа от измерителя")},
        {"silence,on=settings", QStringLiteral("Нет ответа от измерителя")},
        {"notready,on=settings", QStringLiteral("Данные не готовы")},
        {"notready,on=datetime", QStringLiteral("Данные не готовы")},
        {"error,on=settings,value=33", QStringLiteral("Ответ прибора без данных (33) ")},
    };
    for (const auto &[fault, status] : cases) {
        SCOPED_TRACE(fault);
        testsim::TSimProcess sim({"--fast-clock", "--fault", fault});
        ASSERT_TRUE(sim.Started());
        window.messages.clear();
        Start(TcpConnection<TccnM7Dev>(sim.Port(), 1, 1));
        ASSERT_TRUE(PumpUntil([&] { return window.Count(emDataChanged) >= 2; }))
            << window.StatusTexts().join(u'|').toStdString();
        commons->Stop();
        ASSERT_TRUE(commons->WaitForThread(30000));
        QCoreApplication::sendPostedEvents(&window);

        EXPECT_FALSE(window.StatusTexts().filter(status).isEmpty()) << window.StatusTexts().join(u'|').toStdString();
        const auto firstOf = [&](int number) {
            return std::find_if(window.messages.begin(), window.messages.end(),
                                [&](const auto &m) { return m.Number == number; });
        };
        ASSERT_NE(firstOf(emNominalsChanged), window.messages.end());
        EXPECT_LT(firstOf(emNominalsChanged), firstOf(emDataChanged));
        EXPECT_EQ(window.Count(emNominalsChanged), 1);
        EXPECT_GT(Store().Value(VDSlot::UnomPhase), 0.0f);
    }
}
