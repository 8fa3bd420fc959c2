#include "channel/TcpChannel.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TPCAEthernetTCP::TPCAEthernetTCP(const TPCASettings &settings) : TPCACustom(settings)
{
    if (settings.ChannelType != pcaEthernetTCP) {
        SetLastError(pceBadType);
        return;
    }
    if (!ParseAddress(settings.Ethernet.IpAddress.Text())) {
        SetLastError(pceBadAddress);
        return;
    }
    kept_.ChannelType = pcaEthernetTCP;
    std::memcpy(kept_.Bytes + kPCAEthernetKeptFirst, settings.Bytes + kPCAEthernetKeptFirst,
                kPCAEthernetKeptEnd - kPCAEthernetKeptFirst);
    hasSocket_ = true;
    SetLastError(pceOk);
}

TPCAEthernetTCP::~TPCAEthernetTCP()
{
    if (socket_)
        socket_->abort();
    socket_.reset();
    SetHandle(-1);
    SetLastError(pceOk);
}

std::optional<QHostAddress> TPCAEthernetTCP::ParseAddress(const QString &text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        int octet = 0;
        for (QChar ch : part) {
            if (ch < u'0' || ch > u'9')
                return std::nullopt;
            octet = octet * 10 + (ch.unicode() - u'0');
        }
        if (octet > 255)
            return std::nullopt;
        value = (value << 8) | static_cast<quint32>(octet);
    }
    if (value == 0xFFFFFFFFu)
        return std::nullopt;
    return QHostAddress(value);
}

int TPCAEthernetTCP::Connect()
{
    // A channel made from a bad record kept nothing: its empty address text
    // fails the conversion below.
    hasSocket_ = true;
    const auto address = ParseAddress(IpAddress());
    if (!address) {
        SetLastError(pceBadAddress);
        return -1;
    }
    if (!socket_)
        socket_ = std::make_unique<QTcpSocket>();
    // A second Connect on a live link starts a fresh connection.
    if (socket_->state() != QAbstractSocket::UnconnectedState)
        socket_->abort();
    SetHandle(-1);

    SetLastError(pceOk);
    const int outcome = PauseUnlessStopped(kPauseBeforeConnectMs) ? ConnectSocket(*address) : pceServerNotFound;
    if (outcome != pceOk) {
        SetLastError(outcome);
        return -1;
    }
    SetHandle(socket_->socketDescriptor());
    // Converters in front of a meter need a moment before the first frame;
    // after a stop no frame follows.
    PauseUnlessStopped(kPauseAfterConnectMs);
    return 0;
}

int TPCAEthernetTCP::ConnectSocket(const QHostAddress &address)
{
    // The socket's own wait drops a connect still pending when it returns,
    // so it cannot be taken in slices: the connect is made on a descriptor of
    // our own, waited for in slices that look at the stop, and handed to the
    // socket once it is up.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return pceSocketCreate;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(IpPort());
    peer.sin_addr.s_addr = htonl(address.toIPv4Address());
    bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&peer), sizeof peer) == 0;
    const QDeadlineTimer deadline(kConnectTimeoutMs);
    if (!connected && errno == EINPROGRESS) {
        while (!deadline.hasExpired() && !StopRequested()) {
            pollfd descriptor{fd, POLLOUT, 0};
            const int ready = ::poll(&descriptor, 1, WaitSliceMs(deadline));
            if (ready < 0 && errno != EINTR)
                break;
            if (ready > 0) {
                int error = 0;
                socklen_t length = sizeof error;
                connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
                break;
            }
        }
    }
    if (!connected || !socket_->setSocketDescriptor(fd, QAbstractSocket::ConnectedState)) {
        ::close(fd);
        return pceServerNotFound;
    }
    return pceOk;
}

bool TPCAEthernetTCP::IsSameTarget(const TPCASettings &settings) const
{
    return settings.ChannelType == pcaEthernetTCP &&
           std::memcmp(&settings.Ethernet.IpAddress, &kept_.Ethernet.IpAddress, sizeof(TPCAShortString<15>)) == 0 &&
           settings.Ethernet.IpPort == kept_.Ethernet.IpPort;
}

bool TPCAEthernetTCP::IsSettingsChanged(const TPCASettings &settings) const
{
    return !IsSameTarget(settings);
}

void TPCAEthernetTCP::DropSocket()
{
    receivedFirst_ = receivedEnd_ = 0;
    if (socket_) {
        if (socket_->state() == QAbstractSocket::ConnectedState)
            socket_->disconnectFromHost();
        if (socket_->state() != QAbstractSocket::UnconnectedState)
            socket_->abort();
        socket_.reset();
    }
    hasSocket_ = false;
    SetHandle(-1);
}

int TPCAEthernetTCP::Disconnect()
{
    DropSocket();
    SetLastError(pceOk);
    return 0;
}

int TPCAEthernetTCP::GetSettings(TPCASettings &settings)
{
    settings.Bytes[0] = pcaEthernetTCP;
    std::memcpy(settings.Bytes + kPCAEthernetKeptFirst, kept_.Bytes + kPCAEthernetKeptFirst,
                kPCAEthernetKeptEnd - kPCAEthernetKeptFirst);
    SetLastError(pceOk);
    return 0;
}

