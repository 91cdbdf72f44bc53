#include "session/ByteList.h"

#include <QHeaderView>
#include <QTableView>

namespace brivox {

namespace {

constexpr int kLabelColumnWidth = 25;
constexpr int kByteColumnWidth = 30;
constexpr int kAsciiColumnWidth = 118;

} // namespace

CByteList::CByteList(QTableView* view, bool rxOnly)
    : m_view(view), m_model(rxOnly), m_delegate(m_model) {
    m_view->setModel(&m_model);
    m_view->setSelectionModel(&m_selection);
    m_view->setItemDelegate(&m_delegate);
    m_view->setShowGrid(true);
    // Opaque, so that the scroll bar moving as rows come does not repaint what lies beneath.
    m_view->setAutoFillBackground(true);
    m_view->setWordWrap(false);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Cells by drag, Shift+click and Ctrl+A; the label or ASCII column takes whole rows.
    m_view->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_view->setColumnWidth(CByteListModel::kLabelColumn, kLabelColumnWidth);
    for (int column = 1; column <= CByteListModel::kBytesPerRow; ++column)
        m_view->setColumnWidth(column, kByteColumnWidth);
    m_view->setColumnWidth(CByteListModel::kAsciiColumn, kAsciiColumnWidth);
    QObject::connect(&m_model, &CByteListModel::RowStarted, m_view,
                     [view] { view->scrollToBottom(); });
}

void CByteList::SetPaired(bool paired) {
    if (paired == m_model.IsPaired())
        return;
    m_model.SetPaired(paired);
    Repaint();
}

void CByteList::SetHexView(bool hex) {
    m_delegate.SetHexView(hex);
    Repaint();
}

bool CByteList::RefreshAscii() {
    if (m_model.rowCount() == 0 || m_model.CellCount() == m_refreshedCount)
        return false;
    m_refreshedCount = m_model.CellCount();
    QWidget* viewport = m_view->viewport();
    viewport->update(m_view->columnViewportPosition(CByteListModel::kAsciiColumn), 0,
                     m_view->columnWidth(CByteListModel::kAsciiColumn), viewport->height());
    return true;
}

void CByteList::Repaint() {
    m_view->viewport()->update();
}

} // namespace brivox
