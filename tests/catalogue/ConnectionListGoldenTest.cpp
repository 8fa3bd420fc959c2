// The worked example of the connection-list format: one M7 meter, factory
// number 12345, Tarvel protocol with defaults, direct cable on COM3 at
// 115200 bit/s. Its blocks are composed here byte by byte, independently of
// the writer, and both forms are compared with what the list saves.

#include "catalogue/ConnectionList.h"
#include "catalogue/PropertyStreamText.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray Short(const QByteArray &text)
{
    return char(text.size()) + text;
}

QByteArray Block(const QByteArray &className, const QByteArray &properties)
{
    return "TPF0" + Short(className) + QByteArray(1, '\0') + properties + QByteArray(2, '\0');
}

QByteArray Int8(int v)
{
    return QByteArray("\x02") + char(v);
}

QByteArray Int16(int v)
{
    return QByteArray("\x03") + char(v & 0xFF) + char((v >> 8) & 0xFF);
}

QByteArray Int32(qint32 v)
{
    QByteArray out("\x04");
    for (int i = 0; i < 4; ++i)
        out += char((quint32(v) >> (8 * i)) & 0xFF);
    return out;
}

QByteArray ExpectedDeviceBlock()
{
    // Offsets 0..57 of the table: signature, class, empty name, one
    // property with an int16, the two end tags.
    QByteArray block = QByteArray::fromHex("54504630") + QByteArray::fromHex("17") + "TccnCustomDeviceWrapper" +
                       QByteArray::fromHex("00") + QByteArray::fromHex("17") + "CustomDevice.FactoryNum" +
                       QByteArray::fromHex("033930") + QByteArray::fromHex("0000");
    return block;
}

QByteArray ExpectedProtocolBlock()
{
    return Block("TccnCustomDeviceProtocolWrapper", Short("CustomDeviceProtocol.DeviceAddress") + Int8(1) +
                                                        Short("CustomDeviceProtocol.MaxAttemptCount") + Int8(5) +
                                                        Short("CustomDeviceProtocol.MaxDataCount") + Int16(1000));
}

QByteArray ExpectedConModeBlock()
{
    return Block("TccnCustomConModeWrapper", Short("CustomConMode.MaxAttemptCountOnConnect") + Int8(5) +
                                                 Short("CustomConMode.CustomCommInterface.PortName") +
                                                 QByteArray("\x06") + Short("COM3") +
                                                 Short("CustomConMode.CustomCommInterface.Baudrate") + Int32(115200));
}

QByteArray HexLines(const QByteArray &data, const QByteArray &indent)
{
    QByteArray out;
    for (qsizetype i = 0; i < data.size(); i += 32)
        out += "\r\n" + indent + data.mid(i, 32).toHex().toUpper();
    return out;
}

QByteArray ExpectedText()
{
    QByteArray text;
    text += "object TccnConnectionListWrapper\r\n";
    text += "  ConnectionList.Version.VersionNumber = (\r\n    1\r\n    5\r\n    6\r\n    21)\r\n";
    text += "  ConnectionList.UIParams.DeviceTreeViewParams.Width = 130\r\n";
    text += "  ConnectionList.UIParams.ConnectionGridParams.StatusColWidth = 20\r\n";
    text += "  ConnectionList.UIParams.ConnectionGridParams.DevTypeColWidth = 180\r\n";
    text += "  ConnectionList.UIParams.ConnectionGridParams.DevProtocolColWidth = 70\r\n";
    text += "  ConnectionList.UIParams.ConnectionGridParams.ConModeColWidth = 100\r\n";
    text += "  ConnectionList.UIParams.ConnectionGridParams.ConModeParamColWidth = 185\r\n";
    text += "  ConnectionList.UIParams.ConnectionListFormParams.Width = 798\r\n";
    text += "  ConnectionList.UIParams.ConnectionListFormParams.Height = 461\r\n";
    text += "  ConnectionList.FMaxID = 0\r\n";
    text += "  ConnectionList = <\r\n";
    text += "    item\r\n";
    text += "      ConID = 0\r\n";
    text += "      FCustomDeviceType = dtM7\r\n";
    text += "      FCustomDeviceClass = TccnM7Dev\r\n";
    text += "      FCustomDeviceProtocolType = dptTarvel\r\n";
    text += "      FCustomDeviceProtocolClass = TccnTarvelProtocol\r\n";
    text += "      FCustomConModeType = cmtDirect232\r\n";
    text += "      FCustomConModeClass = TccnDirect232ConMode\r\n";
    text += "      CustomDevice = {" + HexLines(ExpectedDeviceBlock(), "        ") + "}\r\n";
    text += "      CustomDeviceProtocol = {" + HexLines(ExpectedProtocolBlock(), "        ") + "}\r\n";
    text += "      CustomConMode = {" + HexLines(ExpectedConModeBlock(), "        ") + "}\r\n";
    text += "    end>\r\n";
    text += "end\r\n";
    return text;
}

