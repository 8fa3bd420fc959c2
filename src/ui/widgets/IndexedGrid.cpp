#include "ui/widgets/IndexedGrid.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <set>
#include <utility>

namespace {

const QColor kGridLineColor(128, 128, 128);
const QColor kUnfocusedFrameColor(160, 160, 164);

QString Text(const char *format, int value)
{
    return QString::fromLatin1(format).arg(value);
}

QFont StyledFont(QFont font, quint8 style)
{
    font.setBold(style & fsBold);
    font.setItalic(style & fsItalic);
    font.setUnderline(style & fsUnderline);
    font.setStrikeOut(style & fsStrikeOut);
    return font;
}

} // namespace

TCustomIxStringGrid::TCustomIxStringGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    defaults_.FontColor = palette().color(QPalette::Text);
    defaults_.BrushColor = palette().color(QPalette::Base);
    defaults_.FontStyle = (font().bold() ? fsBold : 0) | (font().italic() ? fsItalic : 0) |
                          (font().underline() ? fsUnderline : 0) | (font().strikeOut() ? fsStrikeOut : 0);
    colWidths_.assign(colCount_, defaultColWidth_);
    rowHeights_.assign(rowCount_, defaultRowHeight_);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    UpdateScrollBars();
}

TCustomIxStringGrid::~TCustomIxStringGrid() = default;

// ---------------------------------------------------------------- options

void TCustomIxStringGrid::CheckCell(int col, int row) const
{
    if (col < 0 || col >= colCount_)
        throw EInvalidIxOperation(Text("Grid column index out of bounds (%1)", col));
    if (row < 0 || row >= rowCount_)
        throw EInvalidIxOperation(Text("Grid row index out of bounds (%1)", row));
}

TCellOptions TCustomIxStringGrid::AboutCell(int col, int row) const
{
    if (row < 0 || col < 0 || row >= static_cast<int>(about_.size()))
        return defaults_;
    const auto &line = about_[row];
    return col < static_cast<int>(line.size()) ? line[col] : defaults_;
}

int TCustomIxStringGrid::StoredColCount(int row) const
{
    return row >= 0 && row < static_cast<int>(about_.size()) ? static_cast<int>(about_[row].size()) : 0;
}

TCellOptions &TCustomIxStringGrid::StoredOptions(int col, int row)
{
    if (static_cast<int>(about_.size()) <= row)
        about_.resize(row + 1);
    auto &line = about_[row];
    if (static_cast<int>(line.size()) <= col)
        line.resize(col + 1, defaults_);
    return line[col];
}

void TCustomIxStringGrid::TrimStorage()
{
    for (auto &line : about_) {
        if (static_cast<int>(line.size()) > colCount_)
            line.resize(colCount_);
        while (!line.empty() && line.back() == defaults_)
            line.pop_back();
    }
    if (static_cast<int>(about_.size()) > rowCount_)
        about_.resize(rowCount_);
    while (!about_.empty() && about_.back().empty())
        about_.pop_back();
}

