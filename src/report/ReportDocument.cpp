#include "report/ReportDocument.h"

#include "archive/ArchiveRows.h"
#include "catalogue/CatalogueTypes.h"
#include "common/UserFolders.h"
#include "engine/RecordSlots.h"
#include "report/ReportCharts.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>
#include <cmath>

namespace Report {
namespace {

constexpr QSize kChartSize(1000, 440);
constexpr int kChartWidthOnPage = 500; // points: the A4 text width
// Points of the page above and below the text: the running head and foot.
constexpr double kHeadHeight = 18;
constexpr double kFootHeight = 18;

// A section of the document: its results and its charts.
struct TSection
{
    QString Title;
    std::vector<size_t> Results;
    std::vector<std::pair<QString, std::vector<size_t>>> Charts;
};

std::vector<size_t> Matching(const TQualityReport &report, const QString &quantity, int firstChannel = 0,
                             int lastChannel = 5)
{
    std::vector<size_t> found;
    for (size_t i = 0; i < report.Results.size(); ++i) {
        const TCriterion &c = *report.Results[i].Criterion;
        if (c.Quantity == quantity && (c.Channel < 0 || (c.Channel >= firstChannel && c.Channel <= lastChannel)))
            found.push_back(i);
    }
    return found;
}

// The harmonic order charted: the one farthest beyond its limits.
int WorstOrder(const TQualityReport &report)
{
    int worst = 0;
    std::tuple<int, double, double> worstKey{-1, -1, -1};
    for (const TCriterionResult &r : report.Results) {
        if (r.Criterion->Quantity != QLatin1String("KUn"))
            continue;
        const std::tuple<int, double, double> key{r.Verdict == TVerdict::Fails, r.ShareBeyondMax, r.ShareBeyondNormal};
        if (key > worstKey || worst == 0) {
            worstKey = key;
            worst = r.Criterion->Order;
        }
    }
    return worst;
}

std::vector<TSection> Sections(const TQualityReport &report)
{
    std::vector<TSection> sections;
    sections.push_back({QStringLiteral("Частота (по 3-секундным значениям)"), {}, {}});
    for (const char *q : {"F", "dF"}) {
        const std::vector<size_t> r = Matching(report, QLatin1String(q));
        sections.back().Results.insert(sections.back().Results.end(), r.begin(), r.end());
        if (!r.empty())
            sections.back().Charts.push_back(
                {DisplayName(*report.Results[r.front()].Criterion) + QStringLiteral(", Гц"), r});
    }
    for (const auto &[quantity, title] : {std::pair{"dU1", "Отклонение напряжения δU (весь сигнал)"},
                                          std::pair{"dU", "Отклонение напряжения δU(1) (первая гармоника)"}}) {
        TSection section{QString::fromUtf8(title), Matching(report, QLatin1String(quantity)), {}};
        const QString name = quantity == std::string_view("dU1") ? QStringLiteral("δU") : QStringLiteral("δU(1)");
        section.Charts.push_back({name + QStringLiteral(" фаз, %"), Matching(report, QLatin1String(quantity), 0, 2)});
        section.Charts.push_back(
            {name + QStringLiteral(" междуфазных, %"), Matching(report, QLatin1String(quantity), 3, 5)});
        sections.push_back(section);
    }
    sections.push_back({QStringLiteral("Суммарный коэффициент гармонических составляющих KU"),
                        Matching(report, QStringLiteral("KU")),
                        {{QStringLiteral("KU, %"), Matching(report, QStringLiteral("KU"))}}});
    TSection unbalance{QStringLiteral("Несимметрия напряжения"), {}, {}};
    for (const char *q : {"K0U", "K2U"}) {
        const std::vector<size_t> r = Matching(report, QLatin1String(q));
        unbalance.Results.insert(unbalance.Results.end(), r.begin(), r.end());
        unbalance.Charts.push_back({QLatin1String(q) + QStringLiteral(", %"), r});
    }
    sections.push_back(unbalance);
    TSection harmonics{
        QStringLiteral("Коэффициенты гармонических составляющих Ku(n)"), Matching(report, QStringLiteral("KUn")), {}};
    if (const int order = WorstOrder(report); order > 0) {
        std::vector<size_t> r;
        for (size_t i : harmonics.Results)
            if (report.Results[i].Criterion->Order == order)
                r.push_back(i);
        harmonics.Charts.push_back({QStringLiteral("Ku(%1), % (порядок с наихудшим результатом)").arg(order), r});
    }
    sections.push_back(harmonics);
    return sections;
}

QString Digits(const TCriterion &criterion, double value)
{
    const int digits = criterion.Quantity == QLatin1String("F") || criterion.Quantity == QLatin1String("dF") ? 3 : 2;
    return QString::number(value, 'f', digits).replace(u'.', u',');
}

QString Number(const TCriterion &criterion, const std::optional<float> &value)
{
    return value ? Digits(criterion, double(*value)) : QStringLiteral("—");
}

QString LimitText(const TCriterion &criterion, float value)
{
    return value != 0.0f && std::isfinite(value) ? Digits(criterion, double(value)) : QStringLiteral("—");
}

QString Percent(double value)
{
    return QString::number(value, 'f', 2).replace(u'.', u',');
}

QString Time(const QDateTime &time)
{
    return time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QString StatusText(int status)
{
    switch (status) {
    case 1: return QStringLiteral("выше наибольшего верхнего");
    case 2: return QStringLiteral("выше нормального верхнего");
    case 3: return QStringLiteral("ниже нормального нижнего");
    case 4: return QStringLiteral("ниже наибольшего нижнего");
    default: return {};
    }
}

QString VerdictCell(TVerdict verdict)
{
    const char *colour = verdict == TVerdict::Fails ? "#f4b0b0" : verdict == TVerdict::Conforms ? "#c8ecc8" : "#e4e4e4";
    return QStringLiteral("<td bgcolor=\"%1\">%2</td>").arg(QLatin1String(colour), VerdictText(verdict));
}

int VerdictRank(TVerdict verdict)
{
    switch (verdict) {
    case TVerdict::Fails: return 0;
    case TVerdict::TooFewData: return 1;
    case TVerdict::Conforms: return 2;
    case TVerdict::NoLimits: break;
    }
    return 3;
}

QString Escape(const QString &text)
{
    return text.toHtmlEscaped();
}

// Header rows are repeated on each page the table continues on.
QString TableStart(const QString &headerRow)
{
    return QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" width=\"100%\" "
                          "style=\"font-size:7pt\"><thead>") +
           headerRow + QStringLiteral("</thead>");
}

QString Key(const QString &text)
{
    return QStringLiteral("<p style=\"font-size:7pt\">%1</p>").arg(text);
}

QString ResultsTable(const TQualityReport &report, const std::vector<size_t> &rows)
{
    QString html = TableStart(QStringLiteral("<tr><th>Величина</th><th>Оцен.</th><th>Проп.</th><th>За норм.</th>"
                                             "<th>%</th><th>За наиб.</th><th>%</th><th>Мин.</th><th>Макс.</th>"
                                             "<th>95 % ниж.</th><th>95 % верх.</th><th>Заключение</th></tr>"));
    for (size_t i : rows) {
        const TCriterionResult &r = report.Results[i];
        const TCriterion &c = *r.Criterion;
        html += QStringLiteral("<tr><td>%1, %2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td><td>%8</td>"
                               "<td>%9</td><td>%10</td><td>%11</td><td>%12</td>%13</tr>")
                    .arg(Escape(DisplayName(c)), Unit(c))
                    .arg(r.Evaluated)
                    .arg(r.Missing)
                    .arg(r.BeyondNormal)
                    .arg(Percent(r.ShareBeyondNormal))
                    .arg(r.BeyondMax)
                    .arg(Percent(r.ShareBeyondMax))
                    .arg(Number(c, r.Min), Number(c, r.Max), Number(c, r.P95Lower), Number(c, r.P95Upper),
                         VerdictCell(r.Verdict));
    }
    return html + QStringLiteral("</table>") +
           Key(QStringLiteral("Оцен. — оценено значений, Проп. — пропущено; За норм., За наиб. — значений за "
                              "нормальными и за наибольшими пределами и их доля в % оценённых; 95 % ниж., 95 % "
                              "верх. — нижнее и верхнее значения 95 %."));
}

// Every criterion, failing first; the harmonic orders of a channel folded
// into one row (the worst verdict, the orders that fail).
QString SummaryTable(const TQualityReport &report, const std::vector<size_t> &order)
{
    QString html = TableStart(QStringLiteral("<tr><th>Величина</th><th>Оценено значений</th><th>За нормальными "
                                             "пределами, %</th><th>За наибольшими пределами, %</th>"
                                             "<th>Заключение</th></tr>"));
    std::vector<bool> folded(VDSlot::VoltageChannels, false);
    for (size_t i : order) {
        const TCriterionResult &r = report.Results[i];
        const TCriterion &c = *r.Criterion;
        if (c.Quantity != QLatin1String("KUn")) {
            html += QStringLiteral("<tr><td>%1, %2</td><td>%3</td><td>%4</td><td>%5</td>%6</tr>")
                        .arg(Escape(DisplayName(c)), Unit(c))
                        .arg(r.Evaluated)
                        .arg(Percent(r.ShareBeyondNormal), Percent(r.ShareBeyondMax), VerdictCell(r.Verdict));
            continue;
        }
        if (folded[size_t(c.Channel)])
            continue;
        folded[size_t(c.Channel)] = true;
        // i is the channel's worst order: the order is sorted by verdict.
        QStringList failing;
        double worstNormal = 0, worstMax = 0;
        for (const TCriterionResult &o : report.Results)
            if (o.Criterion->Quantity == c.Quantity && o.Criterion->Channel == c.Channel) {
                if (o.Verdict == TVerdict::Fails)
                    failing << QString::number(o.Criterion->Order);
                worstNormal = std::max(worstNormal, o.ShareBeyondNormal);
                worstMax = std::max(worstMax, o.ShareBeyondMax);
            }
        html += QStringLiteral("<tr><td>Ku(n) %1, n = 2..50, %%2</td><td>%3</td><td>до %4</td><td>до %5</td>%6</tr>")
                    .arg(ChannelName(c.Channel),
                         failing.isEmpty() ? QString()
                                           : QStringLiteral(" (не соответствуют n = %1)").arg(failing.join(u',')))
                    .arg(r.Evaluated)
                    .arg(Percent(worstNormal), Percent(worstMax), VerdictCell(r.Verdict));
    }
    return html + QStringLiteral("</table>");
}

// The harmonic orders as rows, the channels as columns: the share beyond the
// normal limit and the maximum, coloured by the verdict.
QString HarmonicsTable(const TQualityReport &report, const std::vector<size_t> &results)
{
    QString header = QStringLiteral("<tr><th>n</th>");
    for (int c = 0; c < VDSlot::VoltageChannels; ++c)
        header += QStringLiteral("<th>%1</th>").arg(ChannelName(c));
    QString html = TableStart(header + QStringLiteral("</tr>"));
    for (int n = 2; n <= 50; ++n) {
        html += QStringLiteral("<tr><td>%1</td>").arg(n);
        for (int c = 0; c < VDSlot::VoltageChannels; ++c)
            for (size_t i : results) {
                const TCriterionResult &r = report.Results[i];
                if (r.Criterion->Order != n || r.Criterion->Channel != c)
                    continue;
                const char *colour = r.Verdict == TVerdict::Fails      ? "#f4b0b0"
                                     : r.Verdict == TVerdict::Conforms ? "#c8ecc8"
                                                                       : "#e4e4e4";
                html += QStringLiteral("<td bgcolor=\"%1\">%2 / %3</td>")
                            .arg(QLatin1String(colour), Percent(r.ShareBeyondNormal), Number(*r.Criterion, r.Max));
            }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>") +
           Key(QStringLiteral("В ячейке: доля значений за нормальным пределом, %, / наибольшее значение Ku(n), %. "
                              "Цвет ячейки — заключение: красный — не соответствует, зелёный — соответствует, "
                              "серый — нет пределов или недостаточно данных."));
}

// One row per quantity and limits row whose limits are the same on its
// channels (the harmonics of every channel share theirs).
QString LimitsTable(const TQualityReport &report)
{
    QString html = TableStart(QStringLiteral("<tr><th>Величина</th><th>Действуют с</th><th>Набор</th><th>Наибольший "
                                             "верхний</th><th>Нормальный верхний</th><th>Нормальный нижний</th>"
                                             "<th>Наибольший нижний</th></tr>"));
    struct TGroup
    {
        QStringList Names;
        const TCriterionResult *First;
    };
    std::vector<TGroup> groups;
    for (const TCriterionResult &r : report.Results) {
        const TCriterion &c = *r.Criterion;
        const QString label = c.Quantity == QLatin1String("KUn") ? DisplayName(c).section(u' ', 0, 0) : DisplayName(c);
        auto same = std::find_if(groups.begin(), groups.end(), [&](const TGroup &g) {
            const TCriterion &o = *g.First->Criterion;
            return o.Quantity == c.Quantity && o.Order == c.Order && o.Limits.Kind == c.Limits.Kind &&
                   o.Limits.Index == c.Limits.Index;
        });
        if (same == groups.end())
            groups.push_back({{label}, &r});
        else if (c.Quantity != QLatin1String("KUn"))
            same->Names << ChannelName(c.Channel);
    }
    for (const TGroup &g : groups) {
        const TCriterion &c = *g.First->Criterion;
        if (c.Quantity == QLatin1String("KUn"))
            continue; // in a table of their own
        for (const TLimitsUsed &used : g.First->Limits) {
            const auto row = [&](const QString &set, const TLimitValues &v) {
                html += QStringLiteral("<tr><td>%1, %2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td>"
                                       "<td>%8</td></tr>")
                            .arg(Escape(g.Names.join(QStringLiteral(", "))), Unit(c), Time(used.Since), set,
                                 LimitText(c, v.MaxUpper), LimitText(c, v.NormalUpper), LimitText(c, v.NormalLower),
                                 LimitText(c, v.MaxLower));
            };
            if (used.TwoSets) {
                row(QStringLiteral("в интервалах времени"), used.Period);
                row(QStringLiteral("вне их"), used.Other);
            } else {
                row(QStringLiteral("единый"), used.Other);
            }
        }
    }
    html += QStringLiteral("</table>");

    // Ku(n): all channels share an order's limits; the orders side by side.
    constexpr int columns = 4;
    const std::vector<size_t> harmonics = Matching(report, QStringLiteral("KUn"), 0, 0);
    if (harmonics.empty() || report.Results[harmonics.front()].Limits.empty())
        return html;
    const size_t rowsOfLimits = report.Results[harmonics.front()].Limits.size();
    for (size_t l = 0; l < rowsOfLimits; ++l) {
        html += QStringLiteral("<p>Ku(n), %, все каналы, действуют с %1: нормальный и наибольший верхние пределы</p>")
                    .arg(Time(report.Results[harmonics.front()].Limits[l].Since));
        QString header = QStringLiteral("<tr>");
        for (int k = 0; k < columns; ++k)
            header += QStringLiteral("<th>n</th><th>норм.</th><th>наиб.</th>");
        html += TableStart(header + QStringLiteral("</tr>"));
        const int perColumn = int((harmonics.size() + columns - 1) / columns);
        for (int row = 0; row < perColumn; ++row) {
            html += QStringLiteral("<tr>");
            for (int k = 0; k < columns; ++k) {
                const size_t at = size_t(k * perColumn + row);
                if (at >= harmonics.size()) {
                    html += QStringLiteral("<td></td><td></td><td></td>");
                    continue;
                }
                const TCriterionResult &r = report.Results[harmonics[at]];
                const TLimitValues &v = r.Limits[l].Other;
                html += QStringLiteral("<td>%1</td><td>%2</td><td>%3</td>")
                            .arg(r.Criterion->Order)
                            .arg(LimitText(*r.Criterion, v.NormalUpper), LimitText(*r.Criterion, v.MaxUpper));
            }
            html += QStringLiteral("</tr>");
        }
        html += QStringLiteral("</table>");
    }
    return html;
}

QDateTime Issued(const TDocumentFields &fields)
{
    return fields.Issued.isValid() ? fields.Issued : QDateTime::currentDateTime();
}

QString ProgramLine()
{
    return QStringLiteral("%1 v %2 (raruzor-report)").arg(ProgramTitle(), QStringLiteral(MONITOR_VERSION));
}

// The text with "chart:N" where chart N goes; the caller resolves the names.
QString Html(const TQualityReport &report, const TDocumentFields &fields, std::vector<QByteArray> &charts)
{
    const TCoverage &coverage = report.Coverage;
    const TReportSettings &settings = report.Settings;
    QString html =
        QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Отчёт о качестве "
                       "электроэнергии</title><style>body{font-family:'DejaVu Sans',sans-serif;font-size:9pt}"
                       "table{border-collapse:collapse;font-size:8pt}th{background:#eeeeee}"
                       "img{max-width:100%}</style></head><body>");
    html += QStringLiteral("<h1>Отчёт о качестве электроэнергии</h1>");
    const auto field = [](const QString &text) {
        return text.trimmed().isEmpty() ? QStringLiteral("не указан") : Escape(text.trimmed());
    };
    html += QStringLiteral("<p><b>Объект:</b> %1<br><b>Заказчик:</b> %2<br><b>Дата выдачи:</b> %3<br><b>Составлен "
                           "программой:</b> %4</p>")
                .arg(field(fields.Site), field(fields.Customer), Issued(fields).toString(QStringLiteral("dd.MM.yyyy")),
                     Escape(ProgramLine()));
    html += QStringLiteral("<p><b>Счетчик:</b> %1, адрес %2</p>")
                .arg(Escape(MeterName(report.Meter)))
                .arg(report.Meter.DeviceAddress);
    const auto nominal = [](float v, const char *unit) {
        return v != 0.0f && std::isfinite(v)
                   ? QString::number(double(v), 'g', 6).replace(u'.', u',') + u' ' + QString::fromUtf8(unit)
                   : QStringLiteral("не известно");
    };
    html +=
        QStringLiteral("<p><b>Номинальные значения:</b> фазное напряжение %1, междуфазное напряжение %2, ток %3</p>")
            .arg(nominal(report.Nominals[0], "В"), nominal(report.Nominals[1], "В"), nominal(report.Nominals[2], "А"));
    html += QStringLiteral("<p><b>Интервал (время счетчика):</b> с %1 по %2 (конец не включён)</p>")
                .arg(Time(report.From), Time(report.To));
    if (!report.IntervalNote.isEmpty())
        html += QStringLiteral("<p>%1.</p>").arg(Escape(report.IntervalNote));
    html += QStringLiteral("<p><b>Данные:</b> 10-минутных интервалов ожидалось %1, в архиве %2, из них неполных "
                           "(не оценены) %3; 3-секундных циклов ожидалось %4, в архиве %5; строк пределов %6.</p>")
                .arg(coverage.ExpectedIntervals)
                .arg(coverage.IntervalRows)
                .arg(coverage.FlaggedIntervals)
                .arg(coverage.ExpectedCycles)
                .arg(coverage.Cycles)
                .arg(coverage.LimitRows);
    html += QStringLiteral("<p><b>Заключение:</b> %1</p>").arg(VerdictText(report.Verdict));

    const QString allowed = Percent(100.0 - settings.Percentile);
    html += QStringLiteral("<h2>Правило оценки</h2><p>Напряжения, отклонения, несимметрия и гармоники оцениваются по "
                           "10-минутным средним значениям, частота F и её отклонение ΔF — по 3-секундным значениям "
                           "циклов. Каждое значение сравнивается с пределами счетчика так же, как его окрашивает окно "
                           "программы: берутся пределы из строки пределов, действовавшей во время значения, а у "
                           "величин с двумя наборами — набор интервалов времени счетчика, если время значения лежит "
                           "в одном из них. Интервалы с флагами неполноты (менее 180 значений, скачок часов, начало "
                           "или конец опроса) и отсутствующие значения не оцениваются и считаются пропущенными.</p>"
                           "<p>Величина <b>не соответствует</b>, если хотя бы одно значение лежит за наибольшими "
                           "пределами или если значений за нормальными пределами больше %1 % ожидаемых: такого "
                           "вердикта не изменят никакие пропущенные значения. Иначе, если оценено менее %2 % "
                           "ожидаемых значений, — <b>недостаточно данных</b>; иначе величина <b>соответствует</b>, "
                           "если за нормальными пределами не более %1 % оценённых значений, и не соответствует, если "
                           "больше. <b>Нет пределов</b> — счетчик не "
                           "задал ни одного предела величины. Значения %3 % — по ближайшему рангу: верхнее — "
                           "наименьшее значение, не больше которого не менее %3 % значений; нижнее — наибольшее, не "
                           "меньше которого не менее %3 %.</p>")
                .arg(allowed, Percent(settings.RequiredCoverage), Percent(settings.Percentile));

    html += QStringLiteral("<h2>Пределы</h2>") + LimitsTable(report);

    std::vector<size_t> order(report.Results.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return VerdictRank(report.Results[a].Verdict) < VerdictRank(report.Results[b].Verdict);
    });
    html += QStringLiteral("<h2>Сводка</h2>") + SummaryTable(report, order);