int TPCAEthernetTCP::ApplySettings(const TPCASettings &settings)
{
    if (settings.ChannelType != pcaEthernetTCP) {
        SetLastError(pceBadType);
        return -1;
    }
    if (IsSameTarget(settings)) {
        SetLastError(pceOk);
        return 0;
    }
    SetLastError(pceBadIpAndPort);
    return -1;
}

void TPCAEthernetTCP::Purge()
{
    receivedFirst_ = receivedEnd_ = 0;
    if (!socket_)
        return;
    // A frame stuck half-way in the send queue would reach the meter later
    // and garble the next exchange: drop the connection instead.
    if (socket_->bytesToWrite() > 0) {
        socket_->abort();
        SetHandle(-1);
        return;
    }
    // What has come in so far (an answer later than its time-out) belongs to
    // no exchange to come: read it off, also what the system still holds
    // (one look, so a flooding peer cannot keep the purge going).
    if (socket_->bytesAvailable() > 0)
        socket_->readAll();
    if (socket_->state() != QAbstractSocket::ConnectedState)
        return;
    // Nearly always nothing is there: one non-blocking peek says so without
    // the socket's wait (a poll and a time-out error per request). Anything
    // else (bytes, the peer's close, an error) goes the socket's own way.
    char probe = 0;
    if (::recv(static_cast<int>(socket_->socketDescriptor()), &probe, 1, MSG_PEEK | MSG_DONTWAIT) < 0 &&
        (errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    if (socket_->waitForReadyRead(0))
        socket_->readAll();
}

int TPCAEthernetTCP::Write(const void *buffer, quint32 count, quint32 &written)
{
    // With nothing queued before it, the frame goes straight to the system:
    // the socket's own path would arm and disarm its write notifier (an
    // event-dispatcher wake-up each) and poll for a send the system takes at
    // once. What the system does not take at once (a full send buffer, or an
    // error the socket then reports its own way) goes the usual way.
    if (buffer == nullptr || count == 0 || !IsConnected() || socket_->bytesToWrite() > 0)
        return TPCACustom::Write(buffer, count, written);
    const int fd = static_cast<int>(socket_->socketDescriptor());
    const char *bytes = static_cast<const char *>(buffer);
    quint32 sent = 0;
    while (sent < count) {
        const ssize_t n = ::send(fd, bytes + sent, count - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            sent += static_cast<quint32>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    if (sent == count) {
        written = count;
        SetLastError(pceOk);
        return 0;
    }
    quint32 rest = 0;
    const int rc = TPCACustom::Write(bytes + sent, count - sent, rest);
    written = rc == 0 ? count : 0;
    return rc;
}

int TPCAEthernetTCP::Read(void *buffer, quint32 capacity, int timeoutMs, quint32 &bytesRead)
{
    // Straight from the system, as the write: the socket's own wait reads
    // everything into its buffer, copies it out again and tells its signals
    // of it, on every read of every answer. Bytes the socket already holds
    // (and a closed or missing link) go the usual way.
    if (buffer == nullptr || capacity == 0)
        return TPCACustom::Read(buffer, capacity, timeoutMs, bytesRead);
    if (receivedFirst_ < receivedEnd_) {
        const std::size_t n = std::min<std::size_t>(capacity, receivedEnd_ - receivedFirst_);
        std::memcpy(buffer, received_.data() + receivedFirst_, n);
        receivedFirst_ += n;
        bytesRead = static_cast<quint32>(n);
        SetLastError(pceOk);
        return 0;
    }
    if (!IsConnected() || socket_->bytesAvailable() > 0)
        return TPCACustom::Read(buffer, capacity, timeoutMs, bytesRead);
    bytesRead = 0;
    SetLastError(pceOk);
    const int fd = static_cast<int>(socket_->socketDescriptor());
    const QDeadlineTimer deadline(std::max(0, timeoutMs));
    constexpr std::size_t kReceiveSize = 16 * 1024;
    for (;;) {
        // the wait first: a read nearly always follows a request just sent
        pollfd descriptor{fd, POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, WaitSliceMs(deadline));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0) {
            // grown, never shrunk: no zero-filling of the buffer per read
            if (received_.size() < std::max<std::size_t>(kReceiveSize, capacity))
                received_.resize(std::max<std::size_t>(kReceiveSize, capacity));
            const ssize_t n = ::recv(fd, received_.data(), received_.size(), MSG_DONTWAIT);
            if (n > 0) {
                receivedEnd_ = static_cast<std::size_t>(n);
                receivedFirst_ = std::min<std::size_t>(capacity, receivedEnd_);
                std::memcpy(buffer, received_.data(), receivedFirst_);
                bytesRead = static_cast<quint32>(receivedFirst_);
                return 0;
            }
            receivedFirst_ = receivedEnd_ = 0;
            if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                // the peer closed the connection, or it broke
                socket_->abort();
                SetLastError(pceServerNotFound);
                return -1;
            }
        }
        // A stop ends the wait like its time-out: nothing more is wanted.
        if (deadline.hasExpired() || StopRequested())
            break;
    }
    Purge();
    SetLastError(pceRead);
    return -1;
}

bool TPCAEthernetTCP::IsConnected() const
{
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

QIODevice *TPCAEthernetTCP::IoDevice() const
{
    return socket_.get();
}

bool TPCAEthernetTCP::LinkClosed() const
{
    return !IsConnected();
}