void FillWorkedExample(TccnConnectionList &list)
{
    TccnConnection connection;
    auto device = std::make_unique<TccnM7Dev>();
    device->FactoryNum = 12345;
    connection.SetCustomDevice(std::move(device));
    connection.SetCustomDeviceProtocol(std::make_unique<TccnTarvelProtocol>());
    auto mode = std::make_unique<TccnDirect232ConMode>();
    mode->ComPortInterface().PortName = u"COM3"_s;
    connection.SetCustomConMode(std::move(mode));
    ASSERT_TRUE(list.AddConnection(connection));
    ASSERT_EQ(connection.ConID, 0);
}

TEST(ConnectionListGolden, BlocksHaveTheTabledSizes)
{
    EXPECT_EQ(ExpectedDeviceBlock().size(), 58);
    EXPECT_EQ(ExpectedProtocolBlock().size(), 152);
    EXPECT_EQ(ExpectedConModeBlock().size(), 170);
}

TEST(ConnectionListGolden, TextFormLineForLine)
{
    TccnConnectionList list;
    FillWorkedExample(list);
    const QByteArray text = list.SaveToBytes(csfText);
    const QList<QByteArray> actual = text.split('\n');
    const QList<QByteArray> expected = ExpectedText().split('\n');
    ASSERT_EQ(actual.size(), expected.size()) << text.constData();
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "line " << i + 1;
    EXPECT_EQ(text, ExpectedText());
}

TEST(ConnectionListGolden, BinaryFormIs1283BytesWithTheDeviceBlockByteForByte)
{
    TccnConnectionList list;
    FillWorkedExample(list);
    const QByteArray binary = list.SaveToBytes(csfBinary);
    EXPECT_EQ(binary.size(), 1283);

    // The device block is the binary value of CustomDevice: tag 10, length 58.
    const QByteArray device = ExpectedDeviceBlock();
    const QByteArray tagged = Short("CustomDevice") + QByteArray::fromHex("0A3A000000") + device;
    EXPECT_TRUE(binary.contains(tagged));
    const QByteArray protocol = ExpectedProtocolBlock();
    EXPECT_TRUE(binary.contains(Short("CustomDeviceProtocol") + QByteArray::fromHex("0A98000000") + protocol));
    const QByteArray mode = ExpectedConModeBlock();
    EXPECT_TRUE(binary.contains(Short("CustomConMode") + QByteArray::fromHex("0AAA000000") + mode));

    // And the whole stream is the text form, converted.
    EXPECT_EQ(PropertyStream::TextToBinary(ExpectedText()), binary);
    EXPECT_EQ(PropertyStream::BinaryToText(binary), ExpectedText());
}

TEST(ConnectionListGolden, BothFormsReadBackIntoTheSameList)
{
    for (int format : {csfBinary, csfText}) {
        TccnConnectionList saved;
        FillWorkedExample(saved);
        const QByteArray data = saved.SaveToBytes(format);

        for (int readFormat : {format, int(csfAny)}) {
            TccnConnectionList loaded;
            loaded.LoadFromBytes(data, readFormat);
            ASSERT_EQ(loaded.Count(), 1);
            EXPECT_EQ(loaded.MaxID(), 0);
            const TccnConnection *c = loaded.Items(0);
            EXPECT_EQ(c->ConID, 0);
            auto *device = dynamic_cast<TccnM7Dev *>(c->CustomDevice());
            ASSERT_TRUE(device);
            EXPECT_EQ(device->FactoryNum, 12345);
            auto *protocol = dynamic_cast<TccnTarvelProtocol *>(c->CustomDeviceProtocol());
            ASSERT_TRUE(protocol);
            EXPECT_EQ(protocol->DeviceAddress, 1);
            EXPECT_EQ(protocol->MaxDataCount, 1000);
            auto *mode = dynamic_cast<TccnDirect232ConMode *>(c->CustomConMode());
            ASSERT_TRUE(mode);
            EXPECT_EQ(mode->ComPortInterface().PortName, u"COM3"_s);
            EXPECT_EQ(mode->ComPortInterface().Baudrate, 115200u);
            EXPECT_EQ(loaded.SaveToBytes(format), data);
        }
    }
}

} // namespace