    for (const TSection &section : Sections(report)) {
        html += QStringLiteral("<h2>%1</h2>").arg(Escape(section.Title));
        const bool harmonics = !section.Results.empty() &&
                               report.Results[section.Results.front()].Criterion->Quantity == QLatin1String("KUn");
        html += harmonics ? HarmonicsTable(report, section.Results) : ResultsTable(report, section.Results);
        for (const auto &[title, results] : section.Charts) {
            charts.push_back(TrendChartPng(report, results, title, kChartSize));
            html += QStringLiteral("<p><img src=\"chart:%1\" width=\"chart-width\"></p>").arg(charts.size() - 1);
        }
    }

    bool anyFailing = false;
    for (size_t i : order) {
        const TCriterionResult &r = report.Results[i];
        if (r.Verdict != TVerdict::Fails || r.Worst.empty())
            continue;
        if (!anyFailing)
            html += QStringLiteral("<h2>Худшие значения</h2>");
        anyFailing = true;
        const TCriterion &c = *r.Criterion;
        html += QStringLiteral("<h3>%1</h3>").arg(Escape(DisplayName(c)));
        html += TableStart(
            QStringLiteral("<tr><th>Время</th><th>Значение, %1</th><th>Предел</th><th>Выход</th></tr>").arg(Unit(c)));
        for (const TExcursion &e : r.Worst)
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>")
                        .arg(Time(e.Time), Digits(c, double(e.Value)), LimitText(c, e.Limit), StatusText(e.Status));
        html += QStringLiteral("</table>");
    }
    html += QStringLiteral("</body></html>");
    // A number never breaks at its decimal comma: its cell keeps it on one line.
    static const QRegularExpression numberCell(QStringLiteral("<td((?: [^>]*)?)>([^<]*\\d,\\d[^<]*)</td>"));
    return html.replace(numberCell, QStringLiteral("<td\\1 style=\"white-space:nowrap\">\\2</td>"));
}

// The float's shortest decimal as a double: 49.6f reads 49.6, not 49.59999847.
double Decimal(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::strtod(std::string(text, end).c_str(), nullptr);
}

QJsonValue JsonNumber(const std::optional<float> &value)
{
    return value && std::isfinite(*value) ? QJsonValue(Decimal(*value)) : QJsonValue();
}

QJsonValue JsonLimit(float value)
{
    return value != 0.0f && std::isfinite(value) ? QJsonValue(Decimal(value)) : QJsonValue();
}

QJsonObject JsonSet(const TLimitValues &v)
{
    return {{QStringLiteral("max_upper"), JsonLimit(v.MaxUpper)},
            {QStringLiteral("normal_upper"), JsonLimit(v.NormalUpper)},
            {QStringLiteral("normal_lower"), JsonLimit(v.NormalLower)},
            {QStringLiteral("max_lower"), JsonLimit(v.MaxLower)}};
}

QString JsonTime(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QByteArray Json(const TQualityReport &report, const TDocumentFields &fields)
{
    QJsonArray criteria;
    for (const TCriterionResult &r : report.Results) {
        const TCriterion &c = *r.Criterion;
        QJsonArray limits;
        for (const TLimitsUsed &used : r.Limits) {
            QJsonObject entry{{QStringLiteral("since"), JsonTime(used.Since)}};
            if (used.TwoSets) {
                entry.insert(QStringLiteral("in_period"), JsonSet(used.Period));
                entry.insert(QStringLiteral("outside_period"), JsonSet(used.Other));
            } else {
                const QJsonObject set = JsonSet(used.Other);
                for (auto it = set.begin(); it != set.end(); ++it)
                    entry.insert(it.key(), it.value());
            }
            limits.append(entry);
        }
        QJsonArray worst;
        for (const TExcursion &e : r.Worst)
            worst.append(QJsonObject{{QStringLiteral("time"), JsonTime(e.Time)},
                                     {QStringLiteral("value"), Decimal(e.Value)},
                                     {QStringLiteral("limit"), Decimal(e.Limit)},
                                     {QStringLiteral("status"), e.Status}});
        criteria.append(QJsonObject{
            {QStringLiteral("quantity"), c.Quantity},
            {QStringLiteral("channel"), c.Channel < 0 ? QJsonValue() : QJsonValue(ChannelName(c.Channel))},
            {QStringLiteral("order"), c.Order == 0 ? QJsonValue() : QJsonValue(c.Order)},
            {QStringLiteral("basis"), c.Basis == TBasis::Cycle ? QStringLiteral("3s") : QStringLiteral("10min")},
            {QStringLiteral("unit"), Unit(c)},
            {QStringLiteral("limits"), limits},
            {QStringLiteral("expected"), r.Expected},
            {QStringLiteral("evaluated"), r.Evaluated},
            {QStringLiteral("missing"), r.Missing},
            {QStringLiteral("beyond_normal"), r.BeyondNormal},
            {QStringLiteral("beyond_max"), r.BeyondMax},
            {QStringLiteral("share_beyond_normal"), r.ShareBeyondNormal},
            {QStringLiteral("share_beyond_max"), r.ShareBeyondMax},
            {QStringLiteral("min"), JsonNumber(r.Min)},
            {QStringLiteral("max"), JsonNumber(r.Max)},
            {QStringLiteral("p95_upper"), JsonNumber(r.P95Upper)},
            {QStringLiteral("p95_lower"), JsonNumber(r.P95Lower)},
            {QStringLiteral("verdict"), VerdictText(r.Verdict)},
            {QStringLiteral("worst"), worst},
        });
    }
    const TCoverage &coverage = report.Coverage;
    const QJsonObject root{
        {QStringLiteral("meter"),
         QJsonObject{
             {QStringLiteral("device_type"), report.Meter.DeviceType},
             {QStringLiteral("factory_number"), report.Meter.FactoryNumber},
             {QStringLiteral("address"), report.Meter.DeviceAddress},
             {QStringLiteral("nominals"), QJsonObject{{QStringLiteral("phase_voltage"), JsonLimit(report.Nominals[0])},
                                                      {QStringLiteral("line_voltage"), JsonLimit(report.Nominals[1])},
                                                      {QStringLiteral("current"), JsonLimit(report.Nominals[2])}}}}},
        {QStringLiteral("site"), fields.Site.trimmed()},
        {QStringLiteral("customer"), fields.Customer.trimmed()},
        {QStringLiteral("from"), JsonTime(report.From)},
        {QStringLiteral("to"), JsonTime(report.To)},
        {QStringLiteral("interval_note"), report.IntervalNote},
        {QStringLiteral("coverage"), QJsonObject{{QStringLiteral("expected_intervals"), coverage.ExpectedIntervals},
                                                 {QStringLiteral("intervals"), coverage.IntervalRows},
                                                 {QStringLiteral("flagged_intervals"), coverage.FlaggedIntervals},
                                                 {QStringLiteral("expected_cycles"), coverage.ExpectedCycles},
                                                 {QStringLiteral("cycles"), coverage.Cycles},
                                                 {QStringLiteral("limit_rows"), coverage.LimitRows}}},
        {QStringLiteral("settings"),
         QJsonObject{{QStringLiteral("percentile"), report.Settings.Percentile},
                     {QStringLiteral("required_coverage"), report.Settings.RequiredCoverage}}},
        {QStringLiteral("criteria"), criteria},
        {QStringLiteral("verdict"), VerdictText(report.Verdict)},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

// Pages as a reader wants them: blocks that introduce a table (its heading,
// its caption) start a page of their own when the table's first row would go
// to the next page, and a row that would run onto the next page starts
// there, its predecessor taken down to the page's foot as the layout does
// with a row that does not begin on the page. One change at a time, the
// text laid out again after each.
void Paginate(QTextDocument &document)
{
    const double pageHeight = document.pageSize().height();
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    const auto top = [&](const QTextBlock &block) { return layout->blockBoundingRect(block).top(); };
    const auto page = [&](double y) { return int(y / pageHeight); };
    const auto lastPage = [&](const QTextBlock &block) {
        return page(layout->blockBoundingRect(block).bottom() - 0.5);
    };
    const auto change = [&]() {
        for (QTextFrame *frame : document.rootFrame()->childFrames()) {
            auto *table = qobject_cast<QTextTable *>(frame);
            if (!table || table->rows() < 2)
                continue;
            const int header = table->format().headerRowCount();
            QTextBlock lead = table->firstCursorPosition().block().previous();
            while (lead.isValid() && lead.text().isEmpty())
                lead = lead.previous(); // the frame's own boundary
            const QTextBlock firstRow =
                table->cellAt(std::min(table->rows() - 1, header), 0).firstCursorPosition().block();
            if (lead.isValid() && page(top(lead)) != page(top(firstRow))) {
                // Headings just above the caption go with it.
                while (lead.previous().isValid() && lead.previous().blockFormat().headingLevel() > 0 &&
                       !document.frameAt(lead.previous().position())->parentFrame())
                    lead = lead.previous();
                QTextBlockFormat format = lead.blockFormat();
                if (!(format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)) {
                    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                    QTextCursor(lead).setBlockFormat(format);
                    return true;
                }
            }
            for (int r = header + 1; r < table->rows(); ++r) {
                double rowTop = 0;
                bool split = false;
                for (int c = 0; c < table->columns(); ++c) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    const QTextBlock first = cell.firstCursorPosition().block();
                    rowTop = c == 0 ? top(first) : std::min(rowTop, top(first));
                    split = split || page(top(first)) != lastPage(cell.lastCursorPosition().block());
                }
                if (!split || top(table->cellAt(r - 1, 0).firstCursorPosition().block()) >= rowTop)
                    continue;
                const double down = (page(rowTop) + 1) * pageHeight - rowTop + 1;
                for (int c = 0; c < table->columns(); ++c) {
                    QTextTableCell cell = table->cellAt(r - 1, c);
                    QTextTableCellFormat format = cell.format().toTableCellFormat();
                    const double padding = format.hasProperty(QTextFormat::TableCellBottomPadding)
                                               ? format.bottomPadding()
                                               : table->format().cellPadding();
                    format.setBottomPadding(padding + down);
                    cell.setFormat(format);
                }
                return true;
            }
        }
        return false;
    };
    // Laid out anew from the top after each change: the layout's own
    // update after a change of format leaves later blocks out.
    for (int pass = 0; pass < 500 && change(); ++pass)
        document.markContentsDirty(0, document.characterCount());
}

// The layout takes an image's width in pixels of the screen's resolution
// and draws it in its device's units, here points.
int ChartWidthAttribute()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? std::round(screen->logicalDotsPerInchX()) : 96.0;
    return int(std::lround(kChartWidthOnPage * dpi / 72.0));
}

void LayOut(const QString &html, const std::vector<QByteArray> &charts, QTextDocument &document)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(8);
    document.setDefaultFont(font);
    // Lines break between words only: a column is never narrower than its
    // longest word.
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WordWrap);
    document.setDefaultTextOption(option);
    for (size_t i = 0; i < charts.size(); ++i) {
        QImage image;
        image.loadFromData(charts[i], "PNG");
        document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chart:%1").arg(i)), image);
    }
    document.setHtml(QString(html).replace(QStringLiteral("width=\"chart-width\""),
                                           QStringLiteral("width=\"%1\"").arg(ChartWidthAttribute())));
    // Laid out in points on the page's printable width, so that 8 pt prints
    // as 8 pt: the layout measures its fonts for a device of 72 dpi, whatever
    // the screen's resolution.
    static QImage points = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        return image;
    }();
    document.documentLayout()->setPaintDevice(&points);
    const QPageLayout page(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12),
                           QPageLayout::Millimeter);
    const QSizeF printable = page.paintRect(QPageLayout::Point).size();
    document.setPageSize(QSizeF(printable.width(), printable.height() - kHeadHeight - kFootHeight));
    Paginate(document);
}