void TCustomIxStringGrid::SetCellOptions(int col, int row, const TCellOptions &options)
{
    CheckCell(col, row);
    if (options.Afters.x() < 0 || options.Afters.y() < 0)
        throw EInvalidIxOperation(QStringLiteral("UnionHead set denied (Afters property must not be negative)"));

    const TCellOptions current = AboutCell(col, row);
    // Bindings write the options of every cell on every data block, mostly
    // unchanged; an ordinary cell given what it has is left alone.
    if (current == options && current.CellType == TCellType::ctNormal && current.Afters == QPoint(0, 0))
        return;
    // A union is stored cut to the grid, so the new extent is compared cut too.
    const int coverX = std::min(options.Afters.x(), colCount_ - col - 1);
    const int coverY = std::min(options.Afters.y(), rowCount_ - row - 1);
    const QPoint none(0, 0);

    int code = 0;
    if (options.CellType == TCellType::ctDepend)
        code = 1;
    if (current.CellType == TCellType::ctDepend)
        code = 2;
    if (code == 0 && current.Afters != none && options.Afters != none && current.Afters != QPoint(coverX, coverY))
        code = 3;
    switch (code) {
    case 1: throw EInvalidIxOperation(QStringLiteral("It is impossible to set ctDepend CellType manually"));
    case 2:
        throw EInvalidIxOperation(
            QStringLiteral("It is impossible to change manually cell options if CellType is ctDepend"));
    case 3: throw EInvalidIxOperation(QStringLiteral("UnionHead set denied (Afters property must be identical)"));
    default: break;
    }

    const QPoint head(col, row);
    for (int i = 0; i <= coverX; ++i) {
        for (int j = 0; j <= coverY; ++j) {
            if (i == 0 && j == 0)
                continue;
            const TCellOptions covered = AboutCell(col + i, row + j);
            const bool ours = covered.CellType == TCellType::ctDepend && covered.Afters == head;
            const bool free = covered.CellType == TCellType::ctNormal && covered.Afters == none;
            if (!ours && !free)
                throw EInvalidIxOperation(
                    QStringLiteral("UnionHead set denied (Afters property affect already described union cell(s))"));
        }
    }

    const bool crossesCols = col < fixedCols_ && col + options.Afters.x() >= fixedCols_;
    const bool crossesRows = row < fixedRows_ && row + options.Afters.y() >= fixedRows_;
    if (crossesCols || crossesRows)
        throw EInvalidIxOperation(
            QStringLiteral("UnionHead set denied (all parts of union cell must be only in Fixed or NonFixed area)"));

    if (options.Afters != none) {
        TCellOptions covered = options;
        covered.CellType = TCellType::ctDepend;
        covered.Afters = head;
        for (int i = 0; i <= coverX; ++i)
            for (int j = 0; j <= coverY; ++j)
                StoredOptions(col + i, row + j) = covered;
        TCellOptions cut = options;
        cut.Afters = QPoint(coverX, coverY);
        StoredOptions(col, row) = cut;
    } else {
        if (current.Afters != none) {
            const int oldX = std::min(current.Afters.x(), colCount_ - col - 1);
            const int oldY = std::min(current.Afters.y(), rowCount_ - row - 1);
            for (int i = 0; i <= oldX; ++i)
                for (int j = 0; j <= oldY; ++j)
                    StoredOptions(col + i, row + j) = defaults_;
        }
        StoredOptions(col, row) = options;
    }
    if (options == defaults_ || current.Afters != none)
        TrimStorage();
    if (viewport()->isVisible())
        viewport()->update();
}

// ------------------------------------------------------------------ texts

QString TCustomIxStringGrid::Cell(int col, int row) const
{
    if (row < 0 || col < 0 || row >= static_cast<int>(texts_.size()))
        return {};
    const auto &line = texts_[row];
    return col < static_cast<int>(line.size()) ? line[col] : QString();
}

void TCustomIxStringGrid::SetCellText(int col, int row, const QString &text)
{
    CheckCell(col, row);
    if (static_cast<int>(texts_.size()) <= row)
        texts_.resize(row + 1);
    auto &line = texts_[row];
    if (static_cast<int>(line.size()) <= col)
        line.resize(col + 1);
    if (line[col] == text)
        return;
    line[col] = text;
    // the whole union shows the head's text; a hidden grid paints it when shown
    if (viewport()->isVisible())
        viewport()->update(UnionRect(col, row, AboutCell(col, row)).adjusted(-1, -1, 1, 1));
}

// ------------------------------------------------------------- dimensions

void TCustomIxStringGrid::RaiseAffected(const TCellOptions &dependent) const
{
    throw EInvalidIxOperation(QStringLiteral("This changes inaccessible because it affect already described union "
                                             "cell(s) (check AboutCells[%1,%2])")
                                  .arg(dependent.Afters.x())
                                  .arg(dependent.Afters.y()));
}

void TCustomIxStringGrid::SetColCount(int count)
{
    if (count < 1 || count <= fixedCols_)
        throw EInvalidIxOperation(QStringLiteral("Fixed column count must be less than column count"));
    for (int col = colCount_ - 1; col >= count; --col)
        for (int row = 0; row < rowCount_; ++row)
            if (const TCellOptions o = AboutCell(col, row); o.CellType == TCellType::ctDepend)
                RaiseAffected(o);
    colCount_ = count;
    colWidths_.resize(count, defaultColWidth_);
    for (auto &line : texts_)
        if (static_cast<int>(line.size()) > count)
            line.resize(count);
    TrimStorage();
    leftCol_ = std::clamp(leftCol_, fixedCols_, colCount_ - 1);
    current_.setX(std::min(current_.x(), colCount_ - 1));
    UpdateScrollBars();
    viewport()->update();
}

