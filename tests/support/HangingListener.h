#pragma once

// A loopback TCP port where a connect hangs until the client gives up: a
// listener with an accept queue of one, filled by a parked connection and
// never accepted. The kernel drops every further SYN, so the client keeps
// retrying it and its connect stays pending. Nothing leaves this machine.

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

class THangingListener
{
public:
    THangingListener()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto *raw = reinterpret_cast<sockaddr *>(&address);
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0 || ::bind(listener_, raw, sizeof address) != 0 || ::listen(listener_, 0) != 0 ||
            ::getsockname(listener_, raw, &length) != 0)
            return;
        // Backlog 0 still queues one connection: this one, never accepted.
        parked_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (parked_ < 0 || ::connect(parked_, raw, sizeof address) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }

    ~THangingListener()
    {
        for (int fd : {parked_, listener_})
            if (fd >= 0)
                ::close(fd);
    }

    THangingListener(const THangingListener &) = delete;
    THangingListener &operator=(const THangingListener &) = delete;

    // 0 when the listener could not be set up.
    quint16 Port() const { return port_; }

private:
    int listener_ = -1;
    int parked_ = -1;
    quint16 port_ = 0;
};

} // namespace testsupport
