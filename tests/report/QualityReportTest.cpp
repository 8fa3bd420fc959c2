// The quality report on synthetic archives with known values: the verdict's
// thresholds, the limits row and set in force, what counts as missing, the
// nearest-rank values, and the documents made of it.

#include "SyntheticArchive.h"

#include "engine/LimitClassification.h"
#include "engine/RecordSlots.h"
#include "report/QualityReport.h"
#include "report/ReportDocument.h"
#include "support/TestPostgres.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace Report;
using namespace SyntheticArchive;

namespace {

// dU1 of the phases: during the time intervals normal ±5, maximum ±10;
// outside them normal ±10, maximum ±20. K0U and K2U: normal 2, maximum 4.
// KU: normal 5, maximum 8. F: 49.8..50.2 normal, 49.6..50.4 maximum.
std::vector<float> WeekSlots(float periodNormalUpper)
{
    std::vector<float> s(280, 0.0f);
    s[0] = 57.7f;
    s[1] = 100;
    s[2] = 5;
    s[10] = 10, s[11] = periodNormalUpper, s[12] = -5, s[13] = -10;
    s[6] = 20, s[7] = 10, s[8] = -10, s[9] = -20;
    s[78] = 4, s[79] = 2, s[80] = 4, s[81] = 2;
    s[132] = 8, s[82] = 5;
    s[74] = 50.4f, s[75] = 50.2f, s[76] = 49.8f, s[77] = 49.6f;
    return s;
}

const TTimeInterval kDaytime{8, 0, 20, 0};

const TCriterionResult &Find(const TQualityReport &report, const QString &quantity, int channel = -1, int order = 0)
{
    for (const TCriterionResult &r : report.Results)
        if (r.Criterion->Quantity == quantity && r.Criterion->Channel == channel && r.Criterion->Order == order)
            return r;
    throw std::runtime_error("no such criterion");
}

QJsonObject FindJson(const QJsonArray &criteria, const QString &quantity, const QJsonValue &channel = {})
{
    for (const QJsonValue &c : criteria)
        if (c[QStringLiteral("quantity")] == quantity && c[QStringLiteral("channel")] == channel)
            return c.toObject();
    return {};
}

class ReportWeek : public ::testing::Test
{
protected:
    void SetUp() override
    {
        target = TArchiveTarget::File(dir.filePath(QStringLiteral("week.sqlite")));
        Fill(target);
    }

    static void Fill(const TArchiveTarget &target)
    {
        TArchiveDatabase db(target);
        ASSERT_TRUE(db.Open()) << db.Error().toStdString();
        ASSERT_TRUE(db.Begin());
        const qint64 meter = *db.MeterId({QStringLiteral("dtM7SQ"), 77, 3}, kWeekStart);
        // The first row is read after the first interval began: it holds for it too.
        ASSERT_TRUE(db.AddLimits(meter, Limits(kWeekStart.addSecs(300), WeekSlots(5), {kDaytime})));
        ASSERT_TRUE(db.AddLimits(meter, Limits(kWeekStart.addDays(3), WeekSlots(8), {kDaytime})));
        for (int i = 0; i < 1008; ++i) {
            Archive::TAggregateRow row = EmptyRow(kWeekStart.addSecs(i * 600LL));
            Set(row, "K2U", i < 50 ? 3 : 1);
            Set(row, "K0U", i < 51 ? 3 : 1);
            Set(row, "KU_a", i == 500 ? 9 : 1);
            Set(row, "KU_b", 1);
            Set(row, "dU1_a", 7);
            Set(row, "dU_a", float(i) * 0.01f);
            ASSERT_TRUE(db.AddAggregate(meter, row)) << db.Error().toStdString();
        }
        ASSERT_TRUE(db.Commit());
    }

    TQualityReport Make() { return Make(target); }

    static TQualityReport Make(const TArchiveTarget &target)
    {
        TArchiveDatabase db(target);
        EXPECT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
        QString error;
        std::optional<TQualityReport> report = MakeQualityReport(db, {}, error);
        EXPECT_TRUE(report) << error.toStdString();
        return report ? *report : TQualityReport{};
    }

    QTemporaryDir dir;
    TArchiveTarget target;
};

} // namespace