void TCustomIxStringGrid::SetRowCount(int count)
{
    if (count < 1 || count <= fixedRows_)
        throw EInvalidIxOperation(QStringLiteral("Fixed row count must be less than row count"));
    for (int row = rowCount_ - 1; row >= count; --row)
        for (int col = 0; col < colCount_; ++col)
            if (const TCellOptions o = AboutCell(col, row); o.CellType == TCellType::ctDepend)
                RaiseAffected(o);
    rowCount_ = count;
    rowHeights_.resize(count, defaultRowHeight_);
    if (static_cast<int>(texts_.size()) > count)
        texts_.resize(count);
    TrimStorage();
    topRow_ = std::clamp(topRow_, fixedRows_, rowCount_ - 1);
    current_.setY(std::min(current_.y(), rowCount_ - 1));
    UpdateScrollBars();
    viewport()->update();
}

void TCustomIxStringGrid::SetFixedCols(int count)
{
    if (count < 0 || count >= colCount_)
        throw EInvalidIxOperation(QStringLiteral("Fixed column count must be less than column count"));
    // A covered cell may not change sides below the fixed rows; the header
    // rows keep their unions, which may span fixed and scrolling columns.
    for (int col = std::min(count, fixedCols_); col < std::max(count, fixedCols_); ++col)
        for (int row = fixedRows_; row < rowCount_; ++row)
            if (const TCellOptions o = AboutCell(col, row); o.CellType == TCellType::ctDepend)
                RaiseAffected(o);
    fixedCols_ = count;
    leftCol_ = std::clamp(leftCol_, fixedCols_, colCount_ - 1);
    UpdateScrollBars();
    viewport()->update();
}

void TCustomIxStringGrid::SetFixedRows(int count)
{
    if (count < 0 || count >= rowCount_)
        throw EInvalidIxOperation(QStringLiteral("Fixed row count must be less than row count"));
    for (int row = std::min(count, fixedRows_); row < std::max(count, fixedRows_); ++row)
        for (int col = fixedCols_; col < colCount_; ++col)
            if (const TCellOptions o = AboutCell(col, row); o.CellType == TCellType::ctDepend)
                RaiseAffected(o);
    fixedRows_ = count;
    topRow_ = std::clamp(topRow_, fixedRows_, rowCount_ - 1);
    UpdateScrollBars();
    viewport()->update();
}

int TCustomIxStringGrid::ColWidth(int col) const
{
    return col >= 0 && col < colCount_ ? colWidths_[col] : defaultColWidth_;
}

int TCustomIxStringGrid::RowHeight(int row) const
{
    return row >= 0 && row < rowCount_ ? rowHeights_[row] : defaultRowHeight_;
}

void TCustomIxStringGrid::SetColWidth(int col, int width)
{
    if (col < 0 || col >= colCount_)
        return;
    colWidths_[col] = std::max(0, width);
    UpdateScrollBars();
    updateGeometry();
    viewport()->update();
}

void TCustomIxStringGrid::SetRowHeight(int row, int height)
{
    if (row < 0 || row >= rowCount_)
        return;
    rowHeights_[row] = std::max(0, height);
    UpdateScrollBars();
    updateGeometry();
    viewport()->update();
}

void TCustomIxStringGrid::SetDefaultColWidth(int width)
{
    defaultColWidth_ = std::max(0, width);
    colWidths_.assign(colCount_, defaultColWidth_);
    UpdateScrollBars();
    updateGeometry();
    viewport()->update();
}

void TCustomIxStringGrid::SetDefaultRowHeight(int height)
{
    defaultRowHeight_ = std::max(0, height);
    rowHeights_.assign(rowCount_, defaultRowHeight_);
    UpdateScrollBars();
    updateGeometry();
    viewport()->update();
}

void TCustomIxStringGrid::SetIndexedDrawing(bool on)
{
    indexedDrawing_ = on;
    if (on)
        defaultDrawing_ = false;
    viewport()->update();
}

