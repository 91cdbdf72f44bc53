#include "session/ByteSelectionModel.h"

#include "session/ByteListModel.h"

#include <algorithm>
#include <climits>

namespace brivox {

namespace {

bool TakesWholeRows(const QItemSelectionRange& range) {
    return range.left() <= CByteListModel::kLabelColumn ||
           range.right() >= CByteListModel::kAsciiColumn;
}

// Columns 1-16 are cells 0-15.
uint16_t CellsOfColumns(int left, int right) {
    const int first = std::max(left, 1) - 1;
    const int last = std::min(right, CByteListModel::kBytesPerRow) - 1;
    uint16_t cells = 0;
    for (int cell = first; cell <= last; ++cell)
        cells = static_cast<uint16_t>(cells | 1u << cell);
    return cells;
}

} // namespace

void CByteSelectionModel::select(const QItemSelection& selection,
                                 QItemSelectionModel::SelectionFlags command) {
    QItemSelection widened;
    for (const QItemSelectionRange& range : selection) {
        if (!TakesWholeRows(range)) {
            widened.append(range);
            continue;
        }
        const QAbstractItemModel* rows = range.model();
        widened.append(QItemSelectionRange(
            rows->index(range.top(), 0, range.parent()),
            rows->index(range.bottom(), rows->columnCount(range.parent()) - 1, range.parent())));
    }
    QItemSelectionModel::select(widened, command);
}

CCellSelection CByteSelectionModel::SelectedCells() const {
    const QItemSelection ranges = selection();
    int top = INT_MAX;
    int bottom = -1;
    for (const QItemSelectionRange& range : ranges) {
        top = std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
    }
    CCellSelection cells;
    if (bottom < 0)
        return cells;
    cells.firstRow = top;
    cells.masks.assign(static_cast<size_t>(bottom - top + 1), 0);
    for (const QItemSelectionRange& range : ranges) {
        const uint16_t columns = CellsOfColumns(range.left(), range.right());
        for (int row = range.top(); row <= range.bottom(); ++row)
            cells.masks[static_cast<size_t>(row - top)] |= columns;
    }
    return cells;
}

} // namespace brivox
