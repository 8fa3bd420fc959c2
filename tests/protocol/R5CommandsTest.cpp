// Commands: what they send, what they keep, the firmware and clock decoding,
// result classes and log lines; the oscillogram transfer over loopback.

#include "protocol/MeterPeer.h"
#include "protocol/R5Commands.h"

#include "common/Contracts.h"
#include "support/LoopbackRecord.h"

#include <gtest/gtest.h>

using testpeer::Answer;
using testpeer::TReply;
using testpeer::TScriptedMeter;
using testsupport::LoopbackRecord;

namespace {

void PutFirmware(TR5DateTimeInfoCommand &command, const char (&text)[6])
{
    for (int i = 0; i < 5; ++i)
        command.DateTimeAnswer[30 + i] = static_cast<quint8>(text[i]);
}

TEST(R5DateTimeInfo, FirmwareVersionRules)
{
    TM7 driver{TPCASettings{}};
    TR5DateTimeInfoCommand c(&driver);
    const struct
    {
        const char text[6];
        int version;
    } rows[] = {
        {"22.17", 2217}, {"22.18", 2218}, {"04.09", 409}, {"99.99", 9999}, {"V2218", 221}, // no point at b2: b1 b2 b3
        {"2.218", 409}, // point elsewhere, ".21" is no number
        {"ab.cd", 409},  {" 2.18", 409},  {"-1.00", 409}, {"X-12Y", 409},
    };
    for (const auto &row : rows) {
        PutFirmware(c, row.text);
        EXPECT_EQ(c.FirmwareVersion(), row.version) << row.text;
    }
    c.DateTimeAnswer.fill(0);
    EXPECT_EQ(c.FirmwareVersion(), 409);
}

TEST(R5DateTimeInfo, MeterClockDecodesOrRaises)
{
    TM7 driver{TPCASettings{}};
    TR5DateTimeInfoCommand c(&driver);
    const quint8 clock[] = {7, 12, 26, 15, 24, 10};
    std::copy(std::begin(clock), std::end(clock), c.DateTimeAnswer.begin());
    EXPECT_EQ(c.DateTime(), QDateTime(QDate(2026, 12, 7), QTime(15, 24, 10, 0)));
    c.DateTimeAnswer[1] = 13;
    EXPECT_THROW(c.DateTime(), ER5InvalidDateTime);
    c.DateTimeAnswer[1] = 2;
    c.DateTimeAnswer[0] = 30;
    EXPECT_THROW(c.DateTime(), ER5InvalidDateTime);
    c.DateTimeAnswer[0] = 28;
    c.DateTimeAnswer[3] = 24;
    EXPECT_THROW(c.DateTime(), ER5InvalidDateTime);
}

TEST(R5ResultClasses, EveryCodeFallsIntoItsClass)
{
    const struct
    {
        TR5ResultClass cls;
        std::vector<int> codes;
    } table[] = {
        {rcSuccess, {0}},
        {rcAcceptedWithNote, {26, 33}},
        {rcNoData, {1, 4, 12, 13, 14, 23, 24, 25}},
        {rcNotAccepted, {2, 3, 6, 9, 10, 20, 21, 100}},
        {rcLinkFailure, {-1, -2, -3, -4, -9}},
        {rcPasswordNotRemoved, {15}},
        {rcWrongPassword, {17}},
        {rcOtherFailure, {5, 7, 8, 11, 16, 18, 19, 22, 27, -5, -6, -7, -8, 28, 127, 99}},
    };
    for (const auto &row : table)
        for (int code : row.codes)
            EXPECT_EQ(R5ResultClass(code), row.cls) << code;
}

TEST(R5CommandBase, LogLinesContractsAndTheAbstractExchange)
{
    TM7 driver{TPCASettings{}};
    TR5DataCommand data(&driver);
    data.SetDescriptor({0x01, 0x0C, 0xAB, 0x03});
    QStringList lines = {QStringLiteral("stale")};
    data.WriteLog(&lines);
    EXPECT_EQ(lines, QStringList({QStringLiteral("(0) Ошибки нет"), QStringLiteral("Команда: Запрос данных"),
                                  QStringLiteral("Поля команды (в HEX). CMD: 01. CMD1: 0C. iType: AB. iCount: 03.")}));
    EXPECT_THROW(data.WriteLog(nullptr), EPreConditions);

    // Without a channel the exchange cannot write: 254 held as -2.
    data.Execute();
    EXPECT_EQ(data.ErrorCode(), -2);
    EXPECT_EQ(data.ResultClass(), rcLinkFailure);
    data.WriteLog(&lines);
    EXPECT_EQ(lines.first(), QStringLiteral("(-2) Ошибка записи в порт / записаны не все необходимые данные"));

    const struct
    {
        std::unique_ptr<TR5Command> command;
        const char *line;
    } own[] = {
        {std::make_unique<TR5PasswordCommand>(&driver), "Команда: Снятие пароля"},
        {std::make_unique<TR5SettingsCommand>(&driver), "Команда: Запрос настроек напряжения"},
        {std::make_unique<TR5DateTimeInfoCommand>(&driver), "Команда: Запрос даты/времени прибора"},
        {std::make_unique<TR5TimeSettingsCommand>(&driver), "Команда: Запрос настроек интервалов времени"},
        {std::make_unique<TR5OscillogramCommand>(&driver), "Команда: Запрос осциллограммы"},
    };
    for (const auto &row : own) {
        row.command->FillLogLines(lines);
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[1], QString::fromUtf8(row.line));
    }

