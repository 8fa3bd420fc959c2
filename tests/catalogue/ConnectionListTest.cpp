#include "catalogue/ConnectionList.h"
#include "catalogue/PropertyStreamText.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kPrefix = u"Список подключений. Ошибка загрузки данных. Неверный формат. "_s;

std::unique_ptr<TccnConnection> MakeConnection(std::unique_ptr<TccnCustomDevice> device, qint32 factoryNum,
                                               std::unique_ptr<TccnCustomDeviceProtocol> protocol,
                                               std::unique_ptr<TccnCustomConMode> mode)
{
    auto c = std::make_unique<TccnConnection>();
    device->FactoryNum = factoryNum;
    c->SetCustomDevice(std::move(device));
    c->SetCustomDeviceProtocol(std::move(protocol));
    c->SetCustomConMode(std::move(mode));
    return c;
}

std::unique_ptr<TccnConnection> Simple(TDeviceType type, qint32 factoryNum, int protocol = dptTarvel,
                                       int mode = cmtDirect232)
{
    return MakeConnection(CreateDeviceByType(type), factoryNum, CreateDeviceProtocolByType(protocol),
                          CreateConModeByType(mode));
}

// Every kind of part, with values other than the defaults.
void FillRichList(TccnConnectionList &list)
{
    auto r5 = std::make_unique<TccnR5Dev>();
    r5->Comment = u"Подстанция №2, ввод 1"_s;
    r5->R5Test = -70000;
    r5->TestStr = u"Тест"_s;
    auto iec101 = std::make_unique<TccnIEC101Protocol>();
    iec101->LinkAddress = 300;
    iec101->LinkAddressLength = 2;
    iec101->MaxFrameLength = 200;
    auto phone = std::make_unique<TccnPhoneModem232ConMode>();
    phone->ComPortInterface().PortName = u"COM12"_s;
    phone->ComPortInterface().Baudrate = 9600;
    phone->PhoneModem().InitString = u"AT&F"_s;
    phone->PhoneModem().PhoneNumber = u"8(495)123-45-67"_s;
    phone->PhoneModem().DialType = pmdtPulse;
    phone->MaxAttemptCountOnConnect = 1;
    auto c1 = MakeConnection(std::move(r5), 1001, std::move(iec101), std::move(phone));
    list.AddConnection(*c1);

    auto iec104 = std::make_unique<TccnIEC104Protocol>();
    iec104->K = 100;
    iec104->t4 = 1;
    auto radio = std::make_unique<TccnRadioModem232ConMode>();
    radio->RadioModem().CallNumber = u"RZ-77"_s;
    auto c2 = MakeConnection(CreateDeviceByType(dtM7SQ), 2147483647, std::move(iec104), std::move(radio));
    list.AddConnection(*c2);

    auto modbus = std::make_unique<TccnModbusTCPProtocol>();
    modbus->DevAddress = 247;
    auto tcp = std::make_unique<TccnDirectTCPIPConMode>();
    tcp->TCPIPInterface().IpAddress = u"192.168.1.10"_s;
    tcp->TCPIPInterface().IpPort = 4001;
    auto c3 = MakeConnection(CreateDeviceByType(dtConverterJX), -5, std::move(modbus), std::move(tcp));
    list.AddConnection(*c3);

    auto c4 = MakeConnection(CreateDeviceByType(dtR5AS2020), 77, std::make_unique<TccnModbusRTUProtocol>(),
                             std::make_unique<TccnVDOptoAttach232ConMode>());
    list.AddConnection(*c4);

    TccnConnection partial; // a device only
    partial.SetCustomDevice(CreateDeviceByType(dtKL));
    list.AddConnection(partial);

    TccnConnection bare; // nothing at all
    list.AddConnection(bare);

    list.UIParams().DeviceTreeViewParams.Width = 222;
    list.UIParams().ConnectionListFormParams.Height = 1000;
}