void TCustomIxStringGrid::SetDefaultDrawing(bool on)
{
    if (on && indexedDrawing_)
        throw EInvalidIxOperation(
            QStringLiteral("It is enable to set DefaultDrawing into True when IndexedDrawing is in True"));
    defaultDrawing_ = on;
    viewport()->update();
}

QSize TCustomIxStringGrid::sizeHint() const
{
    int w = 0, h = 0;
    for (int c = 0; c < colCount_; ++c)
        w += colWidths_[c] + kGridLineWidth;
    for (int r = 0; r < rowCount_; ++r)
        h += rowHeights_[r] + kGridLineWidth;
    const int frame = 2 * frameWidth();
    return {std::min(w, 600) + frame + verticalScrollBar()->sizeHint().width(), std::min(h, 400) + frame};
}

// --------------------------------------------------------------- geometry

int TCustomIxStringGrid::ColumnX(int col) const
{
    col = std::clamp(col, 0, colCount_);
    int x = 0;
    for (int c = 0; c < std::min(col, fixedCols_); ++c)
        x += colWidths_[c] + kGridLineWidth;
    if (col < fixedCols_)
        return x;
    for (int c = leftCol_; c < col; ++c)
        x += colWidths_[c] + kGridLineWidth;
    for (int c = col; c < leftCol_; ++c)
        x -= colWidths_[c] + kGridLineWidth;
    return x;
}

int TCustomIxStringGrid::RowY(int row) const
{
    row = std::clamp(row, 0, rowCount_);
    int y = 0;
    for (int r = 0; r < std::min(row, fixedRows_); ++r)
        y += rowHeights_[r] + kGridLineWidth;
    if (row < fixedRows_)
        return y;
    for (int r = topRow_; r < row; ++r)
        y += rowHeights_[r] + kGridLineWidth;
    for (int r = row; r < topRow_; ++r)
        y -= rowHeights_[r] + kGridLineWidth;
    return y;
}

QRect TCustomIxStringGrid::CellRect(int col, int row) const
{
    return QRect(ColumnX(col), RowY(row), ColWidth(col), RowHeight(row));
}

QRect TCustomIxStringGrid::UnionRect(int headCol, int headRow, const TCellOptions &head) const
{
    QRect rect = CellRect(headCol, headRow);
    if (head.CellType != TCellType::ctNormal)
        return rect;
    const int coverX = std::min(head.Afters.x(), colCount_ - headCol - 1);
    const int coverY = std::min(head.Afters.y(), rowCount_ - headRow - 1);
    for (int i = 1; i <= coverX; ++i)
        rect.setWidth(rect.width() + colWidths_[headCol + i] + kGridLineWidth);
    for (int j = 1; j <= coverY; ++j)
        rect.setHeight(rect.height() + rowHeights_[headRow + j] + kGridLineWidth);
    return rect;
}

// ---------------------------------------------------------------- drawing

void TCustomIxStringGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QRect all = viewport()->rect();
    painter.fillRect(all, defaults_.BrushColor);

    int fixedW = 0, fixedH = 0;
    for (int c = 0; c < fixedCols_; ++c)
        fixedW += colWidths_[c] + kGridLineWidth;
    for (int r = 0; r < fixedRows_; ++r)
        fixedH += rowHeights_[r] + kGridLineWidth;
    int lastCol = leftCol_;
    while (lastCol + 1 < colCount_ && ColumnX(lastCol + 1) < all.width())
        ++lastCol;
    int lastRow = topRow_;
    while (lastRow + 1 < rowCount_ && RowY(lastRow + 1) < all.height())
        ++lastRow;

    // Fixed and scrolling parts are drawn each within its own area, so a
    // union never spills from one into the other.
    DrawRegion(painter, QRect(0, 0, fixedW, fixedH), 0, fixedCols_ - 1, 0, fixedRows_ - 1, true);
    DrawRegion(painter, QRect(fixedW, 0, all.width() - fixedW, fixedH), leftCol_, lastCol, 0, fixedRows_ - 1, true);
    DrawRegion(painter, QRect(0, fixedH, fixedW, all.height() - fixedH), 0, fixedCols_ - 1, topRow_, lastRow, true);
    DrawRegion(painter, QRect(fixedW, fixedH, all.width() - fixedW, all.height() - fixedH), leftCol_, lastCol, topRow_,
               lastRow, false);
}

