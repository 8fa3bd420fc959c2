// Protocol costs: building, checksumming and parsing frames; and a whole data
// exchange with the meter simulator over loopback TCP next to a raw socket
// echo of the same byte counts (25 bytes out, 4619 back).

#include "protocol/R5Commands.h"
#include "protocol/R5Frame.h"
#include "protocol/SimProcess.h"
#include "support/LoopbackRecord.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <memory>

using testsupport::LoopbackRecord;

namespace {

constexpr int kDataAnswerSize = 4594;

R5Frame::TFields DataRequest()
{
    R5Frame::TFields f;
    f.Cmd = 0x01;
    f.Cmd1 = 0x01;
    f.DeviceNumber = 1;
    f.DeviceTypeCode = 10;
    f.IType = 2;
    f.ICount = 3;
    return f;
}

std::span<const quint8> Bytes(const QByteArray &b)
{
    return {reinterpret_cast<const quint8 *>(b.constData()), static_cast<std::size_t>(b.size())};
}

QByteArray DataAnswer()
{
    R5Frame::TFields f = DataRequest();
    QByteArray data(kDataAnswerSize, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 31);
    return R5Frame::BuildFrame(f, Bytes(data), R5Frame::kMaxAnswerData);
}

void BM_BuildRequestFrame(benchmark::State &state)
{
    const R5Frame::TFields f = DataRequest();
    for (auto _ : state) {
        auto header = R5Frame::BuildHeader(f);
        benchmark::DoNotOptimize(header);
    }
}
BENCHMARK(BM_BuildRequestFrame);

void BM_ChecksumDataAnswer(benchmark::State &state)
{
    const QByteArray frame = DataAnswer();
    for (auto _ : state)
        benchmark::DoNotOptimize(R5Frame::ChecksumValid(Bytes(frame)));
    state.SetBytesProcessed(state.iterations() * frame.size());
}
BENCHMARK(BM_ChecksumDataAnswer);

void BM_ParseDataAnswer(benchmark::State &state)
{
    // A few garbage bytes in front, so the slide is part of the cost.
    const QByteArray stream = QByteArray("\x01\x02\x03", 3) + DataAnswer();
    const R5Frame::THeader request = R5Frame::BuildHeader(DataRequest());
    for (auto _ : state) {
        auto result = R5Frame::ParseAnswer(Bytes(stream), request, R5Frame::HeadersMatch);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
}
BENCHMARK(BM_ParseDataAnswer);

void BM_BuildChecksumParsePerFrame(benchmark::State &state)
{
    const QByteArray answer = DataAnswer();
    for (auto _ : state) {
        const R5Frame::THeader request = R5Frame::BuildHeader(DataRequest());
        auto result = R5Frame::ParseAnswer(Bytes(answer), request, R5Frame::HeadersMatch);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_BuildChecksumParsePerFrame);

// --- over loopback ---

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "bench_protocol";
    static char *argv[] = {name, nullptr};
    static std::unique_ptr<QCoreApplication> app;
    if (QCoreApplication::instance() == nullptr)
        app = std::make_unique<QCoreApplication>(argc, argv);
}

// Writes the request and reads until the whole answer is in; false when it
// does not come.
bool RoundTrip(QTcpSocket &socket, const QByteArray &request, QByteArray &answer)
{
    socket.write(request);
    socket.waitForBytesWritten(1000);
    qsizetype got = 0;
    while (got < answer.size()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(5000))
            return false;
        got += socket.read(answer.data() + got, answer.size() - got);
    }
    return true;
}

void BM_ExchangeWithSimulator(benchmark::State &state)
{
    EnsureApplication();
    testsim::TSimProcess sim;
    if (sim.Port() == 0) {
        state.SkipWithError("meter simulator not found");
        return;
    }
    TM7 driver(LoopbackRecord(sim.Port()));
    driver.SetDeviceNumber(1);
    if (driver.Channel()->Connect() != 0) {
        state.SkipWithError("cannot connect to the simulator");
        return;
    }
    TR5DataCommand command(&driver);
    command.SetDescriptor({0x01, 0x01, 0x02, 0x03});
    for (auto _ : state) {
        command.Execute();
        if (command.AnswerLength() != kDataAnswerSize) {
            state.SkipWithError("unexpected answer");
            break;
        }
    }
    driver.Channel()->Disconnect();
    state.SetBytesProcessed(state.iterations() * (25 + 25 + kDataAnswerSize));
}
BENCHMARK(BM_ExchangeWithSimulator)->UseRealTime()->MinTime(2.0);

// The same request as raw bytes to the simulator, read back without the
// driver: the simulator's own answer time, the floor for the exchange above.
void BM_RawRequestToSimulator(benchmark::State &state)
{
    EnsureApplication();
    testsim::TSimProcess sim;
    if (sim.Port() == 0) {
        state.SkipWithError("meter simulator not found");
        return;
    }
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.Port());
    if (!socket.waitForConnected(5000)) {
        state.SkipWithError("cannot connect to the simulator");
        return;
    }
    const R5Frame::THeader header = R5Frame::BuildHeader(DataRequest());
    const QByteArray request(reinterpret_cast<const char *>(header.data()), static_cast<qsizetype>(header.size()));
    const qsizetype answerSize = 25 + kDataAnswerSize;
    QByteArray in(answerSize, '\0');
    for (auto _ : state) {
        if (!RoundTrip(socket, request, in)) {
            state.SkipWithError("short answer");
            break;
        }
    }
    socket.disconnectFromHost();
}
BENCHMARK(BM_RawRequestToSimulator)->UseRealTime()->MinTime(2.0);

