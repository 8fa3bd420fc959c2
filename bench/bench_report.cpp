// The quality report over a synthetic archive of 31 days (a 10-minute row
// with every value and spectrum, a cycle every 3 s): a week as JSON and as
// PDF with all its charts, and the whole month as PDF, each next to the bare
// read of the same rows through Qt SQL.

#include "report/SyntheticArchive.h"

#include "archive/ArchiveDatabase.h"
#include "report/QualityReport.h"
#include "report/ReportDocument.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace SyntheticArchive;

namespace {

constexpr int kDays = 31;

QTemporaryDir &Folder()
{
    static QTemporaryDir dir;
    return dir;
}

const TArchiveTarget &Archive31()
{
    static const TArchiveTarget target = [] {
        const TArchiveTarget t = TArchiveTarget::File(Folder().filePath(QStringLiteral("month.sqlite")));
        TArchiveDatabase db(t);
        db.Open();
        db.Begin();
        const qint64 meter = *db.MeterId({QStringLiteral("dtM7SQ"), 1, 1}, kWeekStart);
        std::vector<float> limitSlots(280, 0.0f);
        for (int i = 0; i < 280; ++i)
            limitSlots[size_t(i)] = 1.0f + float(i % 7);
        limitSlots[74] = 50.4f, limitSlots[75] = 50.2f, limitSlots[76] = 49.8f, limitSlots[77] = 49.6f;
        db.AddLimits(meter, Limits(kWeekStart, limitSlots, {{8, 0, 20, 0}}));
        for (int i = 0; i < kDays * 144; ++i) {
            Archive::TAggregateRow row = EmptyRow(kWeekStart.addSecs(i * 600LL));
            for (float &v : row.Avg)
                v = 1.0f + float(i % 13) * 0.3f;
            for (float &v : row.SpectraAvg)
                v = 0.5f + float(i % 11) * 0.1f;
            db.AddAggregate(meter, row);
        }
        for (int i = 0; i < kDays * 28800; ++i)
            db.AddCycle(meter, Cycle(kWeekStart.addSecs(i * 3LL), 50.0f + float(i % 101 - 50) * 0.005f), false);
        db.Commit();
        return t;
    }();
    return target;
}

Report::TReportRequest Request(int days)
{
    Report::TReportRequest request;
    request.From = kWeekStart;
    request.To = kWeekStart.addDays(days);
    return request;
}

void MakeReport(benchmark::State &state, int days, Report::TFormat format)
{
    TArchiveDatabase db(Archive31());
    db.Open(TArchiveDatabase::TMode::Read);
    for (auto _ : state) {
        QString error;
        const std::optional<Report::TQualityReport> report = Report::MakeQualityReport(db, Request(days), error);
        if (!report)
            state.SkipWithError(error.toUtf8().constData());
        benchmark::DoNotOptimize(Report::RenderReport(*report, format));
    }
}

// The baseline: the rows the report reads, each value fetched, nothing judged.
void BareRead(benchmark::State &state, int days)
{
    TArchiveDatabase db(Archive31());
    db.Open(TArchiveDatabase::TMode::Read);
    const QVariant bounds[] = {QVariant(1), QVariant(Archive::TimeText(kWeekStart)),
                               QVariant(Archive::TimeText(kWeekStart.addDays(days)))};
    for (auto _ : state) {
        double sum = 0;
        QSqlQuery aggregates = db.Select(
            QStringLiteral("SELECT interval_start, flags, dU1_a_avg, dU1_b_avg, dU1_c_avg, dU1_ab_avg, dU1_bc_avg, "
                           "dU1_ca_avg, dU_a_avg, dU_b_avg, dU_c_avg, dU_ab_avg, dU_bc_avg, dU_ca_avg, KU_a_avg, "
                           "KU_b_avg, KU_c_avg, KU_ab_avg, KU_bc_avg, KU_ca_avg, K0U_avg, K2U_avg, KUn_avg FROM "
                           "aggregates_10min WHERE meter_id = ? AND interval_start >= ? AND interval_start < ? "
                           "ORDER BY interval_start"),
            bounds);
        while (aggregates.next())
            for (int c = 0; c < 23; ++c)
                sum += aggregates.value(c).toByteArray().size();
        QSqlQuery cycles = db.Select(QStringLiteral("SELECT meter_time, F, dF FROM cycles WHERE meter_id = ? AND "
                                                    "meter_time >= ? AND meter_time < ? ORDER BY meter_time"),
                                     bounds);
        while (cycles.next())
            sum += cycles.value(0).toString().size() + cycles.value(1).toDouble() + cycles.value(2).toDouble();
        benchmark::DoNotOptimize(sum);
    }
}

} // namespace

BENCHMARK_CAPTURE(BareRead, week, 7)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MakeReport, week_json, 7, Report::TFormat::Json)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MakeReport, week_pdf, 7, Report::TFormat::Pdf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BareRead, month, kDays)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MakeReport, month_pdf, kDays, Report::TFormat::Pdf)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv); // the charts are widgets
    benchmark::Initialize(&argc, argv);
    Archive31();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