QString LoadError(const QByteArray &data, int format)
{
    TccnConnectionList list;
    try {
        list.LoadFromBytes(data, format);
    } catch (const EccnConnectionList &e) {
        return e.Message();
    }
    return QString();
}

TEST(ConnectionList, IdentifiersAreIssuedOnceAndNeverReused)
{
    TccnConnectionList list;
    EXPECT_EQ(list.MaxID(), -1);
    auto a = Simple(dtM7, 1);
    auto b = Simple(dtM7, 2);
    EXPECT_TRUE(list.AddConnection(*a));
    EXPECT_EQ(a->ConID, 0);
    EXPECT_TRUE(list.AddConnection(*b));
    EXPECT_EQ(b->ConID, 1);
    EXPECT_TRUE(list.DeleteConnection(0));
    EXPECT_FALSE(list.DeleteConnection(0));
    auto c = Simple(dtM7, 3);
    list.AddConnection(*c);
    EXPECT_EQ(c->ConID, 2);
    EXPECT_EQ(list.MaxID(), 2);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.IndexOfConID(2), 1);
    EXPECT_EQ(list.IndexOfConID(0), -1);
    EXPECT_EQ(list.FindByConID(1)->CustomDevice()->FactoryNum, 2);
    EXPECT_EQ(list.Items(2), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);

    // The list holds its own copy.
    a->CustomDevice()->FactoryNum = 999;
    c->CustomDevice()->FactoryNum = 555;
    EXPECT_EQ(list.FindByConID(2)->CustomDevice()->FactoryNum, 3);
    EXPECT_TRUE(list.UpdateConnection(*c));
    EXPECT_EQ(list.FindByConID(2)->CustomDevice()->FactoryNum, 555);
    a->ConID = 0;
    EXPECT_FALSE(list.UpdateConnection(*a));

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.MaxID(), 2);
}

TEST(ConnectionList, ALoadedMaxIDNeverFallsBelowTheLoadedIdentifiers)
{
    TccnConnectionList list;
    for (int i = 0; i < 3; ++i) {
        auto c = Simple(dtM7, i);
        list.AddConnection(*c);
    }
    QByteArray text = list.SaveToBytes(csfText);
    ASSERT_TRUE(text.contains("ConnectionList.FMaxID = 2\r\n"));
    text.replace("ConnectionList.FMaxID = 2\r\n", "ConnectionList.FMaxID = 0\r\n");
    TccnConnectionList loaded;
    loaded.LoadFromBytes(text, csfText);
    EXPECT_EQ(loaded.MaxID(), 2);
    auto c = Simple(dtM7, 9);
    loaded.AddConnection(*c);
    EXPECT_EQ(c->ConID, 3);
    EXPECT_EQ(loaded.IndexOfConID(3), 3);

    // At the last identifier nothing is added rather than wrapping around.
    text.replace("ConnectionList.FMaxID = 0\r\n", "ConnectionList.FMaxID = 2147483647\r\n");
    loaded.LoadFromBytes(text, csfText);
    EXPECT_FALSE(loaded.AddConnection(*c));
    EXPECT_EQ(loaded.Count(), 3);
    EXPECT_THROW(loaded.LoadFromBytes(text, 7), EccnConnectionList);
}

TEST(ConnectionList, ConnectionAssignKeepsPartsTheSourceLacks)
{
    auto full = Simple(dtM7, 10);
    TccnConnection deviceOnly;
    deviceOnly.ConID = 4;
    deviceOnly.SetCustomDevice(CreateDeviceByType(dtR5AS));
    full->Selected = true;
    full->Assign(deviceOnly);
    EXPECT_EQ(full->ConID, 4);
    EXPECT_EQ(full->CustomDevice()->DeviceType(), dtR5AS);
    EXPECT_NE(full->CustomDevice(), deviceOnly.CustomDevice());
    EXPECT_TRUE(full->CustomDeviceProtocol());
    EXPECT_TRUE(full->CustomConMode());
    EXPECT_TRUE(full->Selected);
    full->Assign(*full); // self-assignment keeps everything
    EXPECT_EQ(full->CustomDevice()->DeviceType(), dtR5AS);
}

