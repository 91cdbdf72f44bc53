#include "platform/ReportListView.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVarLengthArray>
#include <algorithm>

namespace brivox {

CReportListView::CReportListView(QWidget* parent) : QTableView(parent) {
    // Columns scroll by pixels: only rows keep QTableView's step of a whole item.
    setHorizontalScrollMode(ScrollPerPixel);
    // QTableView shows its corner button, or hides it without both headers, in the geometry
    // update this class replaces: hidden here, it would otherwise cover the first cell.
    if (auto* corner = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly))
        corner->hide();
}

void CReportListView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    verticalHeader()->setModel(&m_noRows);
}

// QTableView would hand the selection to the vertical header too, which works on other rows.
void CReportListView::setSelectionModel(QItemSelectionModel* selectionModel) {
    QAbstractItemView::setSelectionModel(selectionModel);
    horizontalHeader()->setSelectionModel(selectionModel);
}

int CReportListView::RowHeight() const {
    return std::max(1, verticalHeader()->defaultSectionSize());
}

int CReportListView::RowCount() const {
    return model() != nullptr ? model()->rowCount(rootIndex()) : 0;
}

int CReportListView::RowAtY(int y) const {
    const int content = y + verticalOffset();
    return content < 0 ? -1 : content / RowHeight();
}

int CReportListView::RowsPerPage() const {
    return std::max(1, viewport()->height() / RowHeight());
}

int CReportListView::verticalOffset() const {
    const int value = verticalScrollBar()->value();
    return ScrollsByRow() ? value * RowHeight() : value;
}

QRect CReportListView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model() || isIndexHidden(index))
        return {};
    const int column = index.column();
    return {columnViewportPosition(column), RowTop(index.row()), columnWidth(column) - GridSize(),
            RowHeight() - GridSize()};
}

QModelIndex CReportListView::indexAt(const QPoint& point) const {
    const int row = RowAtY(point.y());
    const int column = columnAt(point.x());
    if (row < 0 || row >= RowCount() || column < 0)
        return {};
    return model()->index(row, column, rootIndex());
}

bool CReportListView::isIndexHidden(const QModelIndex& index) const {
    return isColumnHidden(index.column());
}

void CReportListView::ShowRowsFrom(int firstRow) {
    verticalScrollBar()->setValue(ScrollsByRow() ? firstRow : firstRow * RowHeight());
}

void CReportListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.model() != model())
        return;
    const int row = index.row();
    const int page = RowsPerPage();
    const int first = verticalOffset() / RowHeight();
    switch (hint) {
    case EnsureVisible:
        if (row < first)
            ShowRowsFrom(row);
        else if (row >= first + page)
            ShowRowsFrom(row - page + 1);
        break;
    case PositionAtTop:
        ShowRowsFrom(row);
        break;
    case PositionAtBottom:
        ShowRowsFrom(row - page + 1);
        break;
    case PositionAtCenter:
        ShowRowsFrom(row - page / 2);
        break;
    }
    const int left = columnViewportPosition(index.column());
    const int right = left + columnWidth(index.column());
    QScrollBar* columns = horizontalScrollBar();
    if (left < 0)
        columns->setValue(columns->value() + left);
    else if (right > viewport()->width())
        columns->setValue(columns->value() + right - viewport()->width());
}

// QTableView's own would set both ranges from its headers, the vertical one to nothing.
void CReportListView::updateGeometries() {
    const int height = viewport()->height();
    QScrollBar* rows = verticalScrollBar();
    if (ScrollsByRow()) {
        const int page = height / RowHeight();
        rows->setRange(0, std::max(0, RowCount() - page));
        rows->setPageStep(std::max(1, page));
        rows->setSingleStep(1);
    } else {
        rows->setRange(0, std::max(0, RowCount() * RowHeight() - height));
        rows->setPageStep(height);
        rows->setSingleStep(RowHeight());
    }
    const int width = viewport()->width();
    QScrollBar* columns = horizontalScrollBar();
    columns->setRange(0, std::max(0, horizontalHeader()->length() - width));
    columns->setPageStep(width);
    columns->setSingleStep(std::max(1, width / 20));
    QAbstractItemView::updateGeometries();
}

void CReportListView::scrollContentsBy(int dx, int dy) {
    horizontalHeader()->setOffset(horizontalScrollBar()->value());
    const int pixels = ScrollsByRow() ? dy * RowHeight() : dy;
    viewport()->scroll(dx, pixels);
    // The grid line drawn along the top moved down with the rows.
    if (showGrid() && pixels > 0)
        viewport()->update(0, pixels, viewport()->width(), 1);
}

// QAbstractItemView asks the window system where the pointer is on every scroll, to update the
// hovered cell: a round trip to the display server on each flush of a streaming list. Only a
// pointer over the rows can hover one.
void CReportListView::verticalScrollbarValueChanged(int value) {
    if (viewport()->underMouse()) {
        QTableView::verticalScrollbarValueChanged(value);
        return;
    }
    if (value == verticalScrollBar()->maximum() && model() != nullptr &&
        model()->canFetchMore(rootIndex()))
        model()->fetchMore(rootIndex());
}

void CReportListView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QTableView::rowsInserted(parent, start, end);
    scheduleDelayedItemsLayout();
}

void CReportListView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    QTableView::rowsAboutToBeRemoved(parent, start, end);
    scheduleDelayedItemsLayout();
}