    TR5Command base(&driver);
    try {
        base.Execute();
        ADD_FAILURE() << "no exception";
    } catch (const EPseudoAbstract &e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("TR5Command.DoR5Command"))) << e.what();
    }
    EXPECT_THROW(TR5DataCommand(nullptr), EPreConditions);
    EXPECT_THROW(TR5CommandTryingsRepeating(nullptr, 1), EPreConditions);
}

TEST(R5CommandSets, RunSetAndCycleDescriptors)
{
    TM7 m7{TPCASettings{}};
    TR5Commands forM7(&m7);
    EXPECT_NE(forM7.DataCommand(), nullptr);
    EXPECT_NE(forM7.DateTimeCommand(), nullptr);
    EXPECT_NE(forM7.PasswordCommand(), nullptr);
    EXPECT_NE(forM7.SettingsCommand(), nullptr);
    EXPECT_NE(forM7.TimeSettingsCommand(), nullptr);
    EXPECT_EQ(forM7.OscillogramCommand(), nullptr);
    TR5_AS2020 r5{TPCASettings{}};
    TR5Commands forR5(&r5);
    ASSERT_NE(forR5.OscillogramCommand(), nullptr);
    EXPECT_EQ(forR5.OscillogramCommand()->Device(), &r5);

    TCommandsVD requests;
    requests.Add({9, 9, 9, 9});
    requests.SetDefault(3);
    requests.SetDefault(3);
    ASSERT_EQ(requests.Count(), 1);
    EXPECT_EQ(requests[0], (TR5Descriptor{0x01, 0x01, 0x02, 0x03}));
}

