// Loading and saving a list of 1 000 saved connections (a support engineer's
// collection of sites) in both forms: time per connection, and the text form
// against the binary one in the same run.

#include "catalogue/CatalogueDevices.h"
#include "catalogue/CatalogueProtocols.h"
#include "catalogue/ConnectionList.h"
#include "catalogue/ConnectionModes.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kConnections = 1000;

// A mix of the connection kinds an engineer keeps: direct cables, phone
// modems and TCP/IP converters, each with a comment.
const TccnConnectionList &ThousandConnections()
{
    static const auto list = [] {
        auto made = std::make_unique<TccnConnectionList>();
        for (int i = 0; i < kConnections; ++i) {
            TccnConnection connection;
            auto device = std::make_unique<TccnM7Dev>();
            device->FactoryNum = 10000 + i;
            device->Comment = QStringLiteral("Подстанция %1, ввод 2").arg(i);
            connection.SetCustomDevice(std::move(device));
            auto protocol = std::make_unique<TccnTarvelProtocol>();
            protocol->DeviceAddress = quint16(1 + i % 200);
            connection.SetCustomDeviceProtocol(std::move(protocol));
            switch (i % 3) {
            case 0: {
                auto mode = std::make_unique<TccnDirect232ConMode>();
                mode->ComPortInterface().PortName = QStringLiteral("COM%1").arg(1 + i % 9);
                connection.SetCustomConMode(std::move(mode));
                break;
            }
            case 1: {
                auto mode = std::make_unique<TccnPhoneModem232ConMode>();
                mode->PhoneModem().PhoneNumber = QStringLiteral("8495%1").arg(1000000 + i);
                connection.SetCustomConMode(std::move(mode));
                break;
            }
            default: {
                auto mode = std::make_unique<TccnDirectTCPIPConMode>();
                mode->TCPIPInterface().IpAddress = QStringLiteral("10.0.%1.%2").arg(i / 250).arg(1 + i % 250);
                connection.SetCustomConMode(std::move(mode));
                break;
            }
            }
            made->AddConnection(connection);
        }
        return made;
    }();
    return *list;
}

void Report(benchmark::State &state, qsizetype bytes)
{
    state.counters["us_per_connection"] = benchmark::Counter(double(state.iterations()) * kConnections,
                                                             benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
                                                             benchmark::Counter::OneK::kIs1000);
    state.counters["bytes"] = double(bytes);
}

void BM_SaveList(benchmark::State &state)
{
    const int format = int(state.range(0));
    const TccnConnectionList &list = ThousandConnections();
    QByteArray bytes;
    for (auto _ : state) {
        bytes = list.SaveToBytes(format);
        benchmark::DoNotOptimize(bytes.data());
    }
    Report(state, bytes.size());
}
BENCHMARK(BM_SaveList)->ArgName("form")->Arg(csfBinary)->Arg(csfText)->Unit(benchmark::kMillisecond);

void BM_LoadList(benchmark::State &state)
{
    const int format = int(state.range(0));
    const QByteArray bytes = ThousandConnections().SaveToBytes(format);
    for (auto _ : state) {
        TccnConnectionList list;
        list.LoadFromBytes(bytes, format);
        benchmark::DoNotOptimize(list.Count());
    }
    Report(state, bytes.size());
}
BENCHMARK(BM_LoadList)->ArgName("form")->Arg(csfBinary)->Arg(csfText)->Unit(benchmark::kMillisecond);

// A text list opened as the list window does it: binary tried first.
void BM_LoadTextListAsAnyForm(benchmark::State &state)
{
    const QByteArray bytes = ThousandConnections().SaveToBytes(csfText);
    for (auto _ : state) {
        TccnConnectionList list;
        list.LoadFromBytes(bytes, csfAny);
        benchmark::DoNotOptimize(list.Count());
    }
    Report(state, bytes.size());
}
BENCHMARK(BM_LoadTextListAsAnyForm)->Unit(benchmark::kMillisecond);

} // namespace
