// The grid control: a table whose header row is the table's horizontal
// header and whose data rows are the table's rows, so data row r (counted
// from 1, as the file list counts) is table row r - 1. Cells may carry a
// check box that only the program changes: clicking it does nothing.
// Sorting, cell drag and drop and row resizing are off.
#pragma once

#include <QTableWidget>

#include <vector>

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

    // Columns that fit the viewport: each has its preferred width while all
    // fit; when they do not (a narrow window, the vertical scroll bar), the
    // shrink column gives way down to MinFittedWidth, then the others in
    // turn from the right, so every column stays in view without a
    // horizontal scroll bar. Kept up on every resize until the user drags a
    // column's edge.
    static constexpr int MinFittedWidth = 24;
    void FitColumns(std::vector<int> preferred, int shrinkColumn);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ApplyFit();

    std::vector<int> m_preferred;
    int m_shrinkColumn = 0;
    bool m_fitting = false;    // widths being set by the fit
    bool m_userWidths = false; // the user has set a width: no more fitting

signals:
    // A mouse click on a cell of data row r (r >= 1), column c.
    void CellClicked(int row, int column);
};
