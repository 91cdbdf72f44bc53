#include "session/PollTableModel.h"

#include "util/Text.h"

#include <QBrush>
#include <QColor>

namespace brivox {

namespace {

const QColor kChangedColour(255, 236, 140);

} // namespace

void CPollTableModel::Reset(const std::vector<int>& addresses,
                            const std::map<int, std::string>& aliases) {
    beginResetModel();
    m_addresses = addresses;
    m_values.assign(addresses.size(), "");
    m_changed.assign(addresses.size(), false);
    m_aliases = aliases;
    endResetModel();
}

void CPollTableModel::SetValues(const std::vector<std::string>& values) {
    int first = -1;
    int last = -1;
    for (size_t row = 0; row < m_values.size(); ++row) {
        const std::string& value = row < values.size() ? values[row] : m_values[row];
        const bool changed = value != m_values[row] && !m_values[row].empty();
        if (m_changed[row] || value != m_values[row]) {
            first = first < 0 ? static_cast<int>(row) : first;
            last = static_cast<int>(row);
        }
        m_changed[row] = changed;
        m_values[row] = value;
    }
    if (first >= 0)
        emit dataChanged(index(first, kValue), index(last, kValue),
                         {Qt::DisplayRole, Qt::BackgroundRole});
}

int CPollTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_addresses.size());
}

int CPollTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant CPollTableModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (!index.isValid() || row >= rowCount())
        return {};
    if (role == Qt::BackgroundRole && index.column() == kValue && m_changed[row])
        return QBrush(kChangedColour);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case kAddress:
        return QString::fromStdString(FormatNumber(m_addresses[row], 16, 4));
    case kValue:
        return QString::fromStdString(m_values[row]);
    default: {
        const auto alias = m_aliases.find(m_addresses[row]);
        return alias == m_aliases.end() ? QString() : QString::fromStdString(alias->second);
    }
    }
}

QVariant CPollTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    static const char* const kTitles[] = {"Address", "Value", "Alias"};
    return section >= 0 && section < kColumns ? QString::fromLatin1(kTitles[section]) : QVariant();
}

Qt::ItemFlags CPollTableModel::flags(const QModelIndex& index) const {
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return index.column() == kAlias ? flags | Qt::ItemIsEditable : flags;
}

bool CPollTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != kAlias || index.row() >= rowCount())
        return false;
    // One line: the definition file keeps an alias a line.
    const std::string name = value.toString().simplified().toStdString();
    m_aliases[m_addresses[index.row()]] = name;
    emit dataChanged(index, index, {Qt::DisplayRole});
    if (m_aliasEdited)
        m_aliasEdited();
    return true;
}

} // namespace brivox
