#pragma once

#include <QStandardItemModel>
#include <QTableView>

namespace brivox {

// A report-style list: a table whose rows all have the vertical header's default section size,
// laid out by arithmetic. QTableView keeps an item per row in its vertical header and walks them
// all when rows come or go; a traffic list of millions of rows then spends more on that walk than
// on its bytes. Here the vertical header is given no rows at all, and every geometry that would
// ask it (positions, hit tests, scrolling, painting, keyboard moves, selection rectangles) is
// worked out from the row height instead. Columns stay with the horizontal header.
class CReportListView : public QTableView {
public:
    explicit CReportListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    void setSelectionModel(QItemSelectionModel* selectionModel) override;

    QRect visualRect(const QModelIndex& index) const override;
    QModelIndex indexAt(const QPoint& point) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void verticalScrollbarValueChanged(int value) override;

private:
    int RowHeight() const;
    int RowCount() const;
    int GridSize() const { return showGrid() ? 1 : 0; }
    bool ScrollsByRow() const { return verticalScrollMode() == ScrollPerItem; }
    // The row under a viewport y, which may lie past the last row or above the first.
    int RowAtY(int y) const;
    int RowTop(int row) const { return row * RowHeight() - verticalOffset(); }
    int RowsPerPage() const;
    void ShowRowsFrom(int firstRow);
    void PaintArea(QPainter& painter, QStyleOptionViewItem& option, const QRect& area) const;
    void PaintGrid(QPainter& painter, const QStyleOptionViewItem& option, const QRect& area,
                   int top, int bottom) const;

    QStandardItemModel m_noRows; // the vertical header's model
};

} // namespace brivox
