// The executor's policies against a scripted meter on a loopback link:
// retries with reconnects, the password recovery, logging and stops.

#include "protocol/CommandExecutor.h"
#include "protocol/MeterPeer.h"

#include "common/Cp1251.h"
#include "common/Contracts.h"
#include "common/ProgramLog.h"
#include "support/LoopbackRecord.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>

#include <netinet/in.h>
#include <sys/socket.h>

using testpeer::Answer;
using testpeer::TReply;
using testpeer::TScriptedMeter;
using testsupport::LoopbackRecord;

namespace {

bool IsPassword(const QByteArray &request)
{
    return quint8(request[6]) == 0x0A && quint8(request[7]) == 0x85;
}
bool IsData(const QByteArray &request)
{
    return quint8(request[6]) == 0x01 && quint8(request[7]) == 0x01;
}

// A polling run in miniature: meter, driver, commands, log and executor.
class TRig
{
public:
    TRig(TScriptedMeter::TResponder responder, int maxAttempts)
        : meter(std::move(responder)),
          driver(LoopbackRecord(meter.Start())),
          commands(&driver),
          logger(dir.filePath(QStringLiteral("test.log")))
    {
        logger.Open();
        driver.SetDeviceNumber(5);
        commands.PasswordCommand()->Password = QStringLiteral("12345678");
        commands.DataCommand()->SetDescriptor({0x01, 0x01, 0x02, 0x03});
        driver.SetStopCheck([this] { return Stopped(); });
        TExecuterHost host;
        host.StopRequested = [this] { return Stopped(); };
        host.ReportStatus = [this](const QString &text, int severity) {
            statuses << QStringLiteral("%1|%2").arg(severity).arg(text);
        };
        host.Logger = &logger;
        host.Sleep = [this](int ms) {
            pauses.push_back(ms);
            if (onPause)
                onPause();
            QThread::msleep(static_cast<unsigned long>(ms));
        };
        executer = std::make_unique<TCommandExecuter>(commands.PasswordCommand(), maxAttempts, host);
        connected = driver.Channel()->Connect() == 0;
    }

    bool Stopped() const { return stop.load() || (stopWhen && stopWhen()); }

    // Log entries (block items without their indent, or the single text).
    std::vector<QStringList> LogEntries() const
    {
        QFile file(logger.FileName());
        file.open(QIODevice::ReadOnly);
        const QStringList lines = Cp1251::Decode(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        std::vector<QStringList> entries;
        for (const QString &line : lines) {
            if (line.startsWith(u'[')) {
                entries.emplace_back();
                const QString text = line.mid(TMonitorR5Logger::kIndent);
                if (!text.isEmpty())
                    entries.back() << text;
            } else if (!entries.empty()) {
                entries.back() << line.mid(TMonitorR5Logger::kIndent);
            }
        }
        return entries;
    }

    QTemporaryDir dir;
    TScriptedMeter meter;
    TM7 driver;
    TR5Commands commands;
    TMonitorR5Logger logger;
    std::unique_ptr<TCommandExecuter> executer;
    QStringList statuses;
    std::vector<int> pauses;
    std::function<void()> onPause;
    std::atomic<bool> stop{false};
    std::function<bool()> stopWhen;
    bool connected = false;
};

TEST(CommandExecuterRetry, SilentMeterIsAskedMaxAttemptTimesWithReconnectsAndLogged)
{
    TRig rig([](const QByteArray &, int) { return TReply{}; }, 3);
    ASSERT_TRUE(rig.connected);
    EXPECT_TRUE(rig.executer->Run(rig.commands.DataCommand())); // failed
    rig.driver.Channel()->Disconnect();
    rig.meter.Stop();

    EXPECT_EQ(rig.meter.RequestCount(), 3);
    EXPECT_EQ(rig.meter.Connections(), 3); // a new connection before each retry
    EXPECT_EQ(rig.pauses, std::vector<int>(2, 100));
    EXPECT_EQ(rig.commands.DataCommand()->ErrorCode(), -3);
    EXPECT_EQ(rig.statuses, QStringList{QStringLiteral("2|Нет ответа от измерителя")});

    const auto log = rig.LogEntries();
    ASSERT_EQ(log.size(), 2u);
    const QStringList before = {QStringLiteral("(-3) Нет ответа от измерителя"),
                                QStringLiteral("Команда: Запрос данных"),
                                QStringLiteral("Поля команды (в HEX). CMD: 01. CMD1: 01. iType: 02. iCount: 03.")};
    EXPECT_EQ(log[0], before);
    const QStringList after = before + QStringList({QStringLiteral("дополнительных попыток 2 из указанных 2"),
                                                    QStringLiteral("интервал между попытками = 100 мс")});
    EXPECT_EQ(log[1], after);
}

TEST(CommandExecuterRetry, SingleAttemptIsNotRetriedButLoggedTwice)
{
    TRig rig([](const QByteArray &, int) { return TReply{}; }, 1);
    ASSERT_TRUE(rig.connected);
    EXPECT_TRUE(rig.executer->Run(rig.commands.DateTimeCommand()));
    rig.driver.Channel()->Disconnect();
    rig.meter.Stop();
    EXPECT_EQ(rig.meter.RequestCount(), 1);
    EXPECT_TRUE(rig.pauses.empty());
    const auto log = rig.LogEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], log[1]);
    EXPECT_EQ(log[0], (QStringList{QStringLiteral("(-3) Нет ответа от измерителя"),
                                   QStringLiteral("Команда: Запрос даты/времени прибора")}));
}

