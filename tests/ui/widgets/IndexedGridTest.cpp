#include "ui/widgets/IndexedGrid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScrollBar>
#include <QImage>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

// The grid of the harmonics tables: 4 columns, 50 rows, first row and
// column fixed.
class IxStringGridTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        grid.SetColCount(4);
        grid.SetRowCount(50);
        grid.SetDefaultRowHeight(24);
        grid.SetColWidth(0, 22);
        for (int c = 1; c < 4; ++c)
            grid.SetColWidth(c, 72);
        grid.SetIndexedDrawing(true);
        grid.resize(300, 200);
        grid.show();
    }

    TCellOptions Union(int x, int y, QColor brush = QColor(255, 0, 0)) const
    {
        TCellOptions o = grid.DefaultOptions();
        o.Afters = QPoint(x, y);
        o.BrushColor = brush;
        return o;
    }

    static std::string Refusal(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const EInvalidIxOperation &e) {
            return e.Message().toStdString();
        }
        return "accepted";
    }

    TIxStringGrid grid;
};

TEST_F(IxStringGridTest, UnsetCellsAndRestoredCellsReadAsDefaults)
{
    EXPECT_EQ(grid.AboutCell(3, 49), grid.DefaultOptions());
    EXPECT_EQ(grid.AboutCell(100, 100), grid.DefaultOptions());
    TCellOptions red = grid.DefaultOptions();
    red.FontColor = QColor(255, 0, 0);
    red.FontStyle = fsBold;
    grid.SetCellOptions(2, 7, red);
    EXPECT_EQ(grid.AboutCell(2, 7), red);
    EXPECT_EQ(grid.StoredRowCount(), 8);
    grid.SetCellOptions(2, 7, grid.DefaultOptions());
    EXPECT_EQ(grid.AboutCell(2, 7), grid.DefaultOptions());
    EXPECT_EQ(grid.StoredRowCount(), 0); // nothing kept for defaults
}

TEST_F(IxStringGridTest, UnionIsCutToTheGridAndMarksItsCells)
{
    grid.SetCellOptions(2, 1, Union(5, 1));
    const TCellOptions head = grid.AboutCell(2, 1);
    EXPECT_EQ(head.CellType, TCellType::ctNormal);
    EXPECT_EQ(head.Afters, QPoint(1, 1));
    for (const QPoint cell : {QPoint(3, 1), QPoint(2, 2), QPoint(3, 2)}) {
        const TCellOptions covered = grid.AboutCell(cell.x(), cell.y());
        EXPECT_EQ(covered.CellType, TCellType::ctDepend);
        EXPECT_EQ(covered.Afters, QPoint(2, 1));
        EXPECT_EQ(covered.BrushColor, QColor(255, 0, 0));
    }
    // the same extent may be set again, also as written before cutting
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(2, 1, Union(5, 1, Qt::green)); }), "accepted");
    EXPECT_EQ(grid.AboutCell(2, 1).BrushColor, QColor(Qt::green));
    // removing the union frees every covered cell
    grid.SetCellOptions(2, 1, grid.DefaultOptions());
    EXPECT_EQ(grid.AboutCell(3, 2), grid.DefaultOptions());
    EXPECT_EQ(grid.StoredRowCount(), 0);
}

TEST_F(IxStringGridTest, RefusedChangesLeaveEverythingAsItWas)
{
    grid.SetCellOptions(1, 3, Union(1, 0));
    TCellOptions depend = grid.DefaultOptions();
    depend.CellType = TCellType::ctDepend;
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(1, 1, depend); }),
              "It is impossible to set ctDepend CellType manually");
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(2, 3, grid.DefaultOptions()); }),
              "It is impossible to change manually cell options if CellType is ctDepend");
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(1, 3, Union(2, 0)); }),
              "UnionHead set denied (Afters property must be identical)");
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(1, 2, Union(1, 1)); }),
              "UnionHead set denied (Afters property affect already described union cell(s))");
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(0, 5, Union(1, 0)); }),
              "UnionHead set denied (all parts of union cell must be only in Fixed or NonFixed area)");
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(1, 0, Union(0, 1)); }),
              "UnionHead set denied (all parts of union cell must be only in Fixed or NonFixed area)");
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(4, 0, grid.DefaultOptions()); }),
              "Grid column index out of bounds (4)");
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(0, 50, grid.DefaultOptions()); }), "Grid row index out of bounds (50)");
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(1, 1, Union(-1, 0)); }),
              "UnionHead set denied (Afters property must not be negative)");
    EXPECT_EQ(Refusal([&] { grid.SetCellText(-1, 0, QStringLiteral("x")); }), "Grid column index out of bounds (-1)");

    EXPECT_EQ(grid.AboutCell(1, 3).Afters, QPoint(1, 0));
    EXPECT_EQ(grid.AboutCell(2, 3).CellType, TCellType::ctDepend);
    EXPECT_EQ(grid.AboutCell(1, 2), grid.DefaultOptions());
    // a fixed-area union is fine
    EXPECT_EQ(Refusal([&] { grid.SetCellOptions(1, 0, Union(2, 0)); }), "accepted");
}