// The far end of the raw echo: reads 25 bytes, sends 4619 back.
class TEchoPeer : public QThread
{
public:
    quint16 Start()
    {
        start();
        ready_.acquire();
        return port_;
    }
    ~TEchoPeer() override
    {
        stop_ = true;
        wait();
    }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        port_ = server.serverPort();
        ready_.release();
        const QByteArray answer = DataAnswer();
        while (!stop_ && !server.waitForNewConnection(50)) {
        }
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        if (!socket)
            return;
        QByteArray in;
        while (!stop_ && socket->state() == QAbstractSocket::ConnectedState) {
            if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(50))
                continue;
            in += socket->readAll();
            while (in.size() >= 25) {
                in.remove(0, 25);
                socket->write(answer);
                while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(1000)) {
                }
            }
        }
    }

private:
    QSemaphore ready_;
    quint16 port_ = 0;
    std::atomic<bool> stop_{false};
};

void BM_RawSocketEcho(benchmark::State &state)
{
    EnsureApplication();
    TEchoPeer peer;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, peer.Start());
    if (!socket.waitForConnected(5000)) {
        state.SkipWithError("cannot connect to the echo peer");
        return;
    }
    const QByteArray request(25, '\0');
    const qsizetype answerSize = 25 + kDataAnswerSize;
    QByteArray in(answerSize, '\0');
    for (auto _ : state) {
        if (!RoundTrip(socket, request, in)) {
            state.SkipWithError("short echo");
            break;
        }
    }
    socket.disconnectFromHost();
    state.SetBytesProcessed(state.iterations() * (25 + answerSize));
}
BENCHMARK(BM_RawSocketEcho)->UseRealTime()->MinTime(2.0);

// The driver's whole exchange against the same echo peer: what the protocol
// stack adds to the raw echo above.
void BM_ExchangeWithEchoPeer(benchmark::State &state)
{
    EnsureApplication();
    TEchoPeer peer;
    TM7 driver(LoopbackRecord(peer.Start()));
    driver.SetDeviceNumber(1);
    if (driver.Channel()->Connect() != 0) {
        state.SkipWithError("cannot connect to the echo peer");
        return;
    }
    TR5DataCommand command(&driver);
    command.SetDescriptor({0x01, 0x01, 0x02, 0x03});
    for (auto _ : state) {
        command.Execute();
        if (command.AnswerLength() != kDataAnswerSize) {
            state.SkipWithError("unexpected answer");
            break;
        }
    }
    driver.Channel()->Disconnect();
}
BENCHMARK(BM_ExchangeWithEchoPeer)->UseRealTime()->MinTime(2.0);

} // namespace
