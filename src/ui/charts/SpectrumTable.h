#pragma once

// One table of a spectral page: a header row of three names with units and
// 49 rows, one per harmonic order (2..50) or interharmonic group (1..49),
// whose cells the bindings fill. The numbers and the header stay in place
// while the values scroll.

#include "ui/widgets/IndexedGrid.h"

#include <array>

class TSpectrumTable : public TIxStringGrid
{
    Q_OBJECT

public:
    // firstNumber: the number of row 1; symbol: the header of the number
    // column ("n" or "m"); valueColumns: 3, or 2 when the third stays empty.
    TSpectrumTable(int firstNumber, const QString &symbol, int valueColumns, QWidget *parent = nullptr);

    int ValueColumns() const { return valueColumns_; }

    // Cell (c, 0) := name + ", " + prefix + unit; a column without name
    // and unit gets an empty header.
    void WriteHeader(const std::array<QString, 3> &names, const std::array<QString, 3> &units, const QString &prefix);

    static constexpr int kRows = 50;
    static constexpr int kColumns = 4;
    static constexpr int kRowHeight = 24;
    static constexpr std::array<int, kColumns> kColumnWidths{22, 72, 72, 72};
    // The width that shows every column beside a vertical scroll bar.
    int FullWidth() const;

private:
    int valueColumns_;
};
