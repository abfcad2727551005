#pragma once

#include "model/client_list.h"
#include "shell/common/record_list.h"

#include <array>
#include <vector>

namespace mirx::editors {

// The client list's rows, keyed by client index, sorted by the list's one
// compare function. Cell texts come whole from model::buildClientRow.
class ClientListModel final : public shell::RecordListModel {
    Q_OBJECT
public:
    explicit ClientListModel(bool rtsTrunking, QObject* parent = nullptr);

    void setRows(std::vector<model::ClientRow> rows);
    // Refills the client's row, or adds it when the list has none.
    void putRow(model::ClientRow row);
    void removeClient(int clientIndex);
    // -1 when the client has no row.
    int rowOf(int clientIndex) const;
    const std::vector<model::ClientRow>& rows() const { return rows_; }

    // Every column's width for the rows held now (hidden columns a row
    // needs are revealed).
    std::array<int, model::kClientColumnCount> columnWidths() const;
    // Initial width of each column; 0 for a column hidden until needed.
    int initialWidth(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    qint64 rowKey(int row) const override;
    QString text(int row, int column) const override;
    int compare(int left, int right, int column) const override;
    // Names, login name, type and description: never the password.
    QString filterText(int row) const override;

private:
    std::array<model::ClientColumnSpec, model::kClientColumnCount> specs_;
    std::vector<model::ClientRow> rows_;
};

} // namespace mirx::editors
