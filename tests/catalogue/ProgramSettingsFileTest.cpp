#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"
#include "catalogue/ProgramSettingsFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<TccnConnection> TcpConnection(qint32 factoryNum)
{
    auto connection = std::make_unique<TccnConnection>();
    auto device = std::make_unique<TccnM7Dev>();
    device->FactoryNum = factoryNum;
    connection->SetCustomDevice(std::move(device));
    connection->SetCustomDeviceProtocol(std::make_unique<TccnTarvelProtocol>());
    auto mode = std::make_unique<TccnDirectTCPIPConMode>();
    mode->TCPIPInterface().IpAddress = QStringLiteral("10.0.0.7");
    mode->TCPIPInterface().IpPort = 4001;
    connection->SetCustomConMode(std::move(mode));
    return connection;
}

} // namespace

TEST(ProgramIniFile, KeepsTheListAndTheChoiceBetweenRuns)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("monitor.ini"));
    {
        TProgramIniFile ini(path);
        TccnConnectionList list;
        ini.ReadConnectionList(&list);
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(ini.ReadSelected(), -1);
        for (qint32 number : {11, 22}) {
            auto connection = TcpConnection(number);
            ASSERT_TRUE(list.AddConnection(*connection));
        }
        ini.WriteConnectionList(&list);
        ini.WriteSelected(list.Items(1)->ConID);
        ASSERT_TRUE(ini.UpdateFile());
    }
    TProgramIniFile ini(path);
    TccnConnectionList list;
    ini.ReadConnectionList(&list);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1)->CustomDevice()->FactoryNum, 22);
    EXPECT_EQ(ini.ReadSelected(), list.Items(1)->ConID);
}

TEST(ProgramIniFile, ADamagedListGivesAnEmptyListQuietly)
{
    QTemporaryDir dir;
    TProgramIniFile ini(dir.filePath(QStringLiteral("monitor.ini")));
    TccnConnectionList list;
    auto connection = TcpConnection(1);
    list.AddConnection(*connection);
    for (const char *bad : {"ZZ", "41424344", "0"}) {
        ini.WriteString(QStringLiteral("Подключения"), QStringLiteral("Список"), QString::fromLatin1(bad));
        ini.ReadConnectionList(&list);
        EXPECT_EQ(list.Count(), 0) << bad;
    }
}
