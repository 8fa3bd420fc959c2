#pragma once

// A saved connection to a meter listening on this machine (the simulator or
// a port nothing listens on): a TDevice with its factory number, the Tarvel
// protocol, and the TCP/IP mode to 127.0.0.1.

#include "catalogue/CatalogueObjects.h"
#include "catalogue/ConnectionList.h"

#include <memory>

namespace testsupport {

template <class TDevice = TccnM7Dev>
std::unique_ptr<TccnConnection> LoopbackConnection(qint32 port, qint32 factoryNum = 0, int attemptsOnConnect = 1,
                                                   int maxAttempts = TccnTarvelProtocol().MaxAttemptCount)
{
    auto connection = std::make_unique<TccnConnection>();
    auto device = std::make_unique<TDevice>();
    device->FactoryNum = factoryNum;
    connection->SetCustomDevice(std::move(device));
    auto protocol = std::make_unique<TccnTarvelProtocol>();
    protocol->MaxAttemptCount = maxAttempts;
    connection->SetCustomDeviceProtocol(std::move(protocol));
    auto mode = std::make_unique<TccnDirectTCPIPConMode>();
    mode->TCPIPInterface().IpAddress = QStringLiteral("127.0.0.1");
    mode->TCPIPInterface().IpPort = port;
    mode->MaxAttemptCountOnConnect = attemptsOnConnect;
    connection->SetCustomConMode(std::move(mode));
    return connection;
}

} // namespace testsupport
