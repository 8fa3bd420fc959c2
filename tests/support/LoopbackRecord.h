#pragma once

// The channel record of a TCP link to a peer on this machine: a scripted
// meter, the meter simulator or an echo server listening on `port`.

#include "channel/ChannelSettings.h"

namespace testsupport {

inline TPCASettings LoopbackRecord(quint16 port)
{
    TPCASettings s{};
    s.Ethernet.ChannelType = pcaEthernetTCP;
    s.Ethernet.IpAddress.SetText(u"127.0.0.1");
    s.Ethernet.IpPort = port;
    return s;
}

} // namespace testsupport
