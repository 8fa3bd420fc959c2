#include "ui/charts/SpectrumTable.h"

#include "ui/RecordBindings.h"

#include <QScrollBar>

TSpectrumTable::TSpectrumTable(int firstNumber, const QString &symbol, int valueColumns, QWidget *parent)
    : TIxStringGrid(parent), valueColumns_(valueColumns)
{
    SetColCount(kColumns);
    SetRowCount(kRows);
    SetFixedCols(1);
    SetFixedRows(1);
    SetDefaultRowHeight(kRowHeight);
    SetIndexedDrawing(true);
    for (int c = 0; c < kColumns; ++c)
        SetColWidth(c, kColumnWidths[c]);

    TCellOptions face = DefaultOptions();
    face.BrushColor = TParamsControlsManager::ChannelBackground(0);
    for (int c = 0; c < kColumns; ++c)
        SetCellOptions(c, 0, face);
    for (int r = 1; r < kRows; ++r) {
        SetCellOptions(0, r, face);
        SetCellText(0, r, QString::number(firstNumber + r - 1));
        for (int c = 1; c <= valueColumns_; ++c)
            SetCellText(c, r, TParamsControlsManager::kNotMeaningfulCell);
    }
    SetCellText(0, 0, symbol);
}

void TSpectrumTable::WriteHeader(const std::array<QString, 3> &names, const std::array<QString, 3> &units,
                                 const QString &prefix)
{
    for (int c = 0; c < 3; ++c) {
        const bool empty = names[c].isEmpty() && units[c].isEmpty();
        SetCellText(c + 1, 0, empty ? QString() : names[c] + QStringLiteral(", ") + prefix + units[c]);
    }
}

int TSpectrumTable::FullWidth() const
{
    int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < kColumns; ++c)
        width += ColWidth(c) + kGridLineWidth;
    return width;
}
