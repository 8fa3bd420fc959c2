#include "mqtt/MqttPublisher.h"

#include "archive/TenMinuteAggregator.h"
#include "mqtt/MqttMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <linux/tcp.h>
#include <map>
#include <optional>
#include <mosquitto.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr size_t kMaxInFlight = 10; // handed to the library, not yet acknowledged
constexpr qint64 kFirstRetryMs = 1000;
constexpr qint64 kLastRetryMs = 60 * 1000;
constexpr qint64 kRefusedRetryMs = 60 * 1000; // credentials rarely change in a minute
constexpr qint64 kEndWaitMs = 2000;
constexpr int kPollMs = 1000; // the library's keep-alive needs a call now and then

// The publisher subscribes to nothing: a broker sends it CONNACK, a PUBACK per
// message and a PINGRESP per keep-alive, a few bytes each (a few dozen with
// TLS). The library reads a packet of any announced length (up to 256 MB)
// into memory and has no limit of its own, so a connection that brings more
// than this is cut. The allowance covers a TLS handshake with a long chain.
constexpr quint64 kIncomingAllowance = 256 * 1024;
constexpr quint64 kIncomingPerPacket = 64;  // an acknowledgement, in a TLS record
constexpr quint64 kIncomingPerMinute = 256; // keep-alive answers
constexpr int kReceiveBuffer = 32 * 1024;

const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");

void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString ErrnoText(int error)
{
    switch (error) {
    case ECONNREFUSED: return QStringLiteral("соединение отвергнуто");
    case ETIMEDOUT: return QStringLiteral("время ожидания истекло");
    case EHOSTUNREACH:
    case ENETUNREACH: return QStringLiteral("узел недоступен");
    case ECONNRESET:
    case EPIPE: return QStringLiteral("соединение разорвано");
    default: return QString::fromLocal8Bit(std::strerror(error));
    }
}

QString ReasonText(int rc, int error)
{
    switch (rc) {
    case MOSQ_ERR_ERRNO: return ErrnoText(error);
    case MOSQ_ERR_CONN_LOST: return QStringLiteral("соединение потеряно");
    case MOSQ_ERR_NO_CONN: return QStringLiteral("нет соединения");
    case MOSQ_ERR_EAI: return QStringLiteral("имя узла не найдено");
    case MOSQ_ERR_TLS: return QStringLiteral("ошибка TLS; проверьте сертификат брокера и файл CA");
    case MOSQ_ERR_KEEPALIVE: return QStringLiteral("брокер не отвечает");
    case MOSQ_ERR_PROTOCOL: return QStringLiteral("ошибка протокола");
    default: return QString::fromUtf8(mosquitto_strerror(rc));
    }
}

// CONNACK return codes of MQTT 3.1.1
QString ConnackText(int rc)
{
    switch (rc) {
    case 1: return QStringLiteral("брокер не принимает MQTT 3.1.1");
    case 2: return QStringLiteral("идентификатор клиента отвергнут");
    case 3: return QStringLiteral("служба брокера недоступна");
    case 4: return QStringLiteral("неверное имя пользователя или пароль");
    case 5: return QStringLiteral("нет прав на подключение");
    default: return QString::fromUtf8(mosquitto_connack_string(rc));
    }
}

