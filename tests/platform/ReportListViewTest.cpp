#include "platform/ReportListView.h"

#include "support/PortTestSupport.h"
#include "support/QtApp.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace brivox {
namespace {

// Rows that come and go in bulk, as a traffic list's do.
class CRowsModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 4;
    }
    QVariant data(const QModelIndex&, int) const override { return {}; }
    void Append(int rows) {
        beginInsertRows({}, m_rows, m_rows + rows - 1);
        m_rows += rows;
        endInsertRows();
    }
    void DropFront(int rows) {
        beginRemoveRows({}, 0, rows - 1);
        m_rows -= rows;
        endRemoveRows();
    }

private:
    int m_rows = 0;
};

class ReportListViewTest : public ::testing::Test {
protected:
    ReportListViewTest() {
        m_view.setModel(&m_model);
        m_view.verticalHeader()->setDefaultSectionSize(20);
        m_view.resize(600, 10 * kRowHeight + 2 * m_view.frameWidth());
        m_view.show();
        m_model.Append(2'000'000);
        QCoreApplication::processEvents();
    }
    int FirstShownRow() { return m_view.indexAt(QPoint(1, 1)).row(); }

    const bool m_appReady = (test::QtApp(), true); // before the first widget
    CRowsModel m_model;
    CReportListView m_view;
    const int kRowHeight = 20;
};

TEST_F(ReportListViewTest, RowsLieWhereTheScrollBarSaysAndHitTestsFindThem) {
    QScrollBar* bar = m_view.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 2'000'000 - 10) << "the last page holds ten whole rows";
    for (const int first : {0, 517, bar->maximum()}) {
        bar->setValue(first);
        for (const int shown : {0, 3, 9}) {
            const QModelIndex index = m_model.index(first + shown, 2);
            const QRect cell = m_view.visualRect(index);
            EXPECT_EQ(cell.top(), shown * kRowHeight) << first << "+" << shown;
            EXPECT_EQ(cell.height(), kRowHeight - 1) << "less the grid line";
            EXPECT_EQ(m_view.indexAt(cell.center()), index) << first << "+" << shown;
        }
    }
    EXPECT_FALSE(m_view.indexAt(QPoint(1, 1) + QPoint(0, 10 * kRowHeight)).isValid())
        << "nothing below the last row";
}

TEST_F(ReportListViewTest, ScrollingAndKeysReachEveryRowAsRowsComeAndGo) {
    m_view.scrollToBottom();
    EXPECT_EQ(FirstShownRow(), 2'000'000 - 10);
    m_model.DropFront(250'000);
    m_view.scrollToBottom();
    EXPECT_EQ(m_view.verticalScrollBar()->maximum(), 1'750'000 - 10);
    EXPECT_EQ(FirstShownRow(), 1'750'000 - 10);

    m_view.setFocus();
    m_view.setCurrentIndex(m_model.index(1'000'000, 1));
    const auto current = [&] {
        return std::pair(m_view.currentIndex().row(), m_view.currentIndex().column());
    };
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::pair<int, int> expected;
    } moves[] = {
        {Qt::Key_Home, Qt::ControlModifier, {0, 0}},
        {Qt::Key_Up, {}, {0, 0}},
        {Qt::Key_PageDown, {}, {10, 0}},
        {Qt::Key_End, {}, {10, 3}},
        {Qt::Key_Right, {}, {10, 3}},
        {Qt::Key_End, Qt::ControlModifier, {1'749'999, 3}},
        {Qt::Key_Down, {}, {1'749'999, 3}},
        {Qt::Key_Left, {}, {1'749'999, 2}},
    };
    for (const auto& move : moves) {
        QTest::keyClick(&m_view, move.key, move.modifiers);
        EXPECT_EQ(current(), move.expected) << QTest::toString(move.key);
        const QRect cell = m_view.visualRect(m_view.currentIndex());
        EXPECT_TRUE(m_view.viewport()->rect().contains(cell)) << "the current cell is in view";
    }
}

} // namespace
} // namespace brivox