// 50 of 1008 beyond normal (4.96 %) conforms, 51 (5.06 %) fails, one beyond
// the maximum fails; the period's set holds 08:00-20:00 and the second limits
// row from day 3 on; the 95 % values by nearest rank; no limits set: no verdict.
TEST_F(ReportWeek, JudgesAsThePagesColour)
{
    const TQualityReport report = Make();
    EXPECT_EQ(report.From, kWeekStart); // the last seven whole days
    EXPECT_EQ(report.To, kWeekStart.addDays(7));
    EXPECT_EQ(report.Meter.FactoryNumber, 77);
    EXPECT_EQ(report.Coverage.ExpectedIntervals, 1008);
    EXPECT_EQ(report.Coverage.LimitRows, 2);

    const TCriterionResult &k2u = Find(report, QStringLiteral("K2U"));
    EXPECT_EQ(k2u.Evaluated, 1008);
    EXPECT_EQ(k2u.Missing, 0);
    EXPECT_EQ(k2u.BeyondNormal, 50);
    EXPECT_EQ(k2u.BeyondMax, 0);
    EXPECT_NEAR(k2u.ShareBeyondNormal, 4.96, 0.005);
    EXPECT_EQ(k2u.Verdict, TVerdict::Conforms);

    const TCriterionResult &k0u = Find(report, QStringLiteral("K0U"));
    EXPECT_EQ(k0u.BeyondNormal, 51);
    EXPECT_NEAR(k0u.ShareBeyondNormal, 5.06, 0.005);
    EXPECT_EQ(k0u.Verdict, TVerdict::Fails);
    ASSERT_EQ(k0u.Worst.size(), 10u);
    EXPECT_EQ(k0u.Worst.front().Time, kWeekStart);

    const TCriterionResult &kua = Find(report, QStringLiteral("KU"), 0);
    EXPECT_EQ(kua.BeyondNormal, 1);
    EXPECT_EQ(kua.BeyondMax, 1);
    EXPECT_EQ(kua.Verdict, TVerdict::Fails);
    ASSERT_EQ(kua.Worst.size(), 1u);
    EXPECT_EQ(kua.Worst[0].Time, kWeekStart.addSecs(500 * 600));
    EXPECT_EQ(kua.Worst[0].Status, 1);
    EXPECT_EQ(kua.Worst[0].Limit, 8.0f);
    EXPECT_EQ(Find(report, QStringLiteral("KU"), 1).Verdict, TVerdict::Conforms);

    // 7 % is beyond the period's normal 5 % only 08:00-20:00 of the first
    // three days (72 intervals a day); from day 3 that limit is 8 %.
    const TCriterionResult &du1 = Find(report, QStringLiteral("dU1"), 0);
    EXPECT_EQ(du1.BeyondNormal, 3 * 72);
    EXPECT_EQ(du1.BeyondMax, 0);
    ASSERT_EQ(du1.Limits.size(), 2u);
    EXPECT_EQ(du1.Limits[0].Since, kWeekStart);
    EXPECT_EQ(du1.Limits[0].Period.NormalUpper, 5.0f);
    EXPECT_EQ(du1.Limits[1].Period.NormalUpper, 8.0f);
    EXPECT_EQ(du1.Limits[1].Other.NormalUpper, 10.0f);

    const TCriterionResult &du = Find(report, QStringLiteral("dU"), 0);
    EXPECT_EQ(du.Verdict, TVerdict::NoLimits);
    EXPECT_FLOAT_EQ(*du.P95Upper, 957 * 0.01f);
    EXPECT_FLOAT_EQ(*du.P95Lower, 50 * 0.01f);
    EXPECT_FLOAT_EQ(*du.Min, 0.0f);
    EXPECT_FLOAT_EQ(*du.Max, 1007 * 0.01f);

    // No cycles: the frequency is not judged.
    EXPECT_EQ(Find(report, QStringLiteral("F")).Verdict, TVerdict::TooFewData);
    EXPECT_EQ(report.Verdict, TVerdict::Fails);

    // The record's own classification gives the same status for the same
    // limitSlots, set and moment.
    TDataStorageManagerVD record;
    record.WriteNominals(WeekSlots(5));
    record.SetTimeIntervals(std::span(&kDaytime, 1));
    const TLimitDescriptor limits = Find(report, QStringLiteral("dU1"), 0).Criterion->Limits;
    const std::vector<float> limitSlots = WeekSlots(5);
    for (int hour : {3, 12})
        for (float value : {-25.0f, -15.0f, -7.0f, 0.0f, 7.0f, 12.0f, 25.0f}) {
            record.SetDeviceDateTime(DayCount(kWeekStart.addSecs(hour * 3600)));
            record.StoreValue(VDSlot::dU1, value, false);
            EXPECT_EQ(
                record.ClassifyAgainstLimits(VDSlot::dU1, limits),
                ClassifyValue(value, limits, InLimitPeriod(hour * 3600000LL, std::span(&kDaytime, 1)), limitSlots))
                << hour << " " << value;
        }
}