TEST_F(IxStringGridTest, SizeChangesThatWouldCutAUnionAreRefused)
{
    grid.SetCellOptions(2, 10, Union(1, 2));
    EXPECT_EQ(Refusal([&] { grid.SetColCount(3); }),
              "This changes inaccessible because it affect already described union cell(s) (check AboutCells[2,10])");
    EXPECT_EQ(grid.ColCount(), 4);
    EXPECT_EQ(Refusal([&] { grid.SetRowCount(12); }),
              "This changes inaccessible because it affect already described union cell(s) (check AboutCells[2,10])");
    EXPECT_EQ(grid.RowCount(), 50);
    EXPECT_EQ(Refusal([&] { grid.SetFixedCols(3); }),
              "This changes inaccessible because it affect already described union cell(s) (check AboutCells[2,10])");
    EXPECT_EQ(Refusal([&] { grid.SetFixedRows(11); }),
              "This changes inaccessible because it affect already described union cell(s) (check AboutCells[2,10])");
    // a fixed column left of the union does not touch it
    EXPECT_EQ(Refusal([&] { grid.SetFixedCols(2); }), "accepted");
    grid.SetFixedCols(1);

    // rows below the union may go; their texts and options go with them
    grid.SetCellText(1, 40, QStringLiteral("x"));
    TCellOptions blue = grid.DefaultOptions();
    blue.BrushColor = Qt::blue;
    grid.SetCellOptions(1, 40, blue);
    grid.SetRowCount(13);
    EXPECT_EQ(grid.RowCount(), 13);
    EXPECT_EQ(grid.StoredRowCount(), 13);
    grid.SetRowCount(50);
    EXPECT_EQ(grid.Cell(1, 40), QString());
    EXPECT_EQ(grid.AboutCell(1, 40), grid.DefaultOptions());
}

// Only the rows below the header (columns right of the fixed ones) are
// looked at when the fixed area changes, so header unions do not block it.
TEST_F(IxStringGridTest, FixedAreaChangesLookBelowTheHeaderOnly)
{
    grid.SetCellOptions(1, 0, Union(2, 0)); // a header over three columns
    EXPECT_EQ(Refusal([&] { grid.SetFixedCols(2); }), "accepted");
    EXPECT_EQ(Refusal([&] { grid.SetFixedCols(1); }), "accepted");

    grid.SetCellOptions(0, 5, Union(0, 2)); // a row title over three rows
    EXPECT_EQ(Refusal([&] { grid.SetFixedRows(6); }), "accepted");
    EXPECT_EQ(Refusal([&] { grid.SetFixedRows(1); }), "accepted");

    // a covered cell below the header still may not change sides
    grid.SetCellOptions(1, 3, Union(1, 0));
    EXPECT_EQ(Refusal([&] { grid.SetFixedCols(3); }),
              "This changes inaccessible because it affect already described union cell(s) (check AboutCells[1,3])");
    EXPECT_EQ(grid.FixedCols(), 1);
    EXPECT_EQ(grid.AboutCell(1, 0).Afters, QPoint(2, 0));
}

TEST_F(IxStringGridTest, EveryVisibleCellReachesTheDrawHook)
{
    grid.SetCellOptions(1, 2, Union(1, 1));
    std::map<std::pair<int, int>, int> calls;
    grid.SetDrawCellHook([&](QPainter &, int col, int row, const QRect &) { ++calls[{col, row}]; });
    grid.viewport()->grab();
    // the union's four cells each once, like any other cell
    for (const auto &cell :
         {std::pair{1, 2}, std::pair{2, 2}, std::pair{1, 3}, std::pair{2, 3}, std::pair{3, 2}, std::pair{0, 0}})
        EXPECT_EQ(calls[cell], 1) << cell.first << "," << cell.second;
}

TEST_F(IxStringGridTest, DefaultDrawingCannotReturnUnderIndexedDrawing)
{
    EXPECT_FALSE(grid.DefaultDrawing());
    EXPECT_EQ(Refusal([&] { grid.SetDefaultDrawing(true); }),
              "It is enable to set DefaultDrawing into True when IndexedDrawing is in True");
    grid.SetIndexedDrawing(false);
    grid.SetDefaultDrawing(true);
    EXPECT_TRUE(grid.DefaultDrawing());
}

