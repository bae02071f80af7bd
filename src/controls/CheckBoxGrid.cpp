#include "controls/CheckBoxGrid.h"

#include <QHeaderView>

#include <algorithm>
#include <climits>

CheckBoxGrid::CheckBoxGrid(QWidget* parent) : QTableWidget(parent) {
    setSortingEnabled(false);
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setSectionsMovable(false);
    connect(this, &QTableWidget::cellClicked, this,
            [this](int row, int column) { emit CellClicked(row + 1, column); });
}

void CheckBoxGrid::SetCheckBoxCell(int row, int column, bool checked) {
    auto* cell = item(row - 1, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row - 1, column, cell);
    }
    // Not user-checkable: the indicator is drawn but a click does not change it.
    cell->setFlags(cell->flags() & ~(Qt::ItemIsUserCheckable | Qt::ItemIsEditable));
    cell->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void CheckBoxGrid::SetChecked(int row, int column, bool checked) {
    if (auto* cell = item(row - 1, column))
        cell->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool CheckBoxGrid::IsChecked(int row, int column) const {
    const auto* cell = item(row - 1, column);
    return cell && cell->checkState() == Qt::Checked;
}

bool CheckBoxGrid::HighlightedRows(int& firstRow, int& lastRow) const {
    int first = INT_MAX;
    int last = -1;
    for (const QTableWidgetSelectionRange& range : selectedRanges()) {
        first = std::min(first, range.topRow());
        last = std::max(last, range.bottomRow());
    }
    if (last < 0)
        return false;
    firstRow = first + 1;
    lastRow = last + 1;
    return true;
}

bool CheckBoxGrid::IsRowHighlighted(int row) const {
    const QModelIndex index = model()->index(row - 1, 0);
    return index.isValid() && selectionModel()->isSelected(index);
}

void CheckBoxGrid::HighlightRow(int row) {
    clearSelection();
    if (row >= 1 && row <= rowCount()) {
        setCurrentCell(row - 1, 0);
        setRangeSelected(QTableWidgetSelectionRange(row - 1, 0, row - 1, columnCount() - 1), true);
    }
}

bool CheckBoxGrid::IsInHighlightedRange(int row, int column) const {
    int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
    for (const QTableWidgetSelectionRange& range : selectedRanges()) {
        top = std::min(top, range.topRow());
        bottom = std::max(bottom, range.bottomRow());
        left = std::min(left, range.leftColumn());
        right = std::max(right, range.rightColumn());
    }
    const int tableRow = row - 1;
    return bottom >= 0 && tableRow >= top && tableRow <= bottom && column >= left &&
           column <= right;
}