// The JSON carries the same numbers; the PDF's text holds the verdicts; the
// HTML holds its charts.
TEST_F(ReportWeek, DocumentsCarryTheVerdicts)
{
    const TQualityReport report = Make();
    const QJsonObject json = QJsonDocument::fromJson(RenderReport(report, TFormat::Json)).object();
    EXPECT_EQ(json[QStringLiteral("verdict")].toString(), QStringLiteral("не соответствует"));
    EXPECT_EQ(json[QStringLiteral("from")].toString(), QStringLiteral("2026-01-05T00:00:00"));
    EXPECT_EQ(json[QStringLiteral("to")].toString(), QStringLiteral("2026-01-12T00:00:00"));
    EXPECT_EQ(json[QStringLiteral("meter")][QStringLiteral("factory_number")].toInt(), 77);
    const QJsonArray criteria = json[QStringLiteral("criteria")].toArray();
    EXPECT_EQ(criteria.size(), 2 + 3 * 6 + 2 + 6 * 49);
    const QJsonObject k2u = FindJson(criteria, QStringLiteral("K2U"));
    EXPECT_EQ(k2u[QStringLiteral("evaluated")].toInt(), 1008);
    EXPECT_EQ(k2u[QStringLiteral("missing")].toInt(), 0);
    EXPECT_EQ(k2u[QStringLiteral("beyond_normal")].toInt(), 50);
    EXPECT_NEAR(k2u[QStringLiteral("share_beyond_normal")].toDouble(), 4.96, 0.005);
    EXPECT_EQ(k2u[QStringLiteral("basis")].toString(), QStringLiteral("10min"));
    EXPECT_EQ(k2u[QStringLiteral("verdict")].toString(), QStringLiteral("соответствует"));
    EXPECT_EQ(k2u[QStringLiteral("limits")][0][QStringLiteral("normal_upper")].toDouble(), 2.0);
    const QJsonObject k0u = FindJson(criteria, QStringLiteral("K0U"));
    EXPECT_NEAR(k0u[QStringLiteral("share_beyond_normal")].toDouble(), 5.06, 0.005);
    EXPECT_EQ(k0u[QStringLiteral("verdict")].toString(), QStringLiteral("не соответствует"));
    const QJsonObject kua = FindJson(criteria, QStringLiteral("KU"), QStringLiteral("a"));
    EXPECT_EQ(kua[QStringLiteral("beyond_max")].toInt(), 1);
    EXPECT_EQ(kua[QStringLiteral("max")].toDouble(), 9.0);
    const QJsonObject du = FindJson(criteria, QStringLiteral("dU"), QStringLiteral("a"));
    EXPECT_EQ(du[QStringLiteral("p95_upper")].toDouble(), 9.57);
    EXPECT_EQ(du[QStringLiteral("p95_lower")].toDouble(), 0.5);
    EXPECT_EQ(du[QStringLiteral("verdict")].toString(), QStringLiteral("нет пределов"));
    const QJsonObject du1 = FindJson(criteria, QStringLiteral("dU1"), QStringLiteral("a"));
    EXPECT_EQ(du1[QStringLiteral("limits")][1][QStringLiteral("in_period")][QStringLiteral("normal_upper")].toDouble(),
              8.0);
    EXPECT_EQ(FindJson(criteria, QStringLiteral("F"))[QStringLiteral("basis")].toString(), QStringLiteral("3s"));

    const QByteArray html = RenderReport(report, TFormat::Html);
    EXPECT_GE(html.count("src=\"data:image/png;base64,"), 9);
    EXPECT_EQ(html.count("chart:"), 0);

    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QFile pdf(dir.filePath(QStringLiteral("report.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
    pdf.write(RenderReport(report, TFormat::Pdf));
    pdf.close();
    QProcess process;
    process.start(pdftotext, {pdf.fileName(), QStringLiteral("-")});
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("Отчёт о качестве электроэнергии")));
    EXPECT_TRUE(text.contains(QStringLiteral("Заключение: не соответствует")));
    for (const char *word : {"соответствует", "нет пределов", "недостаточно данных", "K0U", "K2U", "M7 (SQ v10+) № 77"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(word))) << word;
}

// PostgreSQL gives the same report as the file: times read as text there too.
TEST_F(ReportWeek, SameFromPostgreSQL)
{
    const QString url = TestPostgresUrl(QStringLiteral("report_week"));
    SKIP_WITHOUT_TEST_POSTGRES(url);
    const TArchiveTarget server = TArchiveTarget::Parse(url);
    Fill(server);
    EXPECT_EQ(RenderReport(Make(server), TFormat::Json), RenderReport(Make(), TFormat::Json));
}

// Missing, flagged and NaN values are not judged and counted as missing; too
// few values give no verdict; limits of 0 or no limits row at all give "нет
// пределов"; an interval without data, a meter not there, or a choice left
// open among several meters are refused.
TEST(Report, MissingDataAndLimitsAreNeverJudged)
{
    QTemporaryDir dir;
    const TArchiveTarget target = TArchiveTarget::File(dir.filePath(QStringLiteral("gaps.sqlite")));
    {
        TArchiveDatabase db(target);
        ASSERT_TRUE(db.Open());
        ASSERT_TRUE(db.Begin());
        const qint64 meter = *db.MeterId({QStringLiteral("dtM7SQ"), 77, 1}, kWeekStart);
        std::vector<float> limitSlots(280, 0.0f);
        limitSlots[78] = 4, limitSlots[79] = 2, limitSlots[80] = 4, limitSlots[81] = 2;
        limitSlots[74] = 50.4f, limitSlots[75] = 50.2f, limitSlots[76] = 49.8f, limitSlots[77] = 49.6f;
        ASSERT_TRUE(db.AddLimits(meter, Limits(kWeekStart, limitSlots, {})));
        for (int i = 0; i < 144; ++i) {
            if (i >= 100 && i < 111)
                continue; // a gap
            Archive::TAggregateRow row = EmptyRow(kWeekStart.addSecs(i * 600LL), i < 3 ? 1 << i : 0);
            Set(row, "K2U", i == 50 || i == 51 ? std::nanf("") : 1);
            Set(row, "K0U", i < 3 ? 9 : 1); // beyond, but flagged
            Set(row, "KU_a", 50);
            ASSERT_TRUE(db.AddAggregate(meter, row));
        }
        for (int i = 0; i < 1200; ++i)
            ASSERT_TRUE(
                db.AddCycle(meter, Cycle(kWeekStart.addSecs(6 * 3600 + i * 3), i == 7 ? std::nanf("") : 50), false));
        // another meter, without limits
        const qint64 other = *db.MeterId({QStringLiteral("dtM7SQ"), 88, 2}, kWeekStart);
        for (int i = 0; i < 144; ++i) {
            Archive::TAggregateRow row = EmptyRow(kWeekStart.addSecs(i * 600LL));
            Set(row, "K2U", 30);
            ASSERT_TRUE(db.AddAggregate(other, row));
        }
        ASSERT_TRUE(db.Commit());
    }
    TArchiveDatabase db(target);
    ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
    TReportRequest request;
    request.FactoryNumber = 77;
    request.From = kWeekStart;
    request.To = kWeekStart.addDays(1);
    QString error;
    const std::optional<TQualityReport> report = MakeQualityReport(db, request, error);
    ASSERT_TRUE(report) << error.toStdString();
    EXPECT_EQ(report->Coverage.ExpectedIntervals, 144);
    EXPECT_EQ(report->Coverage.IntervalRows, 133);
    EXPECT_EQ(report->Coverage.FlaggedIntervals, 3);
    EXPECT_EQ(report->Coverage.Cycles, 1200);

    const TCriterionResult &k2u = Find(*report, QStringLiteral("K2U"));
    EXPECT_EQ(k2u.Evaluated, 128);
    EXPECT_EQ(k2u.Missing, 16);
    EXPECT_EQ(k2u.Verdict, TVerdict::TooFewData); // 88.9 % of the values
    const TCriterionResult &k0u = Find(*report, QStringLiteral("K0U"));
    EXPECT_EQ(k0u.Evaluated, 130);
    EXPECT_EQ(k0u.BeyondNormal, 0);
    EXPECT_EQ(k0u.Verdict, TVerdict::Conforms);                                    // 90.3 %
    EXPECT_EQ(Find(*report, QStringLiteral("KU"), 0).Verdict, TVerdict::NoLimits); // its limits are 0
    const TCriterionResult &f = Find(*report, QStringLiteral("F"));
    EXPECT_EQ(f.Evaluated, 1199);
    EXPECT_EQ(f.Expected, 28800);
    EXPECT_EQ(f.Missing, 28800 - 1199);
    EXPECT_EQ(f.Verdict, TVerdict::TooFewData);
    EXPECT_EQ(report->Verdict, TVerdict::TooFewData);
    EXPECT_FALSE(RenderReport(*report, TFormat::Pdf).isEmpty());

    request.FactoryNumber = 88; // no limits row: values far out, yet no verdict
    const std::optional<TQualityReport> bare = MakeQualityReport(db, request, error);
    ASSERT_TRUE(bare) << error.toStdString();
    EXPECT_EQ(Find(*bare, QStringLiteral("K2U")).Verdict, TVerdict::NoLimits);
    EXPECT_EQ(Find(*bare, QStringLiteral("K2U")).BeyondNormal, 0);
    EXPECT_EQ(bare->Verdict, TVerdict::NoLimits);
    EXPECT_FALSE(RenderReport(*bare, TFormat::Html).isEmpty());

    request.From = QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC);
    request.To = request.From.addDays(7);
    EXPECT_FALSE(MakeQualityReport(db, request, error));
    EXPECT_TRUE(error.contains(QStringLiteral("нет данных"))) << error.toStdString();
    request.FactoryNumber = 99;
    EXPECT_FALSE(MakeQualityReport(db, request, error));
    EXPECT_TRUE(error.contains(QStringLiteral("нет счетчика"))) << error.toStdString();
    request.FactoryNumber.reset();
    EXPECT_FALSE(MakeQualityReport(db, request, error));
    EXPECT_TRUE(error.contains(QStringLiteral("несколько"))) << error.toStdString();
}

