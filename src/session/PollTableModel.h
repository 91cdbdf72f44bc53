#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace brivox {

// The poll window's table: address | value | alias, a row a value. Values change in place (only
// the cells that changed are reported to the view, so nothing is laid out again); a cell whose
// value changed since the last update is highlighted until the next one.
class CPollTableModel : public QAbstractTableModel {
public:
    enum Column { kAddress, kValue, kAlias, kColumns };

    // A new block: rows for these addresses, no values yet.
    void Reset(const std::vector<int>& addresses, const std::map<int, std::string>& aliases);
    void SetValues(const std::vector<std::string>& values);
    bool Changed(int row) const {
        return row >= 0 && row < static_cast<int>(m_changed.size()) && m_changed[row];
    }
    int AddressAt(int row) const { return m_addresses[row]; }
    const std::string& ValueAt(int row) const { return m_values[row]; }
    const std::map<int, std::string>& Aliases() const { return m_aliases; }
    // Called when the user renames an address.
    void SetOnAliasEdited(std::function<void()> edited) { m_aliasEdited = std::move(edited); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    std::vector<int> m_addresses;
    std::vector<std::string> m_values;
    std::vector<bool> m_changed;
    std::map<int, std::string> m_aliases;
    std::function<void()> m_aliasEdited;
};

} // namespace brivox