TEST(ConnectionList, QueriesOverDevices)
{
    TccnConnectionList list;
    for (auto [type, number] : {std::pair{dtM7, 1}, {dtM7, 1}, {dtM7, 2}, {dtR5AS, 5}}) {
        auto c = Simple(type, number);
        list.AddConnection(*c);
    }
    TccnConnection noDevice;
    list.AddConnection(noDevice);
    EXPECT_FALSE(list.IsSingleOfType(dtM7));
    EXPECT_TRUE(list.IsSingleOfType(dtR5AS));
    EXPECT_FALSE(list.IsSingleOfDevice(dtM7, 1));
    EXPECT_TRUE(list.IsSingleOfDevice(dtM7, 2));
    EXPECT_TRUE(list.HasType(dtM7));
    EXPECT_FALSE(list.HasType(dtKL));
    EXPECT_TRUE(list.HasDevice(dtR5AS, 5));
    EXPECT_FALSE(list.HasDevice(dtR5AS, 6));

    list.SetAllSelected(true);
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_TRUE(list.Items(i)->Selected);
    list.SetAllSelected(false);
    EXPECT_FALSE(list.Items(0)->Selected);
}

TEST(ConnectionList, SortByTypeNumberProtocolModeThenID)
{
    TccnConnectionList list;
    std::vector<std::unique_ptr<TccnConnection>> input;
    input.push_back(Simple(dtM7SQ, 1));                          // 0
    input.push_back(Simple(dtM7, 5, dptTarvel, cmtDirectTCPIP)); // 1
    input.push_back(Simple(dtM7, 5, dptTarvel, cmtDirect232));   // 2
    input.push_back(Simple(dtM7, 5, dptIEC101, cmtDirect232));   // 3
    input.push_back(Simple(dtM7, -3));                           // 4
    input.push_back(Simple(dtM7, 5, dptTarvel, cmtDirect232));   // 5
    input.push_back(Simple(dtR5AS, 100));                        // 6
    for (auto &c : input)
        list.AddConnection(*c);
    TccnConnection empty;
    list.AddConnection(empty); // 7: no parts, sorts first
    list.SortConnections();
    std::vector<int> order;
    for (int i = 0; i < list.Count(); ++i)
        order.push_back(list.Items(i)->ConID);
    EXPECT_EQ(order, (std::vector<int>{7, 6, 4, 2, 5, 1, 3, 0}));
}

TEST(ConnectionListStream, EmptyListEndsWithAnEmptyCollection)
{
    TccnConnectionList list;
    const QByteArray binary = list.SaveToBytes(csfBinary);
    EXPECT_TRUE(binary.endsWith(QByteArray("\x0E") + "ConnectionList" + QByteArray::fromHex("0E000000")))
        << binary.toHex().constData();
    const QByteArray text = list.SaveToBytes(csfText);
    EXPECT_TRUE(text.contains("\r\n  ConnectionList.FMaxID = -1\r\n  ConnectionList = <>\r\nend\r\n"));

    TccnConnectionList loaded;
    auto stale = Simple(dtM7, 1);
    loaded.AddConnection(*stale);
    loaded.LoadFromBytes(text, csfText);
    EXPECT_EQ(loaded.Count(), 0);
    EXPECT_EQ(loaded.MaxID(), -1);
}