TEST(Report, NearestRankValues)
{
    std::vector<float> twenty;
    for (int i = 1; i <= 20; ++i)
        twenty.push_back(float(21 - i));
    EXPECT_EQ(*UpperPercentile(twenty, 95), 19.0f); // 19 of 20 at or below
    EXPECT_EQ(*LowerPercentile(twenty, 95), 2.0f);  // 19 of 20 at or above
    std::vector<float> one{4};
    EXPECT_EQ(*UpperPercentile(one, 95), 4.0f);
    EXPECT_EQ(*LowerPercentile(one, 95), 4.0f);
    std::vector<float> none;
    EXPECT_FALSE(UpperPercentile(none, 95));
}

namespace {

// An hour of cycles (and its six 10-minute rows) of meter 77 with F limits
// 49.8..50.2 normal, 49.6..50.4 maximum and dF ±0.2 / ±0.4; `frequency`
// gives cycle i's value, NaN for none written.
std::optional<TQualityReport> HourReport(const QTemporaryDir &dir, const std::function<float(int)> &frequency,
                                         const std::function<float(int)> &k2u)
{
    const TArchiveTarget target = TArchiveTarget::File(dir.filePath(QStringLiteral("hour.sqlite")));
    {
        TArchiveDatabase db(target);
        EXPECT_TRUE(db.Open());
        EXPECT_TRUE(db.Begin());
        const qint64 meter = *db.MeterId({QStringLiteral("dtM7SQ"), 77, 1}, kWeekStart);
        std::vector<float> limitSlots = WeekSlots(5);
        limitSlots[70] = 0.4f, limitSlots[71] = 0.2f, limitSlots[72] = -0.2f, limitSlots[73] = -0.4f;
        EXPECT_TRUE(db.AddLimits(meter, Limits(kWeekStart, limitSlots, {})));
        for (int i = 0; i < 1200; ++i)
            if (const float f = frequency(i); !std::isnan(f)) {
                EXPECT_TRUE(db.AddCycle(meter, Cycle(kWeekStart.addSecs(i * 3), f), false));
            }
        for (int i = 0; i < 6; ++i)
            if (const float value = k2u(i); !std::isnan(value)) {
                Archive::TAggregateRow row = EmptyRow(kWeekStart.addSecs(i * 600));
                Set(row, "K2U", value);
                Set(row, "K0U", 1);
                EXPECT_TRUE(db.AddAggregate(meter, row));
            }
        EXPECT_TRUE(db.Commit());
    }
    TArchiveDatabase db(target);
    EXPECT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
    TReportRequest request;
    request.From = kWeekStart;
    request.To = kWeekStart.addSecs(3600);
    QString error;
    std::optional<TQualityReport> report = MakeQualityReport(db, request, error);
    EXPECT_TRUE(report) << error.toStdString();
    return report;
}

} // namespace