// Bytes received on a TCP socket so far, by the kernel's count (TLS records
// and all); nullopt when it cannot tell.
std::optional<quint64> ReceivedBytes(int sock)
{
    tcp_info info{};
    socklen_t size = sizeof info;
    if (getsockopt(sock, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received)
        return std::nullopt;
    return info.tcpi_bytes_received;
}

// The connection is reset when the library closes the socket: a broker that
// floods must not wait on a closed window for the orphaned connection's end.
void ResetOnClose(int sock)
{
    const linger reset{1, 0};
    setsockopt(sock, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

// Both ends of a connected socket: tells it from a later one that got the
// same descriptor.
QByteArray Ends(int sock)
{
    sockaddr_storage ends[2]{};
    socklen_t sizes[2] = {sizeof ends[0], sizeof ends[1]};
    if (getsockname(sock, reinterpret_cast<sockaddr *>(&ends[0]), &sizes[0]) != 0 ||
        getpeername(sock, reinterpret_cast<sockaddr *>(&ends[1]), &sizes[1]) != 0)
        return {};
    return QByteArray(reinterpret_cast<const char *>(ends), sizeof ends);
}

// The library reads a packet to its end in one call while bytes keep coming,
// however long the broker said it is: a thread beside the reading one shuts
// the socket down when a read goes past what the broker may send, and the
// library's read ends with a lost connection.
class TReadGuard
{
public:
    TReadGuard() : thread_([this] { Watch(); }) {}
    ~TReadGuard()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    TReadGuard(const TReadGuard &) = delete;
    TReadGuard &operator=(const TReadGuard &) = delete;

    void Begin(int sock, quint64 limit)
    {
        const QByteArray ends = Ends(sock);
        {
            std::lock_guard lock(mutex_);
            sock_ = sock;
            ends_ = ends;
            limit_ = limit;
            tripped_ = 0;
        }
        wake_.notify_all();
    }
    void End()
    {
        std::lock_guard lock(mutex_);
        sock_ = -1;
    }
    // The bytes received when it shut the socket down in the last read; 0
    // when it did not.
    quint64 Tripped() const
    {
        std::lock_guard lock(mutex_);
        return tripped_;
    }

private:
    void Watch()
    {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (sock_ < 0 || tripped_ != 0) {
                wake_.wait(lock);
                continue;
            }
            // a read of a few acknowledgements is over long before this
            wake_.wait_for(lock, std::chrono::milliseconds(5));
            if (sock_ < 0 || tripped_ != 0)
                continue;
            const std::optional<quint64> received = ReceivedBytes(sock_);
            if (received && *received > limit_ && !ends_.isEmpty() && Ends(sock_) == ends_) {
                ResetOnClose(sock_);
                shutdown(sock_, SHUT_RDWR);
                tripped_ = *received;
            }
        }
    }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    int sock_ = -1;
    QByteArray ends_;
    quint64 limit_ = 0, tripped_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace

// What the publisher's thread alone touches: the library's client, the
// aggregator and the messages not yet acknowledged. The library's callbacks
// run inside its loop calls, on this same thread.
class TMqttPublisher::TWork
{
public:
    enum class TKind { Cycle, Aggregate, Status, Meta };
    struct TMessage
    {
        TKind Kind;
        QByteArray Payload;
    };

    explicit TWork(TMqttPublisher &owner)
        : owner_(owner),
          target_(owner.options_.Target),
          meter_(owner.meter_),
          cycleTopic_((owner.topic_ + QStringLiteral("/cycle")).toUtf8()),
          aggregateTopic_((owner.topic_ + QStringLiteral("/aggregate")).toUtf8()),
          statusTopic_((owner.topic_ + QStringLiteral("/status")).toUtf8()),
          metaTopic_((owner.topic_ + QStringLiteral("/meta")).toUtf8())
    {
        clock_.start();
    }

    ~TWork()
    {
        if (mosq_)
            mosquitto_destroy(mosq_);
    }

    TWork(const TWork &) = delete;
    TWork &operator=(const TWork &) = delete;

    // Makes the client; a target or TLS set-up that cannot work is said once
    // and nothing is ever sent (the queue still bounds the memory).
    void Start()
    {
        if (!target_.IsValid()) {
            Report(target_.Error().isEmpty() ? QStringLiteral("MQTT: адрес брокера не задан") : target_.Error(),
                   svError);
            return;
        }
        InitLibrary();
        const QString id = QStringLiteral("raruzor-%1-%2-%3")
                               .arg(meter_.DeviceType)
                               .arg(meter_.FactoryNumber)
                               .arg(QCoreApplication::applicationPid());
        mosq_ = mosquitto_new(id.toUtf8().constData(), true, this);
        if (!mosq_) {
            Report(QStringLiteral("MQTT: клиент не создан: %1").arg(ErrnoText(errno)), svError);
            return;
        }
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        // A cycle and an aggregate leave together: the second must not wait
        // for the first one's acknowledgement.
        mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_connect_callback_set(
            mosq_, [](mosquitto *, void *self, int rc) { static_cast<TWork *>(self)->OnConnect(rc); });
        mosquitto_disconnect_callback_set(mosq_, [](mosquitto *, void *self, int rc) {
            const int error = errno;
            static_cast<TWork *>(self)->OnDisconnect(rc, error);
        });
        mosquitto_publish_callback_set(
            mosq_, [](mosquitto *, void *self, int mid) { static_cast<TWork *>(self)->OnPublish(mid); });
        int rc =
            mosquitto_will_set(mosq_, statusTopic_.constData(), int(kOffline.size()), kOffline.constData(), 1, true);
        if (rc == MOSQ_ERR_SUCCESS && !target_.User().isEmpty())
            rc = mosquitto_username_pw_set(mosq_, target_.User().toUtf8().constData(),
                                           target_.Password().isEmpty() ? nullptr
                                                                        : target_.Password().toUtf8().constData());
        if (rc == MOSQ_ERR_SUCCESS && target_.Tls()) {
            const QByteArray ca = owner_.options_.CaFile.toLocal8Bit();
            rc = mosquitto_tls_set(mosq_, ca.isEmpty() ? nullptr : ca.constData(),
                                   ca.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
            if (rc != MOSQ_ERR_SUCCESS) {
                Report(QStringLiteral("MQTT: TLS не настроен (%1)").arg(ReasonText(rc, errno)), svError);
                Discard();
                return;
            }
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            Report(QStringLiteral("MQTT: клиент не настроен (%1)").arg(ReasonText(rc, errno)), svError);
            Discard();
        }
    }

    // Turns a handed item into messages.
    void Take(TItem &&item)
    {
        if (auto *meter = std::get_if<TMeterIdentity>(&item)) {
            if (auto row = aggregator_.RunEnded()) // a run that never told its end
                Push(TKind::Aggregate, Mqtt::AggregateJson(*row));
            meter_ = *meter;
            aggregator_.RunStarted();
        } else if (auto *settings = std::get_if<TSettingsCopy>(&item)) {
            SetState(TKind::Meta, Mqtt::MetaJson(meter_, *settings));
            SetState(TKind::Status, kOnline);
        } else if (auto *cycle = std::get_if<TCycleCopy>(&item)) {
            const Archive::TCycleRow row = Archive::CycleRowOf(*cycle);
            if (row.MeterTime.isValid())
                if (auto aggregate = aggregator_.Add(row))
                    Push(TKind::Aggregate, Mqtt::AggregateJson(*aggregate));
            Push(TKind::Cycle, Mqtt::CycleJson(row));
        } else if (std::holds_alternative<TRunEnd>(item)) {
            if (auto row = aggregator_.RunEnded())
                Push(TKind::Aggregate, Mqtt::AggregateJson(*row));
            SetState(TKind::Status, kOffline);
        }
    }

    // The oldest cycles and aggregates go when more than QueueLimit wait;
    // the two state messages never count.
    void DropPastQueue()
    {
        const quint64 limit = quint64(std::max(1, owner_.options_.QueueLimit));
        quint64 dropped = 0;
        for (auto it = waiting_.begin(); queued_ > limit && it != waiting_.end();) {
            if (Counted(it->Kind)) {
                it = waiting_.erase(it);
                --queued_;
                ++dropped;
            } else {
                ++it;
            }
        }
        if (dropped == 0)
            return;
        dropped_ += dropped;
        droppedInEpisode_ += dropped;
        if (!dropping_)
            Report(QStringLiteral("MQTT: очередь полна (%1), старые сообщения отбрасываются")
                       .arg(owner_.options_.QueueLimit),
                   svWarning);
        dropping_ = true;
    }

    // Connects when due, hands what waits over and waits for the socket, the
    // next attempt or a hand-over from the polling thread, whichever is first.
    void Service()
    {
        if (mosq_ && mosquitto_socket(mosq_) < 0 && clock_.elapsed() >= nextAttemptMs_)
            Attempt();
        HandOver();
        Poll(kPollMs);
    }

    // The orderly end: "offline" before anything else, what waits gets up to
    // kEndWaitMs, then a clean disconnect. When "offline" did not get through,
    // the connection is dropped without one and the broker publishes the
    // last will, which says the same.
    void Finish()
    {
        stopping_ = true; // no more attempts, no outage told
        status_ = kOffline;
        std::erase_if(waiting_, [](const TMessage &message) { return message.Kind == TKind::Status; });
        waiting_.push_front({TKind::Status, kOffline});
        if (!mosq_)
            return;
        if (!attempted_)
            Attempt();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < kEndWaitMs && Waiting() > 0 && mosquitto_socket(mosq_) >= 0) {
            HandOver();
            Poll(int(std::clamp<qint64>(kEndWaitMs - waited.elapsed(), 1, 100)));
        }
        if (Waiting() > 0)
            Report(QStringLiteral("MQTT: не отправлено сообщений: %1").arg(Waiting()), svWarning);
        const auto isStatus = [](const TMessage &message) { return message.Kind == TKind::Status; };
        const bool offlineSent = std::none_of(waiting_.begin(), waiting_.end(), isStatus) &&
                                 std::none_of(inFlight_.begin(), inFlight_.end(),
                                              [&](const auto &flying) { return isStatus(flying.second); });
        if (connected_ && offlineSent) {
            mosquitto_disconnect(mosq_);
            for (int i = 0; i < 20 && mosquitto_socket(mosq_) >= 0; ++i)
                Poll(25);
        }
    }

    TMqttCounters Counters() const
    {
        TMqttCounters counters;
        counters.Published = published_;
        counters.Dropped = dropped_;
        counters.Waiting = Waiting();
        counters.Connected = connected_;
        counters.Refused = refused_;
        return counters;
    }

private:
    static bool Counted(TKind kind) { return kind == TKind::Cycle || kind == TKind::Aggregate; }
    quint64 Waiting() const { return quint64(waiting_.size() + inFlight_.size()); }

    void Report(const QString &text, TSeverity severity) { owner_.report_(text, severity); }

    void Discard()
    {
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }

    void Push(TKind kind, QByteArray payload)
    {
        waiting_.push_back({kind, std::move(payload)});
        if (Counted(kind))
            ++queued_;
    }

    // Only the latest status and description matter: one not yet handed over
    // gives way to the new one.
    void SetState(TKind kind, QByteArray payload)
    {
        (kind == TKind::Status ? status_ : meta_) = payload;
        std::erase_if(waiting_, [&](const TMessage &message) { return message.Kind == kind; });
        Push(kind, std::move(payload));
    }

    const QByteArray &TopicOf(TKind kind) const
    {
        switch (kind) {
        case TKind::Cycle: return cycleTopic_;
        case TKind::Aggregate: return aggregateTopic_;
        case TKind::Status: return statusTopic_;
        case TKind::Meta: break;
        }
        return metaTopic_;
    }

    void Attempt()
    {
        attempted_ = true;
        cut_ = false;
        packetsIn_ = 0;
        socketSinceMs_ = clock_.elapsed();
        const int rc = everAttempted_ ? mosquitto_reconnect_async(mosq_)
                                      : mosquitto_connect_async(mosq_, target_.Host().toUtf8().constData(),
                                                                target_.Port(), kKeepAliveSeconds);
        const int error = errno;
        everAttempted_ = true;
        if (rc != MOSQ_ERR_SUCCESS) {
            Failed(ReasonText(rc, error));
            return;
        }
        // a short receive window: a broker that floods gets little ahead of
        // the guard (the answers a publisher gets are tiny)
        const int sock = mosquitto_socket(mosq_);
        if (sock >= 0)
            setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    }

    // The broker is away (or refused): tell once per episode, try again later.
    void Failed(const QString &reason)
    {
        if (refused_) {
            nextAttemptMs_ = clock_.elapsed() + kRefusedRetryMs;
            return;
        }
        if (!away_)
            Report(QStringLiteral("MQTT: нет связи с брокером %1: %2").arg(target_.Display(), reason), svWarning);
        away_ = true;
        nextAttemptMs_ = clock_.elapsed() + retryMs_;
        retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
    }

    void OnConnect(int rc)
    {
        ++packetsIn_;
        if (rc != 0) {
            if (rc == 4 || rc == 5) {
                if (!refused_)
                    Report(QStringLiteral("MQTT: брокер отказал в доступе (%1)").arg(ConnackText(rc)), svError);
                refused_ = true;
            } else {
                Failed(ConnackText(rc));
            }
            return; // the library closes the connection and calls OnDisconnect
        }
        if (away_ || refused_)
            Report(droppedInEpisode_ == 0 ? QStringLiteral("MQTT: связь с брокером восстановлена")
                                          : QStringLiteral("MQTT: связь с брокером восстановлена; не поместилось в "
                                                           "очередь и потеряно сообщений: %1")
                                                .arg(droppedInEpisode_),
                   droppedInEpisode_ == 0 ? svInformation : svWarning);
        else if (!everConnected_)
            Report(QStringLiteral("MQTT: подключено к брокеру %1").arg(target_.Display()), svInformation);
        connected_ = true;
        everConnected_ = true;
        away_ = refused_ = dropping_ = false;
        droppedInEpisode_ = 0;
        retryMs_ = kFirstRetryMs;
        // The broker may have lost its retained messages (a restart without
        // persistence): the current state goes first, before what waited.
        // What was in flight the library sends again itself.
        std::erase_if(waiting_, [](const TMessage &message) { return !Counted(message.Kind); });
        if (!meta_.isEmpty())
            waiting_.push_front({TKind::Meta, meta_});
        waiting_.push_front({TKind::Status, status_});
    }

    void OnDisconnect(int rc, int error)
    {
        connected_ = false;
        if (stopping_)
            return;
        if (const quint64 tripped = guard_.Tripped(); tripped != 0 && !cut_) {
            cut_ = true;
            cutAtBytes_ = tripped;
        }
        if (cut_) {
            // said once until a connection works again; tried as seldom as
            // a refusal
            if (!flooded_)
                Report(QStringLiteral("MQTT: брокер %1 прислал больше, чем бывает в ответ публикатору "
                                      "(%2 КиБ), соединение разорвано; попытки раз в минуту")
                           .arg(target_.Display())
                           .arg(cutAtBytes_ / 1024),
                       svError);
            flooded_ = true;
            nextAttemptMs_ = clock_.elapsed() + kRefusedRetryMs;
            return;
        }
        Failed(rc == MOSQ_ERR_CONN_REFUSED ? QStringLiteral("брокер отказал") : ReasonText(rc, error));
    }

    void OnPublish(int mid)
    {
        ++packetsIn_;
        flooded_ = false;
        const auto found = inFlight_.find(mid);
        if (found == inFlight_.end())
            return;
        if (Counted(found->second.Kind))
            --queued_;
        inFlight_.erase(found);
        ++published_;
        if (waiting_.empty())
            dropping_ = false;
    }

    // In order and only while connected, so that a broker that is away never
    // holds more than kMaxInFlight of them in the library.
    void HandOver()
    {
        while (mosq_ && connected_ && inFlight_.size() < kMaxInFlight && !waiting_.empty()) {
            TMessage &message = waiting_.front();
            const QByteArray &topic = TopicOf(message.Kind);
            const bool retain = message.Kind == TKind::Status || message.Kind == TKind::Meta;
            int mid = 0;
            const int rc = mosquitto_publish(mosq_, &mid, topic.constData(), int(message.Payload.size()),
                                             message.Payload.constData(), 1, retain);
            switch (rc) {
            case MOSQ_ERR_SUCCESS:
            // the library keeps a QoS 1 message it could not send yet and
            // sends it after the reconnect
            case MOSQ_ERR_NO_CONN:
            case MOSQ_ERR_CONN_LOST:
            case MOSQ_ERR_ERRNO:
                inFlight_.emplace(mid, std::move(message));
                waiting_.pop_front();
                break;
            default:
                Report(QStringLiteral("MQTT: сообщение не отправлено (%1)").arg(ReasonText(rc, errno)), svError);
                if (Counted(message.Kind))
                    --queued_;
                ++dropped_;
                waiting_.pop_front();
                break;
            }
            if (rc != MOSQ_ERR_SUCCESS)
                return;
        }
    }

    void Poll(int timeoutMs)
    {
        const int sock = mosq_ ? mosquitto_socket(mosq_) : -1;
        if (sock < 0)
            timeoutMs = int(std::clamp<qint64>(nextAttemptMs_ - clock_.elapsed(), 0, timeoutMs));
        pollfd fds[2] = {{owner_.wakeFd_, POLLIN, 0}, {sock, short(POLLIN), 0}};
        if (sock >= 0 && mosquitto_want_write(mosq_))
            fds[1].events |= POLLOUT;
        const int ready = poll(fds, sock >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0)
            return; // EINTR: the next round
        if (fds[0].revents & POLLIN) {
            eventfd_t count;
            eventfd_read(owner_.wakeFd_, &count);
        }
        if (sock < 0)
            return;
        if ((fds[1].revents & (POLLIN | POLLERR | POLLHUP)) && !Cut(sock)) {
            guard_.Begin(sock, Expected());
            mosquitto_loop_read(mosq_, 1);
            guard_.End();
        }
        if (mosquitto_socket(mosq_) >= 0 && (fds[1].revents & POLLOUT))
            mosquitto_loop_write(mosq_, 1);
        if (mosquitto_socket(mosq_) >= 0)
            mosquitto_loop_misc(mosq_);
    }

    // The most the broker may have sent on this socket so far.
    quint64 Expected() const
    {
        const quint64 minutes = quint64(clock_.elapsed() - socketSinceMs_) / 60000 + 1;
        return kIncomingAllowance + packetsIn_ * kIncomingPerPacket + minutes * kIncomingPerMinute;
    }

    // Cuts a connection that brought more than the broker's answers take;
    // true when it did.
    bool Cut(int sock)
    {
        const std::optional<quint64> received = ReceivedBytes(sock);
        if (!received || *received <= Expected())
            return false;
        cut_ = true;
        cutAtBytes_ = *received;
        ResetOnClose(sock);
        // DISCONNECT goes at once and the library closes the socket, which
        // frees what it had read
        if (mosquitto_disconnect(mosq_) != MOSQ_ERR_SUCCESS || mosquitto_socket(mosq_) >= 0)
            mosquitto_loop_write(mosq_, 1);
        return true;
    }

    TMqttPublisher &owner_;
    const TMqttTarget &target_;
    TMeterIdentity meter_;
    const QByteArray cycleTopic_, aggregateTopic_, statusTopic_, metaTopic_;
    mosquitto *mosq_ = nullptr;
    Archive::TTenMinuteAggregator aggregator_;

    std::deque<TMessage> waiting_;        // not yet handed to the library, in order
    std::map<int, TMessage> inFlight_;    // by message id, until the broker's PUBACK
    quint64 queued_ = 0;                  // cycles and aggregates in both
    QByteArray status_ = kOffline, meta_; // the current state, sent again after a reconnect

    QElapsedTimer clock_;
    qint64 nextAttemptMs_ = 0;
    qint64 retryMs_ = kFirstRetryMs;
    bool attempted_ = false, everAttempted_ = false, everConnected_ = false;
    bool connected_ = false, refused_ = false, away_ = false, dropping_ = false, stopping_ = false;
    quint64 published_ = 0, dropped_ = 0, droppedInEpisode_ = 0;
    // what the broker may send on this socket
    qint64 socketSinceMs_ = 0;
    quint64 packetsIn_ = 0, cutAtBytes_ = 0;
    bool cut_ = false, flooded_ = false;
    TReadGuard guard_;
};

TMqttPublisher::TMqttPublisher(TMqttOptions options, TMeterIdentity meter, TReport report)
    : options_(std::move(options)),
      meter_(std::move(meter)),
      topic_(Mqtt::MeterTopic(options_.Target.Prefix(), meter_)),
      report_(report ? std::move(report) : [](const QString &, TSeverity) {}),
      wakeFd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    thread_ = std::thread([this] { Loop(); });
}

TMqttPublisher::~TMqttPublisher()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    Wake();
    thread_.join();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

void TMqttPublisher::Wake()
{
    if (wakeFd_ >= 0)
        eventfd_write(wakeFd_, 1);
}

void TMqttPublisher::Hand(TItem item)
{
    {
        std::lock_guard lock(mutex_);
        incoming_.push_back(std::move(item));
        ++handed_;
    }
    Wake();
}

void TMqttPublisher::RunStarted(const TMeterIdentity &meter)
{
    Hand(meter);
}

void TMqttPublisher::SettingsRead(TSettingsCopy settings)
{
    Hand(std::move(settings));
}

void TMqttPublisher::CycleRead(TCycleCopy cycle)
{
    Hand(std::move(cycle));
}

void TMqttPublisher::RunEnded()
{
    Hand(TRunEnd{});
}

TMqttCounters TMqttPublisher::Counters() const
{
    std::lock_guard lock(mutex_);
    return counters_;
}

bool TMqttPublisher::Flush(int timeoutMs)
{
    std::unique_lock lock(mutex_);
    const quint64 target = handed_;
    Wake();
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return taken_ >= target && counters_.Waiting == 0; });
}

void TMqttPublisher::Loop()
{
    TWork work(*this);
    work.Start();
    for (bool stop = false; !stop;) {
        std::vector<TItem> items;
        {
            std::lock_guard lock(mutex_);
            items.swap(incoming_);
            stop = stopping_;
        }
        for (TItem &item : items)
            work.Take(std::move(item));
        work.DropPastQueue();
        if (stop)
            work.Finish();
        else
            work.Service();
        {
            std::lock_guard lock(mutex_);
            taken_ += items.size();
            counters_ = work.Counters();
        }
        idle_.notify_all();
    }
}