TEST(ConnectionListStream, TextsTakeTheirTagsInsideTheBlocks)
{
    TccnConnectionList list;
    auto c = Simple(dtM7, 1, dptTarvel, cmtPhoneModem232);
    c->CustomDevice()->Comment = u"Щит"_s;
    auto &phone = dynamic_cast<TccnPhoneModem232ConMode &>(*c->CustomConMode());
    phone.ComPortInterface().PortName = u"COM3"_s;
    list.AddConnection(*c);
    const QByteArray binary = list.SaveToBytes(csfBinary);
    EXPECT_TRUE(
        binary.contains(QByteArray("\x14") + "CustomDevice.Comment" + QByteArray::fromHex("1203000000290438044204")));
    EXPECT_TRUE(binary.contains(QByteArray("\x2A") + "CustomConMode.CustomCommInterface.PortName" +
                                QByteArray::fromHex("0604") + "COM3"));
    EXPECT_FALSE(binary.contains("InitString"));
    EXPECT_FALSE(binary.contains("PhoneNumber"));
    EXPECT_TRUE(binary.contains(QByteArray("\x2C") + "CustomConMode.CustomCommHardware.ConnectType" +
                                QByteArray::fromHex("070B") + "pmctDialing"));
    EXPECT_TRUE(binary.contains("CustomConMode.CustomCommHardware.DialType"));

    phone.PhoneModem().InitString = u"ATZ"_s;
    list.UpdateConnection(*c);
    EXPECT_TRUE(list.SaveToBytes(csfBinary).contains("CustomConMode.CustomCommHardware.InitString"));
}

TEST(ConnectionListStream, RichListSurvivesBothFormsAndTheirConversion)
{
    TccnConnectionList list;
    FillRichList(list);
    const QByteArray binary = list.SaveToBytes(csfBinary);
    const QByteArray text = list.SaveToBytes(csfText);
    EXPECT_EQ(PropertyStream::TextToBinary(text), binary);
    EXPECT_EQ(PropertyStream::BinaryToText(binary), text);

    for (const QByteArray &data : {binary, text}) {
        TccnConnectionList loaded;
        loaded.LoadFromBytes(data, csfAny);
        EXPECT_EQ(loaded.SaveToBytes(csfBinary), binary);
        ASSERT_EQ(loaded.Count(), 6);
        EXPECT_EQ(loaded.MaxID(), 5);
        EXPECT_EQ(loaded.UIParams().DeviceTreeViewParams.Width, 222);
        EXPECT_EQ(loaded.UIParams().ConnectionListFormParams.Height, 1000);
        auto *r5 = dynamic_cast<TccnR5Dev *>(loaded.Items(0)->CustomDevice());
        ASSERT_TRUE(r5);
        EXPECT_EQ(r5->Comment, u"Подстанция №2, ввод 1"_s);
        EXPECT_EQ(r5->R5Test, -70000);
        EXPECT_EQ(r5->TestStr, u"Тест"_s);
        auto &phone = dynamic_cast<TccnPhoneModem232ConMode &>(*loaded.Items(0)->CustomConMode());
        EXPECT_EQ(phone.PhoneModem().PhoneNumber, u"8(495)123-45-67"_s);
        EXPECT_EQ(phone.PhoneModem().DialType, pmdtPulse);
        EXPECT_EQ(phone.ComPortInterface().Baudrate, 9600u);
        EXPECT_EQ(phone.MaxAttemptCountOnConnect, 1);
        EXPECT_EQ(dynamic_cast<TccnIEC101Protocol &>(*loaded.Items(0)->CustomDeviceProtocol()).LinkAddress, 300);
        EXPECT_EQ(loaded.Items(1)->CustomDevice()->FactoryNum, 2147483647);
        EXPECT_EQ(dynamic_cast<TccnRadioModem232ConMode &>(*loaded.Items(1)->CustomConMode()).RadioModem().CallNumber,
                  u"RZ-77"_s);
        EXPECT_EQ(dynamic_cast<TccnIEC104Protocol &>(*loaded.Items(1)->CustomDeviceProtocol()).K, 100);
        auto &tcp = dynamic_cast<TccnDirectTCPIPConMode &>(*loaded.Items(2)->CustomConMode());
        EXPECT_EQ(tcp.TCPIPInterface().IpAddress, u"192.168.1.10"_s);
        EXPECT_EQ(tcp.TCPIPInterface().IpPort, 4001);
        EXPECT_EQ(loaded.Items(2)->CustomDevice()->FactoryNum, -5);
        EXPECT_EQ(dynamic_cast<TccnModbusTCPProtocol &>(*loaded.Items(2)->CustomDeviceProtocol()).DevAddress, 247);
        EXPECT_TRUE(dynamic_cast<TccnVDOptoAttach232ConMode *>(loaded.Items(3)->CustomConMode()));
        EXPECT_TRUE(loaded.Items(4)->CustomDevice());
        EXPECT_FALSE(loaded.Items(4)->CustomDeviceProtocol());
        EXPECT_FALSE(loaded.Items(5)->CustomDevice());
        EXPECT_FALSE(loaded.Items(5)->CustomConMode());
    }

    TccnConnectionList copy;
    copy.Assign(list);
    EXPECT_EQ(copy.SaveToBytes(csfBinary), binary);
}

