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
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (!m_fitting && !m_preferred.empty())
            m_userWidths = true;
    });
}

void CheckBoxGrid::FitColumns(std::vector<int> preferred, int shrinkColumn) {
    m_preferred = std::move(preferred);
    m_shrinkColumn = shrinkColumn;
    m_userWidths = false;
    ApplyFit();
}

void CheckBoxGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    ApplyFit();
}

void CheckBoxGrid::showEvent(QShowEvent* event) {
    QTableWidget::showEvent(event);
    ApplyFit();
}

void CheckBoxGrid::ApplyFit() {
    if (m_preferred.empty() || m_userWidths)
        return;
    std::vector<int> widths = m_preferred;
    int total = 0;
    for (const int width : widths)
        total += width;
    // A grid not on screen has no width of its own yet: its columns keep
    // their widths until it shows.
    int missing = isVisible() ? total - viewport()->width() : 0;
    const auto give = [&](size_t column) {
        if (missing <= 0 || column >= widths.size())
            return;
        const int taken = std::min(missing, std::max(0, widths[column] - MinFittedWidth));
        widths[column] -= taken;
        missing -= taken;
    };
    give(static_cast<size_t>(m_shrinkColumn));
    for (size_t column = widths.size(); column-- > 0;)
        give(column);
    m_fitting = true;
    for (size_t column = 0; column < widths.size() && static_cast<int>(column) < columnCount();
         ++column)
        setColumnWidth(static_cast<int>(column), widths[column]);
    m_fitting = false;
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