// With 86 % of the cycles, 4 % of F beyond the maximum fails all the same; one
// K2U value beyond normal among 5 of 6 rows is already more than 5 % of the six
// expected; K0U within its limits in 5 of 6 rows could still go either way.
TEST(Report, FailsWhatNoMissingValueCouldSave)
{
    QTemporaryDir dir;
    const auto report = HourReport(
        dir, [](int i) { return i >= 1032     ? std::nanf("")
                                : i % 25 == 0 ? 50.5f
                                              : 50.0f; },
        [](int i) { return i == 5   ? std::nanf("")
                           : i == 2 ? 3.0f
                                    : 1.0f; });
    ASSERT_TRUE(report);
    const TCriterionResult &f = Find(*report, QStringLiteral("F"));
    EXPECT_EQ(f.Evaluated, 1032);
    EXPECT_EQ(f.BeyondMax, 42);
    EXPECT_EQ(f.Verdict, TVerdict::Fails);
    EXPECT_EQ(Find(*report, QStringLiteral("K2U")).Verdict, TVerdict::Fails);
    EXPECT_EQ(Find(*report, QStringLiteral("K0U")).Verdict, TVerdict::TooFewData);
    EXPECT_EQ(report->Verdict, TVerdict::Fails);
}

// The worst F and dF values are the farthest beyond a maximum, even late in
// the interval, and a value beyond a normal limit, however far, comes after
// every value beyond a maximum.
TEST(Report, WorstAreTheFarthest)
{
    QTemporaryDir dir;
    const auto report = HourReport(
        dir,
        [](int i) {
            if (i < 4)
                return 50.45f; // beyond the maximum by 0.05
            if (i < 24)
                return 50.3f; // beyond normal by 0.1
            if (i >= 1190)
                return 50.5f + 0.01f * float(i - 1190);
            return 50.0f;
        },
        [](int) { return 1.0f; });
    ASSERT_TRUE(report);
    for (const QString &quantity : {QStringLiteral("F"), QStringLiteral("dF")}) {
        const TCriterionResult &r = Find(*report, quantity);
        ASSERT_EQ(r.Worst.size(), 10u) << quantity.toStdString();
        EXPECT_EQ(r.Worst.front().Value, *r.Max) << quantity.toStdString();
        EXPECT_EQ(r.Worst.front().Time, kWeekStart.addSecs(1199 * 3)) << quantity.toStdString();
        for (size_t k = 0; k < 10; ++k) {
            EXPECT_EQ(r.Worst[k].Status, 1) << quantity.toStdString() << k;
            EXPECT_EQ(r.Worst[k].Time, kWeekStart.addSecs((1199 - qint64(k)) * 3)) << quantity.toStdString() << k;
        }
    }
}