TEST(CommandExecuterRetry, GarbageBadChecksumAndADroppedLinkAreRecoveredByRetries)
{
    TRig rig(
        [](const QByteArray &request, int index) {
            QByteArray good = Answer(request, 0, QByteArray(105, 't'));
            switch (index) {
            case 0: {
                QByteArray bad = good;
                bad[50] = static_cast<char>(bad[50] ^ 4);
                return TReply{bad};
            }
            case 1: return TReply{QByteArray(7, '\x13'), true}; // noise, then the line drops
            default: return TReply{QByteArray("noise") + good};
            }
        },
        5);
    ASSERT_TRUE(rig.connected);
    EXPECT_FALSE(rig.executer->Run(rig.commands.DateTimeCommand()));
    EXPECT_EQ(rig.commands.DateTimeCommand()->ErrorCode(), 0);
    EXPECT_EQ(rig.commands.DateTimeCommand()->DateTimeAnswer[104], 't');
    rig.driver.Channel()->Disconnect();
    rig.meter.Stop();
    EXPECT_EQ(rig.meter.RequestCount(), 3);
    EXPECT_TRUE(rig.statuses.isEmpty());
    const auto log = rig.LogEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].first(), QStringLiteral("(-9) Неверный CRC"));
    EXPECT_EQ(log[1].first(), QStringLiteral("(0) Ошибки нет"));
    EXPECT_EQ(log[1].at(2), QStringLiteral("дополнительных попыток 2 из указанных 4"));
}

TEST(CommandExecuterRetry, StopDuringThePausesEndsTheCommandAsDone)
{
    TRig rig([](const QByteArray &, int) { return TReply{}; }, 10);
    ASSERT_TRUE(rig.connected);
    rig.onPause = [&] { rig.stop = true; };
    EXPECT_FALSE(rig.executer->Run(rig.commands.DataCommand())); // done, not failed
    rig.driver.Channel()->Disconnect();
    rig.meter.Stop();
    EXPECT_EQ(rig.meter.RequestCount(), 1);
    EXPECT_EQ(rig.pauses.size(), 1u);
    EXPECT_TRUE(rig.statuses.isEmpty());

    // Already stopped: nothing is sent at all.
    TRig stopped([](const QByteArray &request, int) { return TReply{Answer(request, 0, {})}; }, 3);
    stopped.stop = true;
    EXPECT_FALSE(stopped.executer->Run(stopped.commands.DataCommand()));
    stopped.driver.Channel()->Disconnect();
    stopped.meter.Stop();
    EXPECT_EQ(stopped.meter.RequestCount(), 0);
}

// The local port of a connected channel: a new connection has a new one.
quint16 LocalPort(const TPCACustom &channel)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (channel.Handle() == -1 ||
        getsockname(static_cast<int>(channel.Handle()), reinterpret_cast<sockaddr *>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

TEST(CommandExecuterRetry, StopDuringTheReconnectSendsNothingMore)
{
    // The stop comes once the retry's new connection is up, in the pause
    // after connecting: the request must not go out on it.
    TRig rig([](const QByteArray &, int) { return TReply{}; }, 3);
    ASSERT_TRUE(rig.connected);
    const quint16 firstPort = LocalPort(*rig.driver.Channel());
    ASSERT_NE(firstPort, 0);
    rig.stopWhen = [&] {
        const quint16 port = LocalPort(*rig.driver.Channel());
        return port != 0 && port != firstPort;
    };
    EXPECT_FALSE(rig.executer->Run(rig.commands.DataCommand())); // done, not failed
    EXPECT_TRUE(rig.Stopped());                                  // the reconnect happened
    rig.driver.Channel()->Disconnect();
    rig.meter.Stop();
    EXPECT_EQ(rig.meter.RequestCount(), 1);
    EXPECT_EQ(rig.meter.Connections(), 2);
    EXPECT_TRUE(rig.statuses.isEmpty());
}

TEST(CommandExecuterClasses, MeterRefusalsAreLoggedAndNotRetried)
{
    // 7 busy (other failure), 2 bad CMD (not accepted), 17 wrong password.
    const quint16 codes[] = {7, 2, 17};
    const char *texts[] = {"Прибор занят", "Неверно поле Cmd", "неверный пароль"};
    for (int i = 0; i < 3; ++i) {
        TRig rig([&](const QByteArray &request, int) { return TReply{Answer(request, codes[i], {})}; }, 3);
        ASSERT_TRUE(rig.connected);
        EXPECT_TRUE(rig.executer->Run(rig.commands.DataCommand())) << codes[i];
        rig.driver.Channel()->Disconnect();
        rig.meter.Stop();
        EXPECT_EQ(rig.meter.RequestCount(), 1) << codes[i];
        EXPECT_EQ(rig.statuses, QStringList{QStringLiteral("2|") + QString::fromUtf8(texts[i])});
        const auto log = rig.LogEntries();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].first(), QStringLiteral("(%1) %2").arg(codes[i]).arg(QString::fromUtf8(texts[i])));
    }
}

