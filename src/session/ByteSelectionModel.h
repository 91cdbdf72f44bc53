#pragma once

#include "session/TrafficText.h"

#include <QItemSelectionModel>

namespace brivox {

// The selection of a traffic list: cells, ranges of cells, or whole rows, which a row's label or
// its ASCII column stands for (a click there, or a drag that reaches one, takes the rows).
class CByteSelectionModel : public QItemSelectionModel {
public:
    using QItemSelectionModel::QItemSelectionModel;
    using QItemSelectionModel::select;

    void select(const QItemSelection& selection,
                QItemSelectionModel::SelectionFlags command) override;

    // The selected byte cells, from the first selected row to the last.
    CCellSelection SelectedCells() const;
};

} // namespace brivox