// Three minutes of recording hold no whole day: the report judges all of
// them, and says so.
TEST(Report, DefaultIntervalWithoutAWholeDay)
{
    QTemporaryDir dir;
    const TArchiveTarget target = TArchiveTarget::File(dir.filePath(QStringLiteral("short.sqlite")));
    const QDateTime start = kWeekStart.addSecs(10 * 3600 + 7);
    {
        TArchiveDatabase db(target);
        ASSERT_TRUE(db.Open());
        ASSERT_TRUE(db.Begin());
        const qint64 meter = *db.MeterId({QStringLiteral("dtM7SQ"), 77, 1}, start);
        for (int i = 0; i < 60; ++i)
            ASSERT_TRUE(db.AddCycle(meter, Cycle(start.addSecs(i * 3), 50), false));
        ASSERT_TRUE(db.Commit());
    }
    TArchiveDatabase db(target);
    ASSERT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
    QString error;
    const std::optional<TQualityReport> report = MakeQualityReport(db, {}, error);
    ASSERT_TRUE(report) << error.toStdString();
    EXPECT_EQ(report->From, start);
    EXPECT_EQ(report->To, start.addSecs(180));
    EXPECT_EQ(Find(*report, QStringLiteral("F")).Evaluated, 60);
    EXPECT_EQ(Find(*report, QStringLiteral("F")).Expected, 60);
    EXPECT_EQ(report->IntervalNote, QStringLiteral("Оценен весь архив прибора: 3 мин, полных суток в архиве нет"));
    EXPECT_TRUE(QString::fromUtf8(RenderReport(*report, TFormat::Html)).contains(report->IntervalNote));
}
