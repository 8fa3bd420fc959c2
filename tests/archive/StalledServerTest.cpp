// A server that keeps the connection and stops answering, and one whose table
// another session has locked: statements end by their time-out, memory stays
// within the queue's bound, a stop is not held, and the rows arrive once the
// server answers again.

#include "archive/ArchiveDatabase.h"
#include "archive/ArchiveWriter.h"
#include "engine/RecordSlots.h"
#include "support/TestPostgres.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A loopback proxy in front of the test server that can be frozen: it then
// keeps every connection open (and accepts new ones) but passes nothing on,
// as a hung server or a stalled network path does.
class TFreezingProxy
{
public:
    TFreezingProxy(quint16 serverPort) : serverPort_(serverPort)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Loop(); });
    }
    ~TFreezingProxy()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        for (int fd : fds_)
            ::close(fd);
        ::close(listener_);
    }

    quint16 Port() const { return port_; }
    void Freeze(bool frozen) { frozen_ = frozen; }

private:
    int Upstream() const
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(serverPort_);
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        return ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 ? fd : (::close(fd), -1);
    }

    void Loop()
    {
        std::vector<std::pair<int, int>> pairs; // client, server
        while (!stop_) {
            std::vector<pollfd> watched{{listener_, POLLIN, 0}};
            if (!frozen_)
                for (auto [client, server] : pairs)
                    watched.insert(watched.end(), {{client, POLLIN, 0}, {server, POLLIN, 0}});
            if (::poll(watched.data(), watched.size(), 50) <= 0)
                continue;
            if (watched[0].revents & POLLIN) {
                const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                const int server = frozen_ ? -1 : Upstream();
                fds_.push_back(client);
                if (server >= 0) {
                    fds_.push_back(server);
                    pairs.emplace_back(client, server);
                }
            }
            for (size_t i = 1; i < watched.size(); ++i) {
                if (!(watched[i].revents & (POLLIN | POLLHUP)))
                    continue;
                const auto &pair = pairs[(i - 1) / 2];
                const int to = watched[i].fd == pair.first ? pair.second : pair.first;
                char buffer[16384];
                const ssize_t got = ::recv(watched[i].fd, buffer, sizeof buffer, 0);
                if (got > 0)
                    (void)::send(to, buffer, size_t(got), MSG_NOSIGNAL);
                else
                    ::shutdown(to, SHUT_WR);
            }
        }
    }

    const quint16 serverPort_;
    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> frozen_{false}, stop_{false};
    std::vector<int> fds_;
    std::thread thread_;
};

TCycleCopy Cycle(int index)
{
    TCycleCopy cycle;
    cycle.MeterDateTime = 46000 + index * 3.0 / 86400;
    cycle.PcTimeUtc = QDateTime::currentDateTimeUtc();
    cycle.Data.assign(size_t(VDSlot::DataEnd - VDSlot::DataFirst), 0.5f);
    return cycle;
}

// The test server's database `name`, reached through `port` with these parameters.
QString Through(const QString &url, quint16 port, const QString &query)
{
    QUrl through(url);
    through.setPort(port);
    through.setQuery(query);
    return through.toString();
}

struct TTexts
{
    std::mutex Mutex;
    QStringList List;

    TArchiveWriter::TReport Report()
    {
        return [this](const QString &text, TSeverity) {
            std::lock_guard lock(Mutex);
            List << text;
        };
    }
    bool WaitFor(const QString &part, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            {
                std::lock_guard lock(Mutex);
                if (!List.filter(part).isEmpty())
                    return true;
            }
            if (timer.elapsed() >= timeoutMs)
                return false;
            QThread::msleep(20);
        }
    }
    QString All()
    {
        std::lock_guard lock(Mutex);
        return List.join(u'|');
    }
};

qint64 CountCycles(const QString &url)
{
    TArchiveDatabase db(TArchiveTarget::Parse(url));
    if (!db.Open(TArchiveDatabase::TMode::Read))
        return -1;
    QSqlQuery query = db.Select(QStringLiteral("SELECT COUNT(*) FROM cycles"));
    return query.next() ? query.value(0).toLongLong() : -1;
}

} // namespace

