#include "editors/clients/client_list_model.h"

namespace mirx::editors {
namespace {

using model::ClientColumn;

std::array<shell::ListColumn, model::kClientColumnCount> listColumns(bool rtsTrunking) {
    const auto specs = model::clientListColumns(rtsTrunking);
    std::array<shell::ListColumn, model::kClientColumnCount> columns{};
    for (std::size_t i = 0; i < specs.size(); ++i) {
        columns[i] = shell::ListColumn{specs[i].title, specs[i].width};
    }
    return columns;
}

// The base keeps a view of its columns: one table per trunking mode, for
// the whole run.
std::span<const shell::ListColumn> columnsFor(bool rtsTrunking) {
    static const auto rts = listColumns(true);
    static const auto other = listColumns(false);
    return rtsTrunking ? std::span<const shell::ListColumn>(rts)
                       : std::span<const shell::ListColumn>(other);
}

QString cellText(const model::ClientRow& row, ClientColumn column) {
    return QString::fromStdString(row.cell(column));
}

} // namespace

ClientListModel::ClientListModel(bool rtsTrunking, QObject* parent)
    : RecordListModel(columnsFor(rtsTrunking), parent)
    , specs_(model::clientListColumns(rtsTrunking)) {}

void ClientListModel::setRows(std::vector<model::ClientRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void ClientListModel::putRow(model::ClientRow row) {
    const int at = rowOf(row.clientIndex);
    if (at >= 0) {
        rows_[static_cast<std::size_t>(at)] = std::move(row);
        emit dataChanged(index(at, 0), index(at, columnCount() - 1));
        return;
    }
    const int end = static_cast<int>(rows_.size());
    beginInsertRows({}, end, end);
    rows_.push_back(std::move(row));
    endInsertRows();
}

void ClientListModel::removeClient(int clientIndex) {
    const int at = rowOf(clientIndex);
    if (at < 0) {
        return;
    }
    beginRemoveRows({}, at, at);
    rows_.erase(rows_.begin() + at);
    endRemoveRows();
}

int ClientListModel::rowOf(int clientIndex) const {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].clientIndex == clientIndex) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::array<int, model::kClientColumnCount> ClientListModel::columnWidths() const {
    return model::clientColumnWidths(specs_, rows_);
}

int ClientListModel::initialWidth(int column) const {
    return specs_[static_cast<std::size_t>(column)].width;
}

int ClientListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

qint64 ClientListModel::rowKey(int row) const {
    return rows_[static_cast<std::size_t>(row)].clientIndex;
}

QString ClientListModel::text(int row, int column) const {
    return cellText(rows_[static_cast<std::size_t>(row)], static_cast<ClientColumn>(column));
}

int ClientListModel::compare(int left, int right, int column) const {
    return model::compareClientRows(rows_[static_cast<std::size_t>(left)],
                                    rows_[static_cast<std::size_t>(right)], column);
}

QString ClientListModel::filterText(int row) const {
    const model::ClientRow& r = rows_[static_cast<std::size_t>(row)];
    QStringList texts;
    for (const ClientColumn column :
         {ClientColumn::TypeClass, ClientColumn::Type, ClientColumn::TalkListenName,
          ClientColumn::ListenOnlyName, ClientColumn::LoginName, ClientColumn::Description}) {
        texts << cellText(r, column);
    }
    return texts.join(QLatin1Char('\n'));
}

} // namespace mirx::editors