TEST(CommandExecuterClasses, NoDataIsLoggedButDoneAndNotesAreSilentSuccesses)
{
    const quint16 codes[] = {1, 26, 33, 0};
    for (quint16 code : codes) {
        TRig rig([&](const QByteArray &request, int) { return TReply{Answer(request, code, QByteArray(8, 'n'))}; }, 3);
        ASSERT_TRUE(rig.connected);
        EXPECT_FALSE(rig.executer->Run(rig.commands.DataCommand())) << code;
        rig.driver.Channel()->Disconnect();
        rig.meter.Stop();
        EXPECT_TRUE(rig.statuses.isEmpty()) << code;
        EXPECT_EQ(rig.LogEntries().size(), code == 1 ? 1u : 0u) << code;
        // Code 1 brings no data to decode.
        EXPECT_EQ(rig.commands.DataCommand()->AnswerLength(), code == 1 ? 0 : 8) << code;
        EXPECT_EQ(rig.commands.DataCommand()->ResultClass(), code == 1   ? rcNoData
                                                             : code == 0 ? rcSuccess
                                                                         : rcAcceptedWithNote);
    }
}

TEST(CommandExecuterPassword, RefusalLeadsToOnePasswordFrameAndOneRepeat)
{
    TRig rig(
        [](const QByteArray &request, int index) {
            if (IsPassword(request))
                return TReply{Answer(request, 0, {})};
            return TReply{Answer(request, index == 0 ? 15 : 0, index == 0 ? QByteArray() : QByteArray(4, 'k'))};
        },
        3);
    ASSERT_TRUE(rig.connected);
    EXPECT_FALSE(rig.executer->Run(rig.commands.DataCommand()));
    rig.driver.Channel()->Disconnect();
    rig.meter.Stop();
    const auto requests = rig.meter.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_TRUE(IsData(requests[0]));
    EXPECT_TRUE(IsPassword(requests[1]));
    EXPECT_EQ(requests[1].mid(24, 9), QByteArray("12345678\0", 9));
    EXPECT_TRUE(IsData(requests[2]));
    EXPECT_EQ(rig.commands.DataCommand()->Answer(), QByteArray(4, 'k'));
    EXPECT_TRUE(rig.statuses.isEmpty());
    EXPECT_EQ(rig.driver.Counters().PasswordRequests, 1u);
}

TEST(CommandExecuterPassword, SecondRefusalFailsQuietlyAndRejectedPasswordIsReported)
{
    TRig again([](const QByteArray &request, int) { return TReply{Answer(request, IsPassword(request) ? 0 : 15, {})}; },
               3);
    ASSERT_TRUE(again.connected);
    EXPECT_TRUE(again.executer->Run(again.commands.SettingsCommand()));
    again.driver.Channel()->Disconnect();
    again.meter.Stop();
    EXPECT_EQ(again.meter.RequestCount(), 3); // command, password, command: no second password frame
    EXPECT_TRUE(again.statuses.isEmpty());
    EXPECT_EQ(again.driver.Counters().MeterCodes[15], 2u);
    EXPECT_EQ(again.driver.Counters().PasswordRequests, 1u); // the second 15 is a refusal
    EXPECT_EQ(again.commands.PasswordCommand()->ResultClass(), rcSuccess);

    TRig wrong(
        [](const QByteArray &request, int) { return TReply{Answer(request, IsPassword(request) ? 17 : 15, {})}; }, 3);
    ASSERT_TRUE(wrong.connected);
    EXPECT_TRUE(wrong.executer->Run(wrong.commands.DataCommand()));
    wrong.driver.Channel()->Disconnect();
    wrong.meter.Stop();
    EXPECT_EQ(wrong.meter.RequestCount(), 2); // command, password; no repeat
    EXPECT_EQ(wrong.statuses, QStringList{QStringLiteral("2|неверный пароль")});
    EXPECT_EQ(wrong.commands.PasswordCommand()->ResultClass(), rcWrongPassword);
}

TEST(CommandExecuterContracts, NullsAndZeroAttemptsAreProgrammingErrors)
{
    TM7 driver{TPCASettings{}};
    TR5Commands commands(&driver);
    EXPECT_THROW(TCommandExecuter(nullptr, 1, TExecuterHost{}), EPreConditions);
    EXPECT_THROW(TCommandExecuter(commands.PasswordCommand(), 0, TExecuterHost{}), EPreConditions);
    TCommandExecuter executer(commands.PasswordCommand(), 1, {});
    EXPECT_THROW(executer.Run(nullptr), EPreConditions);
}

} // namespace