TEST(R5CommandExchanges, FixedRequestsGoOutAsSpecifiedAndAnswersLandInTheirBlocks)
{
    TScriptedMeter meter([](const QByteArray &request, int) {
        const quint8 cmd1 = quint8(request[7]);
        const int size = cmd1 == 0x0F ? 551 : cmd1 == 0x02 ? 105 : cmd1 == 0x15 ? 192 : 12;
        QByteArray data(size, '\0');
        data[0] = static_cast<char>(cmd1);
        data[size - 1] = 'E';
        return TReply{Answer(request, 0, data)};
    });
    TM7_SQ driver(LoopbackRecord(meter.Start()));
    driver.SetDeviceNumber(3);
    ASSERT_EQ(driver.Channel()->Connect(), 0);
    TR5Commands commands(&driver);
    commands.SettingsCommand()->Execute();
    commands.DateTimeCommand()->Execute();
    commands.TimeSettingsCommand()->Execute();
    commands.DataCommand()->SetDescriptor({0x01, 0x01, 0x02, 0x03});
    commands.DataCommand()->Execute();
    driver.Channel()->Disconnect();
    meter.Stop();

    EXPECT_EQ(commands.SettingsCommand()->ErrorCode(), 0);
    EXPECT_EQ(commands.SettingsCommand()->SettingsAnswer[0], 0x0F);
    EXPECT_EQ(commands.SettingsCommand()->SettingsAnswer[550], 'E');
    EXPECT_EQ(commands.DateTimeCommand()->DateTimeAnswer[104], 'E');
    EXPECT_EQ(commands.TimeSettingsCommand()->IntervalsAnswer[191], 'E');
    EXPECT_EQ(commands.DataCommand()->AnswerLength(), 12);

    const auto requests = meter.Requests();
    ASSERT_EQ(requests.size(), 4u);
    const quint8 expected[4][4] = {{0x0A, 0x0F, 1, 1}, {0x0A, 0x02, 1, 1}, {0x0A, 0x15, 1, 1}, {0x01, 0x01, 2, 3}};
    for (int i = 0; i < 4; ++i) {
        const auto f = R5Frame::ReadFields(testpeer::Span(requests[i]));
        EXPECT_EQ(f.Cmd, expected[i][0]) << i;
        EXPECT_EQ(f.Cmd1, expected[i][1]) << i;
        EXPECT_EQ(f.IType, expected[i][2]) << i;
        EXPECT_EQ(f.ICount, expected[i][3]) << i;
        EXPECT_EQ(f.DataLength, 0) << i;
        EXPECT_EQ(f.DeviceTypeCode, 12) << i;
        EXPECT_EQ(f.Param, 1) << i;
    }
}

TEST(R5CommandExchanges, OscillogramCollectsPartsByOffsetThenTheLastPart)
{
    TScriptedMeter meter([](const QByteArray &request, int index) {
        switch (index) {
        case 0: return TReply{Answer(request, 33, QByteArray(1000, 'A'))};
        case 1: return TReply{Answer(request, 33, QByteArray(500, 'B'))};
        case 2: return TReply{Answer(request, 1, {})}; // not ready: nothing changes
        default: return TReply{Answer(request, 0, QByteArray("cfg text"))};
        }
    });
    TM7_L12020 driver(LoopbackRecord(meter.Start()));
    ASSERT_EQ(driver.Channel()->Connect(), 0);
    auto osc = driver.CreateOscillogramCommand();
    ASSERT_NE(osc, nullptr);
    osc->Last = "old";
    osc->Parts = "old";
    osc->Reset();
    osc->OscPeriods = 5;
    for (int i = 0; i < 4; ++i)
        osc->Execute();
    driver.Channel()->Disconnect();
    meter.Stop();

    EXPECT_EQ(osc->ErrorCode(), 0);
    EXPECT_EQ(osc->Parts, QByteArray(1000, 'A') + QByteArray(500, 'B'));
    EXPECT_EQ(osc->Last, QByteArray("cfg text"));
    const auto requests = meter.Requests();
    ASSERT_EQ(requests.size(), 4u);
    const quint32 offsets[] = {0, 1000, 1500, 1500};
    for (int i = 0; i < 4; ++i) {
        const auto f = R5Frame::ReadFields(testpeer::Span(requests[i]));
        EXPECT_EQ(f.Cmd, 0x01);
        EXPECT_EQ(f.Cmd1, 0x0C);
        EXPECT_EQ(f.IType, 1);
        EXPECT_EQ(f.ICount, 5);
        ASSERT_EQ(f.DataLength, 4);
        const auto b = testpeer::Span(requests[i]).subspan(24, 4);
        EXPECT_EQ(quint32(b[0] | b[1] << 8 | b[2] << 16 | quint32(b[3]) << 24), offsets[i]) << i;
    }
}

} // namespace
