// The report's PDF text as it is laid out on its pages: a table cell breaks
// its lines only between words, a row never runs onto a second page, and a
// table's first row stays on the page of its heading.

#include "SyntheticArchive.h"

#include "report/QualityReport.h"
#include "report/ReportDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <gtest/gtest.h>

using namespace Report;
using namespace SyntheticArchive;

namespace {

// A week: every 10-minute quantity of the tables, some of them beyond their
// limits, and two days of 3-s frequency (six-digit counts of missing cycles).
TQualityReport WeekReport(const QString &folder)
{
    const TArchiveTarget target = TArchiveTarget::File(folder + QStringLiteral("/week.sqlite"));
    {
        TArchiveDatabase db(target);
        EXPECT_TRUE(db.Open());
        EXPECT_TRUE(db.Begin());
        const qint64 meter = *db.MeterId({QStringLiteral("dtM7SQ"), 4321, 1}, kWeekStart);
        std::vector<float> s(280, 0.0f);
        s[0] = 57.7f, s[1] = 100, s[2] = 5;
        s[10] = 10, s[11] = 5, s[12] = -5, s[13] = -10, s[6] = 20, s[7] = 10, s[8] = -10, s[9] = -20;
        s[78] = 4, s[79] = 2, s[80] = 4, s[81] = 2, s[132] = 8, s[82] = 5;
        s[74] = 50.4f, s[75] = 50.2f, s[76] = 49.8f, s[77] = 49.6f;
        EXPECT_TRUE(db.AddLimits(meter, Limits(kWeekStart, s, {{8, 0, 20, 0}})));
        for (int i = 0; i < 1008; ++i) {
            Archive::TAggregateRow row = EmptyRow(kWeekStart.addSecs(i * 600LL));
            for (const char *q : {"dU1_a", "dU1_b", "dU1_c", "dU_a", "dU_b", "dU_c", "KU_a", "KU_b", "KU_c"})
                Set(row, q, float(i % 97) * 0.11f - 3.0f);
            Set(row, "K2U", i < 80 ? 3 : 1);
            Set(row, "K0U", 1);
            EXPECT_TRUE(db.AddAggregate(meter, row));
        }
        for (int i = 0; i < 57600; ++i)
            EXPECT_TRUE(
                db.AddCycle(meter, Cycle(kWeekStart.addSecs(i * 3LL), 50.0f + float(i % 301 - 150) * 0.002f), false));
        EXPECT_TRUE(db.Commit());
    }
    TArchiveDatabase db(target);
    EXPECT_TRUE(db.Open(TArchiveDatabase::TMode::Read));
    QString error;
    const std::optional<TQualityReport> report = MakeQualityReport(db, {}, error);
    EXPECT_TRUE(report) << error.toStdString();
    return report ? *report : TQualityReport{};
}

// The block's lines joined with "|".
std::string Lines(const QTextBlock &block)
{
    QStringList lines;
    for (int l = 0; l < block.layout()->lineCount(); ++l)
        lines << block.text().mid(block.layout()->lineAt(l).textStart(), block.layout()->lineAt(l).textLength());
    return lines.join(u'|').toStdString();
}

bool BreaksBetweenWords(const QTextBlock &block)
{
    const QTextLayout *layout = block.layout();
    const QString text = block.text();
    for (int l = 0; l + 1 < layout->lineCount(); ++l) {
        const QTextLine line = layout->lineAt(l);
        const int end = line.textStart() + line.textLength();
        if (end <= 0 || end > text.size())
            return false;
        const QChar last = text[end - 1];
        if (!last.isSpace() && last != u'-' && last != u'‐' && last != u'–' && last != u'—')
            return false;
    }
    return true;
}

} // namespace

TEST(ReportLayout, CellsKeepTheirWordsAndRowsTheirPage)
{
    QTemporaryDir dir;
    const TQualityReport report = WeekReport(dir.path());
    ASSERT_FALSE(report.Results.empty());
    QTextDocument document;
    LayOutReport(report, {QStringLiteral("ПС 110/10 кВ «Заречная», РУ-10 кВ, ввод 1"), QStringLiteral("Заказчик"), {}},
                 document);
    const double pageHeight = document.pageSize().height();
    QAbstractTextDocumentLayout *layout = document.documentLayout();
    const auto page = [&](const QTextBlock &block, bool bottom = false) {
        const QRectF r = layout->blockBoundingRect(block);
        return int((bottom ? r.bottom() - 0.5 : r.top()) / pageHeight);
    };
    EXPECT_GE(document.pageCount(), 5);

    int tables = 0, cells = 0;
    for (QTextFrame *frame : document.rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        ++tables;
        for (int row = 0; row < table->rows(); ++row)
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                if (cell.row() != row || cell.column() != column)
                    continue; // spanned
                ++cells;
                const QTextBlock first = cell.firstCursorPosition().block();
                const QTextBlock last = cell.lastCursorPosition().block();
                for (QTextBlock b = first; b.isValid() && b.position() <= last.position(); b = b.next())
                    EXPECT_TRUE(BreaksBetweenWords(b))
                        << "table " << tables << ", row " << row << ": \"" << Lines(b) << "\"";
                EXPECT_EQ(page(first), page(last, true)) << "row " << row << " of table " << tables;
            }
        // The heading or caption above it and its first row share a page.
        QTextBlock lead = table->firstCursorPosition().block().previous();
        while (lead.isValid() && lead.text().isEmpty())
            lead = lead.previous();
        const int firstRow = std::min(table->rows() - 1, table->format().headerRowCount());
        EXPECT_EQ(page(lead), page(table->cellAt(firstRow, 0).firstCursorPosition().block()))
            << "table " << tables << " after \"" << lead.text().toStdString() << "\"";
    }
    EXPECT_GE(tables, 8);
    EXPECT_GE(cells, 500);
}