QByteArray WithVersion(const QByteArray &text, const QByteArray &numbers)
{
    QByteArray changed = text;
    const QByteArray current = "(\r\n    1\r\n    5\r\n    6\r\n    21)";
    EXPECT_TRUE(changed.contains(current));
    changed.replace(current, numbers);
    return changed;
}

TEST(ConnectionListStream, VersionCheck)
{
    EXPECT_EQ(VersionText(kCurrentConnectionListVersion), u"1.5.6"_s);
    EXPECT_EQ(VersionText({1, 6, 0, 0}), u"1.6.0.0"_s);
    EXPECT_EQ(VersionText({2, 0, 1, 21}), u"2.0.1"_s);
    EXPECT_EQ(VersionText({2, 0, 1, 400}), u"2.0.1"_s);
    EXPECT_EQ(CompareVersions({1, 5, 6, 21}, {1, 6, 0, 0}), -1);
    EXPECT_EQ(CompareVersions({1, 5, 6, 22}, {1, 5, 6, 21}), 1);
    EXPECT_EQ(CompareVersions({1, 5, 6, 21}, {1, 5, 6, 21}), 0);

    TccnConnectionList list;
    FillRichList(list);
    const QByteArray text = list.SaveToBytes(csfText);

    TccnConnectionList loaded;
    try {
        loaded.LoadFromBytes(WithVersion(text, "(1 6 0 0)"), csfText);
        FAIL();
    } catch (const EccnConnectionList &e) {
        EXPECT_EQ(e.Message(), kPrefix + u"Текущая версия списка подключений (v1.5.6) меньше загружаемой "
                                         u"версии (v1.6.0.0). Загрузка невозможна"_s);
    }
    EXPECT_EQ(loaded.Version(), kCurrentConnectionListVersion);
    EXPECT_EQ(loaded.LoadedVersion(), kCurrentConnectionListVersion);
    EXPECT_EQ(loaded.Count(), 0); // refused before any connection was read

    // Older and equal versions load; the version read is remembered.
    loaded.LoadFromBytes(WithVersion(text, "(1 5 0 99)"), csfText);
    EXPECT_EQ(loaded.LoadedVersion(), (TVersionNumber{1, 5, 0, 99}));
    EXPECT_EQ(loaded.Version(), kCurrentConnectionListVersion);
    EXPECT_EQ(loaded.Count(), 6);

    for (const char *bad : {"(1 5 6)", "(1 5 6 21 0)", "(256 0 0 0)", "(1 -1 0 0)", "(1 0 0 -1)", "(1 0 'x' 0)", "1"}) {
        const QString message = LoadError(WithVersion(text, bad), csfText);
        EXPECT_TRUE(message.startsWith(kPrefix)) << bad << " " << message.toStdString();
    }
}

