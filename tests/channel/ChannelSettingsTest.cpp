// Channel settings record, error texts, the channel factory and the base
// behaviour every channel kind inherits.

#include "channel/Channel.h"
#include "channel/TcpChannel.h"
#include "channel/ChannelSettings.h"

#include <gtest/gtest.h>

#include <QIODevice>

namespace {

TPCASettings TcpRecord(const QString &address, quint16 port)
{
    TPCASettings s{};
    s.Ethernet.ChannelType = pcaEthernetTCP;
    s.Ethernet.IpAddress.SetText(address);
    s.Ethernet.IpPort = port;
    return s;
}

TEST(PCASettingsRecord, TextFieldsAreLengthPrefixedCp1251CutToCapacityAndZeroPadded)
{
    TPCASettings s{};
    for (quint8 b : s.Bytes)
        ASSERT_EQ(b, 0);

    s.ComPort.ChannelType = pcaComPort;
    s.ComPort.PortName.SetText(u"COM12345");
    EXPECT_EQ(s.Bytes[1], 6);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(s.Bytes + 2), 6), QByteArray("COM123"));
    EXPECT_EQ(s.ComPort.PortName.Text(), QStringLiteral("COM123"));

    // A shorter text afterwards leaves no trace of the longer one.
    s.ComPort.PortName.SetText(u"COM1");
    EXPECT_EQ(s.Bytes[1], 4);
    EXPECT_EQ(s.Bytes[6], 0);
    EXPECT_EQ(s.Bytes[7], 0);

    s.ComPort.BaudRate = 115200;
    EXPECT_EQ(s.Bytes[8], 0x00);
    EXPECT_EQ(s.Bytes[9], 0xC2);
    EXPECT_EQ(s.Bytes[10], 0x01);
    EXPECT_EQ(s.Bytes[11], 0x00);

    s.ComPort.Mode = cpmRadioModem;
    s.ComPort.InitString.SetText(u"ATZ");
    s.ComPort.CallNumber.SetText(u"Ястреб");
    EXPECT_EQ(s.Bytes[12], 2);
    EXPECT_EQ(s.Bytes[13], 3);
    EXPECT_EQ(s.Bytes[269], 6);
    EXPECT_EQ(s.Bytes[270], 0xDF); // "Я" in Windows-1251
    EXPECT_EQ(s.ComPort.CallNumber.Text(), QStringLiteral("Ястреб"));

    const QString longText(300, u'9');
    s.ComPort.Mode = cpmPhoneModem;
    s.ComPort.Phone.DialKind = 1;
    s.ComPort.Phone.PhoneNumber.SetText(longText);
    s.ComPort.Phone.ToneDial = 1;
    EXPECT_EQ(s.Bytes[269], 1);
    EXPECT_EQ(s.Bytes[270], 255);
    EXPECT_EQ(s.Bytes[525], '9');
    EXPECT_EQ(s.Bytes[526], 1);
}

TEST(PCASettingsRecord, DamagedLengthByteNeverReadsPastTheField)
{
    TPCASettings s = TcpRecord(QStringLiteral("10.0.0.1"), 502);
    s.Bytes[1] = 200; // claims more than the 15-character area
    EXPECT_EQ(s.Ethernet.IpAddress.Size(), 15u);
    EXPECT_EQ(s.Ethernet.IpAddress.Bytes().size(), 15);
}

TEST(PCASettingsRecord, LinkKindFollowsTypeAndSerialMode)
{
    TPCASettings s{};
    EXPECT_EQ(PCALinkKind(s), plkUnknown);
    s.ChannelType = pcaComPort;
    s.ComPort.Mode = cpmDirect;
    EXPECT_EQ(PCALinkKind(s), plkSerial);
    s.ComPort.Mode = cpmOptoAttach;
    EXPECT_EQ(PCALinkKind(s), plkSerial);
    s.ComPort.Mode = cpmPhoneModem;
    EXPECT_EQ(PCALinkKind(s), plkPhoneModem);
    s.ComPort.Mode = cpmRadioModem;
    EXPECT_EQ(PCALinkKind(s), plkRadioModem);
    EXPECT_EQ(PCALinkKind(TcpRecord(QStringLiteral("1.2.3.4"), 1)), plkTcp);
    s.ChannelType = 3;
    EXPECT_EQ(PCALinkKind(s), plkUnknown);
}