QByteArray Pdf(const TQualityReport &report, const TDocumentFields &fields, const QString &html,
               const std::vector<QByteArray> &charts)
{
    QTextDocument document;
    LayOut(html, charts, document);
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12),
                                     QPageLayout::Millimeter));
    writer.setResolution(150);
    writer.setTitle(QStringLiteral("Отчёт о качестве электроэнергии"));
    writer.setCreator(QStringLiteral("raruzor-report"));

    const QSizeF body = document.pageSize();
    const int pages = document.pageCount();
    QString head = QStringLiteral("Отчёт о качестве электроэнергии: %1").arg(MeterName(report.Meter));
    if (!fields.Site.trimmed().isEmpty())
        head += QStringLiteral(", ") + fields.Site.trimmed();
    const QString foot =
        QStringLiteral("%1, выдан %2").arg(ProgramLine(), Issued(fields).toString(QStringLiteral("dd.MM.yyyy")));
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(7); // the painter's unit is the point
    QPainter painter(&writer);
    painter.scale(writer.resolution() / 72.0, writer.resolution() / 72.0);
    const QFontMetricsF metrics(small);
    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            writer.newPage();
        painter.setFont(small);
        painter.setPen(QColor(90, 90, 90));
        const QRectF headRect(0, 0, body.width(), kHeadHeight - 6);
        painter.drawText(headRect, Qt::AlignLeft | Qt::AlignBottom,
                         metrics.elidedText(head, Qt::ElideRight, body.width()));
        painter.drawLine(QPointF(0, kHeadHeight - 4), QPointF(body.width(), kHeadHeight - 4));
        const double footTop = kHeadHeight + body.height();
        painter.drawLine(QPointF(0, footTop + 4), QPointF(body.width(), footTop + 4));
        const QRectF footRect(0, footTop + 6, body.width(), kFootHeight - 6);
        const QString number = QStringLiteral("Страница %1 из %2").arg(p + 1).arg(pages);
        painter.drawText(footRect, Qt::AlignRight | Qt::AlignTop, number);
        painter.drawText(
            footRect.adjusted(0, 0, -metrics.horizontalAdvance(number) - 12, 0), Qt::AlignLeft | Qt::AlignTop,
            metrics.elidedText(foot, Qt::ElideRight, body.width() - metrics.horizontalAdvance(number) - 12));
        painter.save();
        painter.translate(0, kHeadHeight - p * body.height());
        document.drawContents(&painter, QRectF(0, p * body.height(), body.width(), body.height()));
        painter.restore();
    }
    painter.end();
    buffer.close();
    return pdf;
}

} // namespace

