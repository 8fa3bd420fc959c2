#pragma once

// A string grid whose cells carry their own font colour, background and
// font style, draw their text with the indexed markup, centred, and can be
// joined into rectangular union cells that show the text of their head
// (top-left) cell. Row and column 0.. FixedRows/FixedCols - 1 stay in place
// while the rest scrolls.

#include "common/Exceptions.h"
#include "ui/widgets/IndexedText.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QPoint>
#include <QString>

#include <functional>
#include <vector>

class EInvalidIxOperation : public Exception
{
public:
    using Exception::Exception;
};

enum class TCellType : quint8 { ctNormal = 0, ctDepend = 1 };

enum TCellFontStyle : quint8 {
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8,
};

struct TCellOptions
{
    TCellType CellType = TCellType::ctNormal;
    // ctNormal: further columns (x) and rows (y) the union covers, (0, 0) =
    // no union; ctDepend: column and row of the union's head.
    QPoint Afters{0, 0};
    QColor FontColor{0, 0, 0};
    QColor BrushColor{255, 255, 255};
    quint8 FontStyle = 0; // TCellFontStyle bits

    friend bool operator==(const TCellOptions &, const TCellOptions &) = default;
};

class TCustomIxStringGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit TCustomIxStringGrid(QWidget *parent = nullptr);
    ~TCustomIxStringGrid() override;

    int ColCount() const { return colCount_; }
    int RowCount() const { return rowCount_; }
    int FixedCols() const { return fixedCols_; }
    int FixedRows() const { return fixedRows_; }
    // Refused with EInvalidIxOperation when the change would cut a union.
    void SetColCount(int count);
    void SetRowCount(int count);
    void SetFixedCols(int count);
    void SetFixedRows(int count);

    int ColWidth(int col) const;
    int RowHeight(int row) const;
    void SetColWidth(int col, int width);
    void SetRowHeight(int row, int height);
    int DefaultColWidth() const { return defaultColWidth_; }
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultColWidth(int width);
    void SetDefaultRowHeight(int height);

    QString Cell(int col, int row) const;
    // Out-of-range cells are refused like SetCellOptions.
    void SetCellText(int col, int row, const QString &text);

    TCellOptions AboutCell(int col, int row) const;
    void SetCellOptions(int col, int row, const TCellOptions &options);
    // What a cell never set reads as: taken from the grid when created.
    const TCellOptions &DefaultOptions() const { return defaults_; }

    bool IndexedDrawing() const { return indexedDrawing_; }
    void SetIndexedDrawing(bool on);
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool on);

    TStringWithIndexesDraw &StringPresentOpt() { return draw_; }

    // The current (selected) cell; -1, -1 when nothing is selected.
    QPoint CurrentCell() const { return current_; }
    void SetCurrentCell(int col, int row);

    // First scrollable column and row in view.
    int LeftCol() const { return leftCol_; }
    int TopRow() const { return topRow_; }
    void SetTopRow(int row);
    void SetLeftCol(int col);

    // Rows and columns of option records actually kept (trailing defaults
    // are not); for diagnostics.
    int StoredRowCount() const { return static_cast<int>(about_.size()); }
    int StoredColCount(int row) const;

    // Rectangle of a cell in viewport coordinates (also for cells scrolled
    // out of view), without its grid line.
    QRect CellRect(int col, int row) const;

    // Called for every visible cell after it has been drawn, each covered
    // cell of a union too (with its own rectangle).
    using TDrawCellHook = std::function<void(QPainter &, int col, int row, const QRect &)>;
    void SetDrawCellHook(TDrawCellHook hook) { drawCellHook_ = std::move(hook); }

    QSize sizeHint() const override;

    static constexpr int kGridLineWidth = 1;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    TCellOptions &StoredOptions(int col, int row);
    void TrimStorage();
    void CheckCell(int col, int row) const;
    [[noreturn]] void RaiseAffected(const TCellOptions &dependent) const;
    // The head rectangle of a union (or a plain cell), grown over its covered
    // columns and rows.
    QRect UnionRect(int headCol, int headRow, const TCellOptions &head) const;
    int ColumnX(int col) const;
    int RowY(int row) const;
    void DrawRegion(QPainter &painter, const QRect &clip, int colFrom, int colTo, int rowFrom, int rowTo, bool fixed);
    void DrawCell(QPainter &painter, int col, int row, bool fixed);
    int CellAt(const QPoint &pos, bool column) const;
    void UpdateScrollBars();
    void UpdateScrollBarsOnce();

    int colCount_ = 5;
    int rowCount_ = 5;
    int fixedCols_ = 1;
    int fixedRows_ = 1;
    int defaultColWidth_ = 64;
    int defaultRowHeight_ = 24;
    std::vector<int> colWidths_;
    std::vector<int> rowHeights_;
    std::vector<std::vector<QString>> texts_;      // [row][col], grown on demand
    std::vector<std::vector<TCellOptions>> about_; // [row][col], trailing defaults cut
    TCellOptions defaults_;
    bool indexedDrawing_ = false;
    bool defaultDrawing_ = true;
    int leftCol_ = 1;
    int topRow_ = 1;
    QPoint current_{1, 1};
    TStringWithIndexesDraw draw_;
    TDrawCellHook drawCellHook_;
    bool updatingBars_ = false;
    bool barsPending_ = false;
};

class TIxStringGrid : public TCustomIxStringGrid
{
    Q_OBJECT

public:
    using TCustomIxStringGrid::TCustomIxStringGrid;
};
