// Cost of the per-cycle work on the polling side: decoding one data answer,
// storing an oscillogram, parsing a COMTRADE record, and the CSV saver's
// consistent copy of the record.

#include "engine/MeasurementRecord.h"
#include "engine/DataAnswerDecoder.h"
#include "files/Comtrade.h"

#include <benchmark/benchmark.h>

#include <QByteArray>

namespace {

QByteArray DataAnswer()
{
    QByteArray answer(TWriterVD::DataAnswerLength, '\0');
    for (qsizetype i = 0; i < answer.size(); ++i)
        answer[i] = char((i * 37) & 0x3F);
    return answer;
}

QByteArray ComtradeConfig()
{
    QByteArray cfg = "Tarvel-R5,N1234,1999\r\n13,9A,4D\r\n";
    for (int c = 1; c <= 9; ++c)
        cfg += "1,U,A,,V,0.01,0,0,-32767,32767,1,1,P\r\n";
    for (int d = 1; d <= 4; ++d)
        cfg += "10,D,,,0\r\n";
    cfg += "50\r\n1\r\n3200,1280\r\n15/06/2024,13:45:10.123456\r\n15/06/2024,13:45:10.150000\r\nBINARY\r\n1\r\n";
    return cfg;
}

void BM_WriteData(benchmark::State &state)
{
    TDataStorageManagerVD store;
    const QByteArray answer = DataAnswer();
    for (auto _ : state)
        store.WriteData(TDataDescriptor{1, 1, 2, 3}, answer);
}
BENCHMARK(BM_WriteData);

void BM_WriteOscillogram(benchmark::State &state)
{
    TDataStorageManagerVD store;
    const std::vector<float> samples(9 * 1280, 1.5f);
    for (auto _ : state)
        store.WriteOscillogram(samples);
}
BENCHMARK(BM_WriteOscillogram);

void BM_SnapshotData(benchmark::State &state)
{
    TDataStorageManagerVD store;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.SnapshotData());
}
BENCHMARK(BM_SnapshotData);

void BM_ParseComtrade(benchmark::State &state)
{
    const QByteArray cfg = ComtradeConfig();
    const QByteArray dat(1280 * 28, '\x11');
    for (auto _ : state) {
        const TFileCOMTRADE record(dat, cfg);
        benchmark::DoNotOptimize(record.Samples().data());
    }
}
BENCHMARK(BM_ParseComtrade);

} // namespace