QString MeterName(const TMeterInfo &meter)
{
    const qsizetype code = DeviceTypeIdents().indexOf(meter.DeviceType);
    const QString model = code >= 0 ? DeviceTypeFullNames().value(code) : meter.DeviceType;
    return QStringLiteral("%1 № %2").arg(model).arg(meter.FactoryNumber);
}

QByteArray RenderReport(const TQualityReport &report, TFormat format, const TDocumentFields &fields)
{
    if (format == TFormat::Json)
        return Json(report, fields);
    std::vector<QByteArray> charts;
    QString html = Html(report, fields, charts);
    if (format == TFormat::Pdf)
        return Pdf(report, fields, html, charts);
    html.replace(QStringLiteral("width=\"chart-width\""), QStringLiteral("width=\"%1\"").arg(kChartSize.width()));
    for (size_t i = 0; i < charts.size(); ++i)
        html.replace(QStringLiteral("src=\"chart:%1\"").arg(i),
                     QStringLiteral("src=\"data:image/png;base64,%1\"").arg(QString::fromLatin1(charts[i].toBase64())));
    return html.toUtf8();
}

void LayOutReport(const TQualityReport &report, const TDocumentFields &fields, QTextDocument &document)
{
    std::vector<QByteArray> charts;
    LayOut(Html(report, fields, charts), charts, document);
}

} // namespace Report
