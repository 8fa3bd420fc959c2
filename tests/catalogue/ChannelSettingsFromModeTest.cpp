#include "catalogue/CatalogueObjects.h"
#include "catalogue/ChannelSettingsFromMode.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

bool AllZero(const TPCASettings &s, int from, int to)
{
    for (int i = from; i < to; ++i)
        if (s.Bytes[i] != 0)
            return false;
    return true;
}

QByteArray Field(const TPCASettings &s, int offset)
{
    return QByteArray(reinterpret_cast<const char *>(s.Bytes) + offset + 1, s.Bytes[offset]);
}

TEST(ConModeToPCASettings, NoModeGivesTheZeroRecord)
{
    const TPCASettings s = ConModeToPCASettings(nullptr);
    EXPECT_TRUE(AllZero(s, 0, 527));
}

TEST(ConModeToPCASettings, DirectCableAndOpticalProbe)
{
    TccnDirect232ConMode direct;
    direct.ComPortInterface().PortName = u"COM3"_s;
    direct.ComPortInterface().Baudrate = 57600;
    TPCASettings s = ConModeToPCASettings(&direct);
    EXPECT_EQ(s.Bytes[0], 1);
    EXPECT_EQ(Field(s, 1), "COM3");
    EXPECT_TRUE(AllZero(s, 6, 8)); // past the length
    EXPECT_EQ(s.Bytes[8] | s.Bytes[9] << 8 | s.Bytes[10] << 16 | s.Bytes[11] << 24, 57600);
    EXPECT_EQ(s.Bytes[12], 0);
    EXPECT_EQ(s.Bytes[13], 1);
    EXPECT_TRUE(AllZero(s, 14, 527));

    TccnVDOptoAttach232ConMode probe;
    probe.ComPortInterface().PortName = u"/dev/ttyUSB0"_s; // cut to 6 characters
    s = ConModeToPCASettings(&probe);
    EXPECT_EQ(s.Bytes[0], 1);
    EXPECT_EQ(Field(s, 1), "/dev/t");
    EXPECT_EQ(s.Bytes[12], 3);
    EXPECT_EQ(s.Bytes[13], 1);
    EXPECT_EQ(s.ComPort.BaudRate, 115200u);
}

TEST(ConModeToPCASettings, TelephoneModem)
{
    TccnPhoneModem232ConMode phone;
    phone.ComPortInterface().PortName = u"COM2"_s;
    phone.PhoneModem().InitString = u"ATE0"_s;
    phone.PhoneModem().PhoneNumber = u"84951234567"_s;
    TPCASettings s = ConModeToPCASettings(&phone);
    EXPECT_EQ(s.Bytes[0], 1);
    EXPECT_EQ(s.Bytes[12], 1);
    EXPECT_EQ(Field(s, 13), "ATE0");
    EXPECT_EQ(s.Bytes[269], 1);
    EXPECT_EQ(Field(s, 270), "84951234567");
    EXPECT_EQ(s.Bytes[526], 1); // tone

    phone.PhoneModem().DialType = pmdtPulse;
    EXPECT_EQ(ConModeToPCASettings(&phone).Bytes[526], 0);

    phone.PhoneModem().ConnectType = pmctDirect;
    phone.PhoneModem().InitString = QString(300, u'I');
    s = ConModeToPCASettings(&phone);
    EXPECT_EQ(s.Bytes[269], 0);
    EXPECT_TRUE(AllZero(s, 270, 527)); // number and tone left zero
    EXPECT_EQ(Field(s, 13), QByteArray(255, 'I'));
}

TEST(ConModeToPCASettings, RadioModem)
{
    TccnRadioModem232ConMode radio;
    radio.ComPortInterface().Baudrate = 9600;
    radio.RadioModem().CallNumber = u"Позывной-1"_s; // cp1251 in the record
    TPCASettings s = ConModeToPCASettings(&radio);
    EXPECT_EQ(s.Bytes[0], 1);
    EXPECT_EQ(Field(s, 1), "COM1");
    EXPECT_EQ(s.ComPort.BaudRate, 9600u);
    EXPECT_EQ(s.Bytes[12], 2);
    EXPECT_EQ(s.Bytes[13], 0); // empty init string
    EXPECT_EQ(Field(s, 269), QByteArray::fromHex("CFEEE7FBE2EDEEE92D31"));
}

TEST(ConModeToPCASettings, TcpAndItsPortRange)
{
    TccnDirectTCPIPConMode tcp;
    tcp.TCPIPInterface().IpAddress = u"192.168.100.200:9"_s; // cut to 15 characters
    tcp.TCPIPInterface().IpPort = 65535;
    TPCASettings s = ConModeToPCASettings(&tcp);
    EXPECT_EQ(s.Bytes[0], 2);
    EXPECT_EQ(Field(s, 1), "192.168.100.200");
    EXPECT_EQ(s.Bytes[17], 0xFF);
    EXPECT_EQ(s.Bytes[18], 0xFF);
    EXPECT_TRUE(AllZero(s, 19, 527));

    for (qint32 port : {65536, 2147483647, -1}) {
        tcp.TCPIPInterface().IpPort = port;
        EXPECT_THROW(ConModeToPCASettings(&tcp), EccnRangeError) << port;
    }
}

} // namespace
