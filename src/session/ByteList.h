#pragma once

#include "session/ByteCellDelegate.h"
#include "session/ByteListActions.h"
#include "session/ByteListModel.h"
#include "session/ByteSelectionModel.h"

class QTableView;

namespace brivox {

// A traffic list of the session form (the TX&RX list 1015 or the RX list 1018): the model and
// its painting delegate on the form's table view, the column layout, scrolling to the bottom
// when a row starts, the ASCII column's refresh, and the selection with what it can be copied
// or saved as.
class CByteList {
public:
    static constexpr int kRowHeight = 16;

    CByteList(QTableView* view, bool rxOnly);
    CByteList(const CByteList&) = delete;
    CByteList& operator=(const CByteList&) = delete;

    CByteListModel& Model() { return m_model; }
    QTableView* View() const { return m_view; }
    CByteSelectionModel& Selection() { return m_selection; }
    CByteListActions& Actions() { return m_actions; }

    void AddByte(uint8_t value, ByteKind kind) { m_model.AddByte(value, kind); }
    void AddBytes(const uint8_t* values, int count, ByteKind kind, const uint8_t* marks = nullptr) {
        m_model.AddBytes(values, count, kind, marks);
    }
    void Clear() { m_model.Clear(); }

    // Both only change how rows are painted.
    void SetPaired(bool paired);
    void SetHexView(bool hex);

    // Repaints the ASCII column when bytes came since the last call (the form's 500 ms timer).
    // Repaints the ASCII column when bytes came since the last call; whether they did.
    bool RefreshAscii();

private:
    void Repaint();

    QTableView* m_view;
    CByteListModel m_model;
    CByteCellDelegate m_delegate;
    CByteSelectionModel m_selection{&m_model};
    CByteListActions m_actions{*m_view, m_model, m_selection};
    int m_refreshedCount = -1;
};

} // namespace brivox