// The writer is held in a statement that never returns: the hand-off keeps
// to the queue's bound, the statement is given up after its time-out, and
// the end comes within the stop's wait with what was lost told.
TEST(StalledServer, AServerThatStopsAnsweringCostsBoundedMemoryAndNeverHoldsTheEnd)
{
    const QString url = TestPostgresUrl(QStringLiteral("stalled_silent"));
    SKIP_WITHOUT_TEST_POSTGRES(url);
    TFreezingProxy proxy(quint16(QUrl(url).port()));
    ASSERT_NE(proxy.Port(), 0);

    TTexts texts;
    TArchiveOptions options;
    options.Target =
        TArchiveTarget::Parse(Through(url, proxy.Port(), QStringLiteral("statement_timeout=1s&connect_timeout=2")));
    ASSERT_TRUE(options.Target.IsValid()) << options.Target.Error().toStdString();
    options.QueueCycles = 50;
    options.RetryServerMs = 300;
    QElapsedTimer stopping;
    {
        TArchiveWriter writer(options, texts.Report());
        writer.RunStarted({QStringLiteral("dtM7SQ"), 7, 1});
        writer.CycleRead(Cycle(0));
        ASSERT_TRUE(writer.Flush(10000)) << texts.All().toStdString();

        proxy.Freeze(true);
        for (int i = 1; i <= 500; ++i)
            writer.CycleRead(Cycle(i));
        const bool gaveUp = texts.WaitFor(QStringLiteral("не ответил"), 6000);
        if (!gaveUp)
            proxy.Freeze(false); // so that the end does not hang the test
        EXPECT_TRUE(gaveUp) << texts.All().toStdString();
        const TArchiveCounters counters = writer.Counters();
        EXPECT_LE(counters.CyclesWaiting, 50u);
        EXPECT_GE(counters.CyclesDropped, 440u);
        stopping.start();
    }
    EXPECT_LT(stopping.elapsed(), 3000) << "the connect time-out (2 s) and the stop's wait (2 s) at most";
    EXPECT_TRUE(texts.WaitFor(QStringLiteral("Архив не записан: циклов"), 0)) << texts.All().toStdString();
    proxy.Freeze(false);
    EXPECT_EQ(CountCycles(url), 1);
}

// Another session holds the table: the statement ends by the server's time-out,
// polling goes on into the queue, and everything is written once the lock goes.
TEST(StalledServer, ALockedTableCostsATimeOutAndTheRowsFollowOnceItIsGone)
{
    const QString url = TestPostgresUrl(QStringLiteral("stalled_lock"));
    SKIP_WITHOUT_TEST_POSTGRES(url);
    TTexts texts;
    TArchiveOptions options;
    options.Target = TArchiveTarget::Parse(url + QStringLiteral("?statement_timeout=1000"));
    options.RetryServerMs = 300;
    TArchiveWriter writer(options, texts.Report());
    writer.RunStarted({QStringLiteral("dtM7SQ"), 7, 1});
    for (int i = 0; i < 5; ++i)
        writer.CycleRead(Cycle(i));
    ASSERT_TRUE(writer.Flush(10000)) << texts.All().toStdString();
    {
        QSqlDatabase locker = OpenTestPostgres(url, QStringLiteral("stalled-locker"));
        QSqlQuery lock(locker);
        ASSERT_TRUE(locker.transaction());
        ASSERT_TRUE(lock.exec(QStringLiteral("LOCK TABLE cycles IN ACCESS EXCLUSIVE MODE")));
        for (int i = 5; i < 25; ++i)
            writer.CycleRead(Cycle(i));
        EXPECT_TRUE(texts.WaitFor(QStringLiteral("statement timeout"), 5000)) << texts.All().toStdString();
        locker.commit();
        lock = QSqlQuery();
        locker.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("stalled-locker"));
    EXPECT_TRUE(texts.WaitFor(QStringLiteral("Архив снова записывается"), 5000)) << texts.All().toStdString();
    EXPECT_TRUE(writer.Flush(10000)) << texts.All().toStdString();
    EXPECT_EQ(writer.Counters().CyclesDropped, 0u);
    EXPECT_EQ(CountCycles(url), 25);
}

// The tools read through the same connection: a server that logs them in and
// then says nothing more ends the read with a clear text.
TEST(StalledServer, AReadFromASilentServerEndsWithAClearText)
{
    const QString url = TestPostgresUrl(QStringLiteral("stalled_read"));
    SKIP_WITHOUT_TEST_POSTGRES(url);
    {
        TArchiveDatabase made(TArchiveTarget::Parse(url));
        ASSERT_TRUE(made.Open(TArchiveDatabase::TMode::Write)) << made.Error().toStdString();
    }
    TFreezingProxy proxy(quint16(QUrl(url).port()));
    TArchiveDatabase db(TArchiveTarget::Parse(Through(url, proxy.Port(), QStringLiteral("statement_timeout=1s"))));
    ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read)) << db.Error().toStdString();
    proxy.Freeze(true);
    QElapsedTimer timer;
    timer.start();
    const Archive::TSummary summary = db.Summary();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(summary.Meters.empty());
    EXPECT_TRUE(db.Error().contains(QStringLiteral("сервер архива не ответил за 3 с"))) << db.Error().toStdString();
}