TEST(PCAErrorTextTable, ExactTextsEmptyForZeroAndFallbackForGaps)
{
    EXPECT_TRUE(PCAErrorText(0).isEmpty());
    EXPECT_EQ(PCAErrorText(1), QStringLiteral("Действие не реализовано."));
    EXPECT_EQ(PCAErrorText(4), QStringLiteral("Неверный тип PCA."));
    EXPECT_EQ(PCAErrorText(12), QStringLiteral("Ошибка записи в порт"));
    EXPECT_EQ(PCAErrorText(13), QStringLiteral("Ошибка чтения из порта"));
    EXPECT_EQ(PCAErrorText(19), QStringLiteral("Удаленный сервер не найден."));
    EXPECT_EQ(PCAErrorText(20), QStringLiteral("Неверные IP и порт."));
    EXPECT_EQ(PCAErrorText(21), QStringLiteral("Неверные адрес."));
    EXPECT_EQ(PCAErrorText(22), QStringLiteral("Соединение потеряно."));
    EXPECT_EQ(PCAErrorText(24), QStringLiteral("Подключенное устройство неопределяется."));
    EXPECT_EQ(PCAErrorText(25), QStringLiteral("Нет соединения с оптической приставкой."));
    const QString unknown = QStringLiteral("Неизвестный код ошибки.");
    for (int code : {-1, 6, 7, 8, 9, 27, 100, 255})
        EXPECT_EQ(PCAErrorText(code), unknown) << code;
    int withText = 0;
    for (int code = 1; code <= 30; ++code)
        withText += PCAErrorText(code) != unknown ? 1 : 0;
    EXPECT_EQ(withText, 22); // 1-5 and 10-26
}

TEST(CreatePCAFactory, ChoosesTheClassByChannelTypeAndNoneForOthers)
{
    TPCASettings s{};
    EXPECT_EQ(CreatePCA(s), nullptr);
    s.ChannelType = 3;
    EXPECT_EQ(CreatePCA(s), nullptr);

    auto tcp = CreatePCA(TcpRecord(QStringLiteral("127.0.0.1"), 1));
    ASSERT_NE(tcp, nullptr);
    EXPECT_NE(dynamic_cast<TPCAEthernetTCP *>(tcp.get()), nullptr);
    EXPECT_EQ(tcp->LastError(), 0);

    // The serial channel exists as a channel object; until it can open
    // ports it says so through its creation error.
    s = TPCASettings{};
    s.ComPort.ChannelType = pcaComPort;
    s.ComPort.PortName.SetText(u"COM1");
    auto serial = CreatePCA(s);
    ASSERT_NE(serial, nullptr);
    EXPECT_NE(serial->LastError(), 0);
    EXPECT_EQ(serial->Handle(), -1);
}

// The smallest channel: only what a subclass must give.
class TBareChannel : public TPCACustom
{
public:
    using TPCACustom::TPCACustom;
    void Purge() override { ++purges; }
    int purges = 0;
};

TEST(PCACustomBase, UnprovidedOperationsFailWithNotImplemented)
{
    TBareChannel channel(TPCASettings{});
    EXPECT_EQ(channel.LastError(), 1);
    EXPECT_EQ(channel.Handle(), -1);
    EXPECT_EQ(channel.Connect(), -1);
    EXPECT_EQ(channel.LastError(), 1);
    EXPECT_EQ(channel.Disconnect(), -1);
    TPCASettings out{};
    EXPECT_EQ(channel.GetSettings(out), -1);
    EXPECT_EQ(channel.ApplySettings(out), -1);
    EXPECT_EQ(channel.LastError(), 1);
    EXPECT_FALSE(channel.IsSameTarget(out));
    EXPECT_TRUE(channel.IsSettingsChanged(out));
    EXPECT_EQ(channel.CheckDevice(), 24);

    // No link to move bytes over: refused at once, never a wait.
    char buffer[8] = {};
    quint32 count = 99;
    EXPECT_EQ(channel.Write(buffer, sizeof buffer, count), -1);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(channel.LastError(), 22);
    count = 99;
    EXPECT_EQ(channel.Read(buffer, sizeof buffer, 1000, count), -1);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(channel.LastError(), 22);
}