TEST(ConnectionListStream, OldListsTakeTheFactoryNumberAsAddress)
{
    TccnConnectionList list;
    auto c = Simple(dtM7, 4321);
    list.AddConnection(*c);
    auto iec = Simple(dtM7, 999, dptIEC101);
    list.AddConnection(*iec);
    const QByteArray text = list.SaveToBytes(csfText);

    TccnConnectionList loaded;
    loaded.LoadFromBytes(WithVersion(text, "(1 0 0 12)"), csfText);
    EXPECT_EQ(dynamic_cast<TccnTarvelProtocol &>(*loaded.Items(0)->CustomDeviceProtocol()).DeviceAddress, 4321);
    EXPECT_EQ(dynamic_cast<TccnIEC101Protocol &>(*loaded.Items(1)->CustomDeviceProtocol()).LinkAddress, 1);

    loaded.LoadFromBytes(WithVersion(text, "(1 0 0 13)"), csfText);
    EXPECT_EQ(dynamic_cast<TccnTarvelProtocol &>(*loaded.Items(0)->CustomDeviceProtocol()).DeviceAddress, 1);

    c->CustomDevice()->FactoryNum = 65536;
    list.UpdateConnection(*c);
    const QString message = LoadError(WithVersion(list.SaveToBytes(csfText), "(0 9 0 0)"), csfText);
    EXPECT_TRUE(message.startsWith(kPrefix)) << message.toStdString();
    EXPECT_TRUE(message.contains(u"65536"_s));
}

TEST(ConnectionListStream, LoadErrorsCarryTheirPrefixes)
{
    TccnConnectionList list;
    FillRichList(list);
    const QByteArray binary = list.SaveToBytes(csfBinary);
    const QByteArray text = list.SaveToBytes(csfText);

    EXPECT_TRUE(LoadError(text, csfBinary).startsWith(kPrefix));
    EXPECT_TRUE(LoadError(binary, csfText).startsWith(kPrefix));

    const QString any = LoadError("garbage", csfAny);
    const QString head = u"Список подключений. Ошибка загрузки данных. Неверный формат.\r\n\r\n"
                         u"Ошибка чтения в бинарном виде: "_s;
    EXPECT_TRUE(any.startsWith(head)) << any.toStdString();
    const qsizetype textPart = any.indexOf(u"\r\n\r\nОшибка чтения в текстовом виде: "_s);
    EXPECT_GT(textPart, head.size());
    EXPECT_GT(any.size(), textPart + 37);

    QByteArray unknownClass = text;
    unknownClass.replace("FCustomDeviceClass = TccnM7SQDev", "FCustomDeviceClass = TccnNoSuchDev");
    EXPECT_TRUE(LoadError(unknownClass, csfText).startsWith(kPrefix));
    QByteArray protocolAsDevice = text;
    protocolAsDevice.replace("FCustomDeviceClass = TccnM7SQDev", "FCustomDeviceClass = TccnTarvelProtocol");
    EXPECT_TRUE(LoadError(protocolAsDevice, csfText).startsWith(kPrefix));
    QByteArray unknownProperty = text;
    unknownProperty.replace("ConnectionList.FMaxID", "ConnectionList.FMaxIDs");
    EXPECT_TRUE(LoadError(unknownProperty, csfText).contains(u"ConnectionList.FMaxIDs"_s));
    QByteArray wrongTag = text;
    wrongTag.replace("ConID = 0", "ConID = '0'");
    EXPECT_FALSE(LoadError(wrongTag, csfText).isEmpty());
    QByteArray wrongEnum = text;
    wrongEnum.replace("FCustomDeviceType = dtR5", "FCustomDeviceType = 7");
    EXPECT_FALSE(LoadError(wrongEnum, csfText).isEmpty());
    QByteArray wrongRoot = text;
    wrongRoot.replace("object TccnConnectionListWrapper", "object TSomethingElse");
    EXPECT_FALSE(LoadError(wrongRoot, csfText).isEmpty());

    // A value that does not fit its field (DeviceAddress is 16 bits), and a
    // block of another wrapper class.
    TccnTarvelProtocol protocol;
    TccnStreamWrapper wrapper(u"TccnCustomDeviceProtocolWrapper"_s, u"CustomDeviceProtocol"_s, &protocol);
    TStreamComponent block;
    block.ClassName = "TccnCustomDeviceProtocolWrapper";
    block.Properties.push_back({"CustomDeviceProtocol.DeviceAddress", PropertyStream::Integer(70000)});
    EXPECT_THROW(CcnStreaming::ComponentToObject(block, wrapper), EPropertyStream);
    block.Properties[0].Value = PropertyStream::Integer(-1);
    EXPECT_THROW(CcnStreaming::ComponentToObject(block, wrapper), EPropertyStream);
    block.Properties[0].Value = PropertyStream::Integer(65535);
    CcnStreaming::ComponentToObject(block, wrapper);
    EXPECT_EQ(protocol.DeviceAddress, 65535);
    block.ClassName = "TccnCustomDeviceWrapper";
    EXPECT_THROW(CcnStreaming::ComponentToObject(block, wrapper), EPropertyStream);
}

