#pragma once

#include "model/mirror.h"
#include "reports/client_statistics.h"
#include "shell/common/record_list.h"
#include "shell/common/view_dialog.h"

#include <cstddef>
#include <vector>

class QCheckBox;
class QPushButton;

namespace mirx::monitor {

class ListExport;

// The shown clients, one row each, keyed by client index.
class ClientStatisticsModel final : public shell::RecordListModel {
    Q_OBJECT
public:
    explicit ClientStatisticsModel(bool debugColumns, QObject* parent = nullptr);

    // Rows whose clients are the same as before are rewritten in place
    // (the list keeps its scroll place and selection); otherwise the list
    // is rebuilt.
    void setRows(std::vector<reports::StatisticsRow> rows);
    const std::vector<reports::StatisticsRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    qint64 rowKey(int row) const override;
    QString text(int row, int column) const override;
    int compare(int left, int right, int column) const override;
    // The row's text colour follows its severity.
    QVariant cellData(int row, int column, int role) const override;

private:
    std::array<reports::StatisticsColumnSpec, reports::kStatisticsColumnCount> specs_;
    std::array<shell::ListColumn, reports::kStatisticsColumnCount> columns_;
    std::vector<reports::StatisticsRow> rows_;
};

// "Client Statistics": every client's connection state, disconnects, audio
// rates, packet loss and jitter, processor load, battery, address and
// version, asked of the server at most once a second. Modeless, one at a
// time.
class CClientStatisticsDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    static constexpr int kPollMs = 50;
    static constexpr int kRequestSpacingMs = 1000;

    explicit CClientStatisticsDlg(shell::ShellContext& context, QWidget* parent = nullptr);
    ~CClientStatisticsDlg() override;

    shell::RecordListView* list() const { return list_; }
    ClientStatisticsModel* model() const { return model_; }
    QCheckBox* unusedBox() const { return unused_; }
    QCheckBox* controlPanelsBox() const { return controlPanels_; }
    QCheckBox* deviceInterfacesBox() const { return deviceInterfaces_; }
    QCheckBox* sipDevicesBox() const { return sipDevices_; }
    QPushButton* resetButton() const { return reset_; }
    QPushButton* legendButton() const { return legend_; }
    QPushButton* closeButton() const { return close_; }
    ListExport* exporter() const { return export_; }
    // Refreshes the list has shown since the view opened.
    std::size_t refreshCount() const { return refreshes_; }

private:
    enum class Poll { Idle, Waiting, Shown };

    void pollTick();
    void spacingTick();
    void refresh();
    void fitClientColumn();
    void resetStatistics();
    void showLegend();
    void rowActivated(qint64 key);

    reports::StatisticsHistory history_;
    Poll poll_ = Poll::Idle;
    model::ChangeCursor answers_;
    std::size_t refreshes_ = 0;
    std::size_t clientNamesHash_ = 0;
    qint64 activatedKey_ = shell::RecordListModel::kNoKey;
    ClientStatisticsModel* model_ = nullptr;
    shell::RecordListView* list_ = nullptr;
    ListExport* export_ = nullptr;
    QCheckBox* unused_ = nullptr;
    QCheckBox* controlPanels_ = nullptr;
    QCheckBox* deviceInterfaces_ = nullptr;
    QCheckBox* sipDevices_ = nullptr;
    QPushButton* reset_ = nullptr;
    QPushButton* legend_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace mirx::monitor