TEST_F(IxStringGridTest, UnionIsPaintedAsOneCellWithTheHeadsText)
{
    grid.SetCellText(1, 2, QStringLiteral("WW"));
    grid.SetCellText(2, 2, QStringLiteral("hidden"));
    grid.SetCellOptions(1, 2, Union(1, 0, QColor(200, 50, 50)));
    const QImage image = grid.viewport()->grab().toImage();
    const QRect head = grid.CellRect(1, 2);
    // the grid line between the joined cells is gone
    const int between = head.right() + 1;
    EXPECT_EQ(image.pixelColor(between, head.top() + 2), QColor(200, 50, 50));
    // the two cells' outer lines remain
    EXPECT_EQ(image.pixelColor(head.left() - 1, head.top() + 2), QColor(128, 128, 128));
    // the head's text is centred over both columns
    const int unionWidth = 72 + 1 + 72;
    int left = -1, right = -1;
    for (int x = head.left(); x < head.left() + unionWidth; ++x)
        for (int y = head.top(); y <= head.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 60) {
                if (left < 0)
                    left = x;
                right = x;
            }
    ASSERT_GE(left, 0);
    EXPECT_NEAR((left + right) / 2.0, head.left() + unionWidth / 2.0, 3.0);
    EXPECT_EQ(grid.Cell(2, 2), QStringLiteral("hidden")); // kept, never shown
}

TEST_F(IxStringGridTest, HeaderTextIsCentredWithSubscripts)
{
    const QString header = QStringLiteral("K~U~(~n~)~A, %");
    grid.SetCellText(1, 0, header);
    const QImage image = grid.viewport()->grab().toImage();
    const QRect cell = grid.CellRect(1, 0);
    int left = cell.right(), right = cell.left(), top = cell.bottom(), bottom = cell.top();
    for (int x = cell.left(); x <= cell.right(); ++x)
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 100) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_LT(left, right);
    const int width = grid.StringPresentOpt().IndexedTextWidth(grid.font(), header, grid.viewport());
    const int expectedLeft = cell.left() + (cell.width() - width) / 2;
    EXPECT_NEAR(left, expectedLeft, 2);
    EXPECT_LE(right, expectedLeft + width + 1);
    EXPECT_GE(top, cell.top());
    EXPECT_LE(bottom, cell.bottom());
}

TEST_F(IxStringGridTest, FixedRowStaysWhileRowsScroll)
{
    grid.SetCellText(1, 0, QStringLiteral("head"));
    grid.SetTopRow(10);
    EXPECT_EQ(grid.TopRow(), 10);
    EXPECT_EQ(grid.CellRect(1, 0).top(), 0);
    EXPECT_EQ(grid.CellRect(1, 10).top(), 25);
    // a row scrolled away lies above the fixed row
    EXPECT_LT(grid.CellRect(1, 5).top(), 0);
    grid.SetCurrentCell(2, 3);
    EXPECT_EQ(grid.CurrentCell(), QPoint(2, 3));
    EXPECT_EQ(grid.TopRow(), 3);
    // fixed cells cannot be selected
    grid.SetCurrentCell(0, 0);
    EXPECT_EQ(grid.CurrentCell(), QPoint(2, 3));
}

} // namespace

namespace {

TEST(IxStringGridWithoutRoom, SelectingAFarRowScrollsAsFarAsItCanAndReturns)
{
    TIxStringGrid grid;
    grid.SetRowCount(50);
    grid.resize(120, 10); // not even one scrolling row fits
    grid.show();
    grid.SetCurrentCell(1, 49);
    EXPECT_EQ(grid.CurrentCell(), QPoint(1, 49));
    EXPECT_GT(grid.TopRow(), 1);
    EXPECT_TRUE(grid.CellRect(1, 200).isValid()); // beyond the grid: clamped, no read past the widths
}

} // namespace

namespace {

TEST(IxStringGridScrollBars, FollowTheRoomTheGridGets)
{
    TIxStringGrid grid;
    grid.SetColCount(4);
    grid.SetRowCount(50);
    grid.resize(100, 100);
    grid.show();
    QApplication::processEvents();
    EXPECT_TRUE(grid.horizontalScrollBar()->isVisible());
    grid.resize(400, 300); // every column fits now, the rows still do not
    QApplication::processEvents();
    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
    EXPECT_TRUE(grid.verticalScrollBar()->isVisible());
    EXPECT_EQ(grid.LeftCol(), 1);
}

} // namespace