void TCustomIxStringGrid::DrawRegion(QPainter &painter, const QRect &clip, int colFrom, int colTo, int rowFrom,
                                     int rowTo, bool fixed)
{
    if (clip.isEmpty() || colFrom > colTo || rowFrom > rowTo)
        return;
    painter.save();
    painter.setClipRect(clip);
    std::set<std::pair<int, int>> drawnHeads;
    for (int row = rowFrom; row <= rowTo; ++row) {
        for (int col = colFrom; col <= colTo; ++col) {
            const TCellOptions o = AboutCell(col, row);
            int headCol = col, headRow = row;
            if (o.CellType == TCellType::ctDepend) {
                headCol = o.Afters.x();
                headRow = o.Afters.y();
            }
            // a union is painted once, but every cell it covers is still
            // reported to the hook
            const bool painted =
                AboutCell(headCol, headRow).Afters != QPoint(0, 0) && !drawnHeads.insert({headCol, headRow}).second;
            if (!painted) {
                painter.save();
                DrawCell(painter, headCol, headRow, fixed || col < fixedCols_ || row < fixedRows_);
                painter.restore();
            }
            if (drawCellHook_)
                drawCellHook_(painter, col, row, CellRect(col, row));
        }
    }
    painter.restore();
}

void TCustomIxStringGrid::DrawCell(QPainter &painter, int col, int row, bool fixed)
{
    const TCellOptions o = AboutCell(col, row);
    const QRect rect = UnionRect(col, row, o);
    const QString text = Cell(col, row);

    if (!indexedDrawing_) {
        const QColor background = fixed ? palette().color(QPalette::Button) : o.BrushColor;
        painter.fillRect(rect, background);
        painter.setPen(kGridLineColor);
        painter.drawLine(rect.right() + 1, rect.top(), rect.right() + 1, rect.bottom() + 1);
        painter.drawLine(rect.left(), rect.bottom() + 1, rect.right() + 1, rect.bottom() + 1);
        if (defaultDrawing_) {
            painter.setPen(fixed ? palette().color(QPalette::ButtonText) : o.FontColor);
            painter.setFont(StyledFont(font(), o.FontStyle));
            painter.drawText(rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
        }
        return;
    }

    painter.setPen(QPen(kGridLineColor, 1));
    painter.setBrush(o.BrushColor);
    painter.drawRect(rect.adjusted(-1, -1, 0, 0));

    const bool isCurrent = current_ == QPoint(col, row) && o.Afters == QPoint(0, 0) && !fixed;
    if (isCurrent) {
        painter.setPen(hasFocus() ? QColor(0, 0, 0) : kUnfocusedFrameColor);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }

    if (text.isEmpty())
        return;
    painter.setFont(StyledFont(font(), o.FontStyle));
    painter.setPen(o.FontColor);
    painter.setClipRect(rect, Qt::IntersectClip);
    const int dx = (rect.width() - draw_.IndexedTextWidth(painter, text)) / 2;
    const int dy = (rect.height() - draw_.IndexedTextHeight(painter, text)) / 2;
    draw_.DrawIndexedText(painter, text, rect.top() + dy, rect.left() + dx);
}

// -------------------------------------------------------------- scrolling

void TCustomIxStringGrid::UpdateScrollBars()
{
    // Showing or hiding a bar resizes the viewport, which asks for this again:
    // the nested request is redone here, a bounded number of times, so two
    // bars that keep pushing each other in and out cannot recurse forever.
    if (updatingBars_) {
        barsPending_ = true;
        return;
    }
    updatingBars_ = true;
    for (int pass = 0; pass < 3; ++pass) {
        barsPending_ = false;
        UpdateScrollBarsOnce();
        if (!barsPending_)
            break;
    }
    updatingBars_ = false;
}

void TCustomIxStringGrid::UpdateScrollBarsOnce()
{
    const QSize area = viewport()->size();
    int fixedW = 0, fixedH = 0;
    for (int c = 0; c < fixedCols_; ++c)
        fixedW += colWidths_[c] + kGridLineWidth;
    for (int r = 0; r < fixedRows_; ++r)
        fixedH += rowHeights_[r] + kGridLineWidth;

    // the last first-row/column that still shows the grid's end in full
    int maxTop = rowCount_ - 1, used = 0;
    while (maxTop >= fixedRows_ && used + rowHeights_[maxTop] + kGridLineWidth <= area.height() - fixedH)
        used += rowHeights_[maxTop--] + kGridLineWidth;
    maxTop = std::clamp(maxTop + 1, fixedRows_, rowCount_ - 1);
    int maxLeft = colCount_ - 1;
    used = 0;
    while (maxLeft >= fixedCols_ && used + colWidths_[maxLeft] + kGridLineWidth <= area.width() - fixedW)
        used += colWidths_[maxLeft--] + kGridLineWidth;
    maxLeft = std::clamp(maxLeft + 1, fixedCols_, colCount_ - 1);

    topRow_ = std::clamp(topRow_, fixedRows_, maxTop);
    leftCol_ = std::clamp(leftCol_, fixedCols_, maxLeft);
    // not blocked: the scroll area shows or hides a bar on its range signal
    verticalScrollBar()->setRange(0, maxTop - fixedRows_);
    verticalScrollBar()->setPageStep(std::max(1, rowCount_ - maxTop));
    verticalScrollBar()->setValue(topRow_ - fixedRows_);
    horizontalScrollBar()->setRange(0, maxLeft - fixedCols_);
    horizontalScrollBar()->setPageStep(std::max(1, colCount_ - maxLeft));
    horizontalScrollBar()->setValue(leftCol_ - fixedCols_);
}

void TCustomIxStringGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TCustomIxStringGrid::scrollContentsBy(int, int)
{
    topRow_ = fixedRows_ + verticalScrollBar()->value();
    leftCol_ = fixedCols_ + horizontalScrollBar()->value();
    viewport()->update();
}

void TCustomIxStringGrid::SetTopRow(int row)
{
    verticalScrollBar()->setValue(row - fixedRows_);
}

void TCustomIxStringGrid::SetLeftCol(int col)
{
    horizontalScrollBar()->setValue(col - fixedCols_);
}

void TCustomIxStringGrid::SetCurrentCell(int col, int row)
{
    if (col < fixedCols_ || col >= colCount_ || row < fixedRows_ || row >= rowCount_)
        return;
    current_ = QPoint(col, row);
    if (row < topRow_) {
        SetTopRow(row);
    } else {
        // scroll down until the row is in full view or the grid can go no further
        while (row > topRow_ && RowY(row) + RowHeight(row) > viewport()->height()) {
            const int before = topRow_;
            SetTopRow(topRow_ + 1);
            if (topRow_ == before)
                break;
        }
    }
    if (col < leftCol_)
        SetLeftCol(col);
    viewport()->update();
}

int TCustomIxStringGrid::CellAt(const QPoint &pos, bool column) const
{
    const int count = column ? colCount_ : rowCount_;
    for (int i = 0; i < count; ++i) {
        const QRect r = CellRect(column ? i : 0, column ? 0 : i);
        const int from = column ? r.left() : r.top();
        const int size = column ? r.width() : r.height();
        const int p = column ? pos.x() : pos.y();
        const bool hiddenScrolled = column ? (i >= fixedCols_ && i < leftCol_) : (i >= fixedRows_ && i < topRow_);
        if (!hiddenScrolled && p >= from && p <= from + size)
            return i;
    }
    return -1;
}

void TCustomIxStringGrid::mousePressEvent(QMouseEvent *event)
{
    SetCurrentCell(CellAt(event->position().toPoint(), true), CellAt(event->position().toPoint(), false));
    QAbstractScrollArea::mousePressEvent(event);
}

void TCustomIxStringGrid::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up: SetCurrentCell(current_.x(), current_.y() - 1); break;
    case Qt::Key_Down: SetCurrentCell(current_.x(), current_.y() + 1); break;
    case Qt::Key_Left: SetCurrentCell(current_.x() - 1, current_.y()); break;
    case Qt::Key_Right: SetCurrentCell(current_.x() + 1, current_.y()); break;
    default: QAbstractScrollArea::keyPressEvent(event);
    }
}

void TCustomIxStringGrid::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TCustomIxStringGrid::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}