TEST(ConnectionListStream, SavingInAnUnknownFormatFails)
{
    TccnConnectionList list;
    for (int format : {0, 3, -1}) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        try {
            list.SaveToStream(buffer, format);
            FAIL() << format;
        } catch (const EccnConnectionList &e) {
            EXPECT_EQ(e.Message(), u"Список подключений. Сохранение в поток в неизвестном формате не поддерживается"_s);
        }
        EXPECT_EQ(buffer.size(), 0);
    }
}

TEST(ConnectionListStream, StreamsAndTheSilentLoad)
{
    TccnConnectionList list;
    FillRichList(list);
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    list.SaveToStream(buffer, csfText);
    buffer.seek(0);
    TccnConnectionList loaded;
    EXPECT_TRUE(loaded.TryLoadFromStream(buffer, csfText));
    EXPECT_EQ(loaded.Count(), 6);

    QBuffer bad;
    bad.setData("object TccnConnectionListWrapper\r\n  ConnectionList = <\r\n");
    bad.open(QIODevice::ReadOnly);
    EXPECT_FALSE(loaded.TryLoadFromStream(bad, csfText));
    EXPECT_EQ(loaded.Count(), 0);
}

TEST(ConnectionListStream, EveryTruncationFailsCleanlyInEachFormat)
{
    TccnConnectionList list;
    FillRichList(list);
    const QByteArray binary = list.SaveToBytes(csfBinary);
    const QByteArray text = list.SaveToBytes(csfText);
    for (qsizetype length = 0; length < binary.size(); ++length) {
        TccnConnectionList loaded;
        EXPECT_THROW(loaded.LoadFromBytes(QByteArray(binary.constData(), length), csfBinary), EccnConnectionList)
            << length;
    }
    // Text cuts: a stride through the body (each parse reads it all) and
    // every length near the end, where a cut can still look complete.
    const qsizetype lastEnd = text.lastIndexOf("end");
    for (qsizetype length = 0; length < lastEnd + 3; length += (length < lastEnd - 200 ? 11 : 1)) {
        TccnConnectionList loaded;
        EXPECT_FALSE(loaded.TryLoadFromBytes(QByteArray(text.constData(), length), csfAny)) << length;
        EXPECT_EQ(loaded.Count(), 0);
    }
}

TEST(ConnectionListStream, CorruptedBytesNeverCrashTheLoader)
{
    TccnConnectionList list;
    FillRichList(list);
    const QByteArray binary = list.SaveToBytes(csfBinary);
    quint32 seed = 777;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int round = 0; round < 1500; ++round) {
        QByteArray mutated = binary;
        for (int flips = 0; flips < 1 + round % 3; ++flips)
            mutated[next() % mutated.size()] = char(next());
        TccnConnectionList loaded;
        loaded.TryLoadFromBytes(mutated, csfBinary);
    }
}

} // namespace