QModelIndex CReportListView::moveCursor(CursorAction cursorAction,
                                        Qt::KeyboardModifiers modifiers) {
    const int rows = RowCount();
    const int columns = model() != nullptr ? model()->columnCount(rootIndex()) : 0;
    if (rows == 0 || columns == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());
    int row = current.row();
    int column = current.column();
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    switch (cursorAction) {
    case MoveUp:
        row = std::max(0, row - 1);
        break;
    case MoveDown:
        row = std::min(rows - 1, row + 1);
        break;
    case MoveLeft:
        column = std::max(0, column - 1);
        break;
    case MoveRight:
        column = std::min(columns - 1, column + 1);
        break;
    case MovePrevious:
        if (--column < 0) {
            column = columns - 1;
            row = row > 0 ? row - 1 : rows - 1;
        }
        break;
    case MoveNext:
        if (++column >= columns) {
            column = 0;
            row = row < rows - 1 ? row + 1 : 0;
        }
        break;
    case MoveHome:
        column = 0;
        row = control ? 0 : row;
        break;
    case MoveEnd:
        column = columns - 1;
        row = control ? rows - 1 : row;
        break;
    case MovePageUp:
        row = std::max(0, row - RowsPerPage());
        break;
    case MovePageDown:
        row = std::min(rows - 1, row + RowsPerPage());
        break;
    }
    return model()->index(row, column, rootIndex());
}

void CReportListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const QRect area = rect.normalized();
    const QModelIndex topLeft = indexAt(area.topLeft());
    const QModelIndex bottomRight = indexAt(area.bottomRight());
    if (selectionModel() == nullptr || !topLeft.isValid() || !bottomRight.isValid())
        return;
    selectionModel()->select(QItemSelection(topLeft, bottomRight), command);
}

// Only the rows on view: a selection of millions of rows repaints a page.
QRegion CReportListView::visualRegionForSelection(const QItemSelection& selection) const {
    const int firstShown = std::max(0, RowAtY(0));
    const int lastShown = RowAtY(viewport()->height());
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        const int top = std::max(range.top(), firstShown);
        const int bottom = std::min(range.bottom(), lastShown);
        if (top > bottom)
            continue;
        const int left = columnViewportPosition(range.left());
        const int right = columnViewportPosition(range.right()) + columnWidth(range.right());
        region += QRect(left, RowTop(top), right - left, (bottom - top + 1) * RowHeight());
    }
    return region;
}

void CReportListView::paintEvent(QPaintEvent* event) {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QPainter painter(viewport());
    if (RowCount() == 0 || horizontalHeader()->count() == 0 || itemDelegate() == nullptr)
        return;
    for (const QRect& area : event->region())
        PaintArea(painter, option, area);
}

void CReportListView::PaintArea(QPainter& painter, QStyleOptionViewItem& option,
                                const QRect& dirty) const {
    QRect area = dirty;
    area.setBottom(std::min(area.bottom(), RowTop(RowCount()) - 1));
    area.setRight(
        std::min(area.right(), horizontalHeader()->length() - horizontalHeader()->offset() - 1));
    const int top = std::max(0, RowAtY(area.top()));
    const int bottom = std::min(RowCount() - 1, RowAtY(area.bottom()));
    if (area.isEmpty() || top > bottom)
        return;
    const int columns = horizontalHeader()->count();
    const int left = columnAt(area.left()) < 0 ? 0 : columnAt(area.left());
    const int right = columnAt(area.right()) < 0 ? columns - 1 : columnAt(area.right());
    const QStyle::State state = option.state;
    const bool anySelected = selectionModel() != nullptr && selectionModel()->hasSelection();
    const QModelIndex current = hasFocus() ? currentIndex() : QModelIndex();
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            if (isColumnHidden(column))
                continue;
            const QModelIndex index = model()->index(row, column, rootIndex());
            option.rect = visualRect(index);
            option.state = state;
            if (anySelected && selectionModel()->isSelected(index))
                option.state |= QStyle::State_Selected;
            if (index == current)
                option.state |= QStyle::State_HasFocus;
            // Without alternating rows (never set here) the row panel shows only a selection.
            if (option.state & QStyle::State_Selected)
                style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
            itemDelegateForIndex(index)->paint(&painter, option, index);
        }
    }
    if (showGrid())
        PaintGrid(painter, option, area, top, bottom);
}

// A line under each row and right of each column, and one along the top and the left edge,
// as QTableView draws them without headers.
void CReportListView::PaintGrid(QPainter& painter, const QStyleOptionViewItem& option,
                                const QRect& area, int top, int bottom) const {
    const auto color =
        static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this));
    painter.setPen(QPen(QColor::fromRgba(color), 1, gridStyle()));
    // One call for all: each line drawn alone costs the engine its set-up again.
    QVarLengthArray<QLine, 128> lines;
    for (int row = top; row <= bottom; ++row) {
        const int y = RowTop(row) + RowHeight() - GridSize();
        lines.append(QLine(area.left(), y, area.right(), y));
    }
    for (int column = 0; column < horizontalHeader()->count(); ++column) {
        const int x = columnViewportPosition(column) + columnWidth(column) - GridSize();
        if (!isColumnHidden(column) && x >= area.left() && x <= area.right())
            lines.append(QLine(x, area.top(), x, area.bottom()));
    }
    if (ScrollsByRow())
        lines.append(QLine(area.left(), 0, area.right(), 0));
    lines.append(QLine(0, area.top(), 0, area.bottom()));
    painter.drawLines(lines.constData(), static_cast<int>(lines.size()));
}

} // namespace brivox