TEST(PCAEthernetTCPCreation, RefusesForeignRecordsAndBadAddresses)
{
    TPCASettings serial{};
    serial.ChannelType = pcaComPort;
    TPCAEthernetTCP wrongType(serial);
    EXPECT_EQ(wrongType.LastError(), 4);
    EXPECT_EQ(wrongType.Handle(), -1);
    EXPECT_EQ(wrongType.Connect(), -1);
    EXPECT_EQ(wrongType.LastError(), 21); // nothing kept, so no address

    for (const char *bad : {"256.1.1.1", "1.2.3.999", "255.255.255.255", "1.2.3", "1.2.3.4.5", "", "localhost",
                            " 1.2.3.4", "1.2.3.4 ", "1..3.4", "1.2.3.-4", "1.2.3.0004"}) {
        TPCAEthernetTCP channel(TcpRecord(QString::fromLatin1(bad), 80));
        EXPECT_EQ(channel.LastError(), 21) << bad;
        EXPECT_EQ(channel.Handle(), -1) << bad;
        // Nothing was kept from the bad record.
        TPCASettings out{};
        channel.GetSettings(out);
        EXPECT_EQ(out.Ethernet.IpAddress.Length, 0) << bad;
        // And it cannot be connected.
        EXPECT_EQ(channel.Connect(), -1) << bad;
        EXPECT_EQ(channel.LastError(), 21) << bad;
    }
    for (const char *good : {"0.0.0.0", "127.0.0.1", "255.255.255.254", "10.01.1.1"}) {
        TPCAEthernetTCP channel(TcpRecord(QString::fromLatin1(good), 80));
        EXPECT_EQ(channel.LastError(), 0) << good;
    }
}

TEST(PCAEthernetTCPSettings, ReturnsItsBytesAndComparesTargetsByteForByte)
{
    TPCASettings record = TcpRecord(QStringLiteral("192.168.1.20"), 4001);
    TPCAEthernetTCP channel(record);
    ASSERT_EQ(channel.LastError(), 0);

    TPCASettings out;
    std::memset(out.Bytes, 0xAA, sizeof out.Bytes);
    EXPECT_EQ(channel.GetSettings(out), 0);
    EXPECT_EQ(out.ChannelType, 2);
    EXPECT_EQ(std::memcmp(out.Bytes + 1, record.Bytes + 1, 274), 0);
    for (int i = 275; i < 527; ++i)
        ASSERT_EQ(out.Bytes[i], 0xAA) << i; // the caller's bytes past 274 stay as they were

    EXPECT_TRUE(channel.IsSameTarget(record));
    EXPECT_FALSE(channel.IsSettingsChanged(record));
    EXPECT_EQ(channel.ApplySettings(record), 0);
    EXPECT_EQ(channel.LastError(), 0);

    TPCASettings otherPort = record;
    otherPort.Ethernet.IpPort = 4002;
    EXPECT_FALSE(channel.IsSameTarget(otherPort));
    EXPECT_TRUE(channel.IsSettingsChanged(otherPort));
    EXPECT_EQ(channel.ApplySettings(otherPort), -1);
    EXPECT_EQ(channel.LastError(), 20);

    // Same text, but a stray byte behind it: not the same target.
    TPCASettings stray = record;
    stray.Ethernet.IpAddress.Chars[14] = 'x';
    EXPECT_FALSE(channel.IsSameTarget(stray));

    TPCASettings serial{};
    serial.ChannelType = pcaComPort;
    EXPECT_FALSE(channel.IsSameTarget(serial));
    EXPECT_EQ(channel.ApplySettings(serial), -1);
    EXPECT_EQ(channel.LastError(), 4);

    // The reserved bytes past the port do not take part.
    TPCASettings reserved = record;
    reserved.Bytes[300] = 7;
    EXPECT_TRUE(channel.IsSameTarget(reserved));
}

} // namespace
