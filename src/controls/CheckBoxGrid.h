// The grid control: a table whose header row is the table's horizontal
// header and whose data rows are the table's rows, so data row r (counted
// from 1, as the file list counts) is table row r - 1. Cells may carry a
// check box that only the program changes: clicking it does nothing.
// Sorting, cell drag and drop and row resizing are off.
#pragma once

#include <QTableWidget>

class CheckBoxGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit CheckBoxGrid(QWidget* parent = nullptr);

    // A check-box cell at data row r (r >= 1), column c.
    void SetCheckBoxCell(int row, int column, bool checked);
    void SetChecked(int row, int column, bool checked);
    bool IsChecked(int row, int column) const;

    // The highlighted cells' enclosing rectangle in data rows; false when
    // nothing is highlighted.
    bool HighlightedRows(int& firstRow, int& lastRow) const;
    // Data row r highlighted (its column-0 cell selected).
    bool IsRowHighlighted(int row) const;
    void HighlightRow(int row);
    // The rectangle, in data rows, of what is highlighted contains the cell.
    bool IsInHighlightedRange(int row, int column) const;

signals:
    // A mouse click on a cell of data row r (r >= 1), column c.
    void CellClicked(int row, int column);
};
