#include "monitor/client_statistics_dialog.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "monitor/list_export.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"
#include "shell/common/window_title.h"

#include <functional>
#include <string_view>

#include <QBrush>
#include <QCheckBox>
#include <QColor>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::monitor {
namespace {

using reports::StatisticsColumn;

constexpr int kClientColumn = static_cast<int>(StatisticsColumn::Client);
constexpr int kBatteryColumn = static_cast<int>(StatisticsColumn::Battery);
// Room for the cell's margins beside the widest name.
constexpr int kCellPadding = 12;

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ClientStatisticsModel::ClientStatisticsModel(bool debugColumns, QObject* parent)
    : RecordListModel(columns_, parent)
    , specs_(reports::statisticsColumns(debugColumns)) {
    for (std::size_t i = 0; i < specs_.size(); ++i) {
        columns_[i] = {specs_[i].title, specs_[i].width};
    }
}

void ClientStatisticsModel::setRows(std::vector<reports::StatisticsRow> rows) {
    const bool sameClients =
        rows.size() == rows_.size() &&
        std::equal(rows.begin(), rows.end(), rows_.begin(),
                   [](const auto& a, const auto& b) { return a.clientIndex == b.clientIndex; });
    if (!sameClients) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    rows_ = std::move(rows);
    if (!rows_.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

int ClientStatisticsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

qint64 ClientStatisticsModel::rowKey(int row) const {
    return rows_[static_cast<std::size_t>(row)].clientIndex;
}

QString ClientStatisticsModel::text(int row, int column) const {
    return fromUtf8(rows_[static_cast<std::size_t>(row)].cell(static_cast<std::size_t>(column)));
}

int ClientStatisticsModel::compare(int left, int right, int column) const {
    return reports::compareStatisticsRows(rows_[static_cast<std::size_t>(left)],
                                          rows_[static_cast<std::size_t>(right)], column);
}

QVariant ClientStatisticsModel::cellData(int row, int, int role) const {
    if (role != Qt::ForegroundRole) {
        return {};
    }
    const auto colour = reports::severityColour(rows_[static_cast<std::size_t>(row)].severity);
    if (!colour) {
        return {};
    }
    return QBrush(QColor(colour->red, colour->green, colour->blue));
}

CClientStatisticsDlg::CClientStatisticsDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::ClientStatistics, parent)
    , answers_(context.mirror.flags().statistics) {

    model_ = new ClientStatisticsModel(context.debugControls, this);
    list_ = new shell::RecordListView(model_, this);
    QTableView* table = list_->table();
    table->setAccessibleName(tr("Client Statistics"));
    for (int column = reports::kFirstDebugColumn;
         column < static_cast<int>(reports::kStatisticsColumnCount); ++column) {
        table->setColumnHidden(column, !context.debugControls);
    }
    // Opens at width 0: hidden until a battery percentage is shown.
    table->setColumnHidden(kBatteryColumn, true);
    table->sortByColumn(static_cast<int>(StatisticsColumn::TypeShort), Qt::AscendingOrder);
    connect(list_, &shell::RecordListView::activated, this,
            [this](qint64 key) { rowActivated(key); });

    unused_ = new QCheckBox(tr("Show Unused Clients"), this);
    controlPanels_ = new QCheckBox(tr("Show Control Panels"), this);
    deviceInterfaces_ = new QCheckBox(tr("Show Device Interfaces"), this);
    sipDevices_ = new QCheckBox(tr("Show SIP Devices"), this);
    controlPanels_->setChecked(true);
    deviceInterfaces_->setChecked(true);
    sipDevices_->setChecked(true);

    reset_ = new QPushButton(tr("Reset Statistics"), this);
    legend_ = new QPushButton(tr("Column Legend..."), this);
    close_ = new QPushButton(tr("Close"), this);
    export_ = new ListExport(list_, context, QStringLiteral("client-statistics.csv"), this);
    export_->setExportTitle(static_cast<int>(StatisticsColumn::TypeShort),
                            QString::fromLatin1(reports::kTypeExportHeader));
    connect(reset_, &QPushButton::clicked, this, [this] { resetStatistics(); });
    connect(legend_, &QPushButton::clicked, this, [this] { showLegend(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);

    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box : {unused_, controlPanels_, deviceInterfaces_, sipDevices_}) {
        boxes->addWidget(box);
    }
    boxes->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset_);
    buttons->addWidget(legend_);
    buttons->addWidget(export_->copyButton());
    buttons->addWidget(export_->saveButton());
    buttons->addStretch();
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(boxes);
    layout->addLayout(buttons);

    resize(900, 480);
    restorePosition();

    viewTimer(kPollMs, [this] { pollTick(); });
    viewTimer(kRequestSpacingMs, [this] { spacingTick(); });
}

CClientStatisticsDlg::~CClientStatisticsDlg() = default;

void CClientStatisticsDlg::pollTick() {
    if (poll_ == Poll::Idle) {
        answers_.catchUp();
        const auto request = model::encodeStatisticsRequest();
        if (context().link.requestQueue().PostCopy(msg::ADMIN_CLIENT_STATISTICS_REQUEST, 0,
                                                   request.data(), request.size())) {
            poll_ = Poll::Waiting;
        }
    } else if (poll_ == Poll::Waiting && answers_.take()) {
        refresh();
        poll_ = Poll::Shown;
    }
}

void CClientStatisticsDlg::spacingTick() {
    if (poll_ == Poll::Shown) {
        poll_ = Poll::Idle;
    }
}

void CClientStatisticsDlg::refresh() {
    const reports::StatisticsFilter filter{unused_->isChecked(), controlPanels_->isChecked(),
                                           deviceInterfaces_->isChecked(),
                                           sipDevices_->isChecked()};
    const bool debug = context().debugControls;
    auto rows = context().mirror.read([&](const model::MirrorData& d) {
        return reports::refreshStatistics(d.labels, d.statistics, history_, filter, debug);
    });
    const bool battery =
        std::any_of(rows.begin(), rows.end(), [](const auto& r) { return r.showsBatteryPercent; });
    model_->setRows(std::move(rows));
    QTableView* table = list_->table();
    if (battery && table->isColumnHidden(kBatteryColumn)) {
        table->setColumnHidden(kBatteryColumn, false);
        table->horizontalHeader()->resizeSection(kBatteryColumn, reports::kBatteryShownWidth);
    }
    fitClientColumn();
    ++refreshes_;
}

void CClientStatisticsDlg::fitClientColumn() {
    // Measuring a thousand names each second costs more than the rest of
    // the refresh: measure again only when the names changed.
    std::size_t hash = model_->rows().size();
    for (const auto& row : model_->rows()) {
        hash = hash * 31 + std::hash<std::string_view>{}(row.cell(StatisticsColumn::Client));
    }
    if (hash == clientNamesHash_ && refreshes_ > 0) {
        return;
    }
    clientNamesHash_ = hash;
    const QFontMetrics metrics(list_->table()->font());
    int widest =
        metrics.horizontalAdvance(model_->headerData(kClientColumn, Qt::Horizontal).toString());
    for (const auto& row : model_->rows()) {
        widest = std::max(widest,
                          metrics.horizontalAdvance(fromUtf8(row.cell(StatisticsColumn::Client))));
    }
    list_->table()->horizontalHeader()->resizeSection(kClientColumn, widest + kCellPadding);
}

void CClientStatisticsDlg::resetStatistics() {
    const qint64 selected = list_->selectedKey();
    std::int16_t index = model::kResetAllClients;
    if (selected != shell::RecordListModel::kNoKey) {
        index = static_cast<std::int16_t>(selected);
    } else if (!context().prompter.ask(this,
                                       tr(reports::kResetAllCaptionFormat)
                                           .arg(QString::fromLatin1(shell::kProductWord)),
                                       tr(reports::kResetAllQuestion))) {
        return;
    }
    const auto payload = model::encodeStatisticsReset(index);
    context().link.requestQueue().PostCopy(msg::ADMIN_CLIENT_STATISTICS_RESET, 0, payload.data(),
                                           payload.size());
    if (index == model::kResetAllClients) {
        history_.clearAll();
    } else {
        history_.clear(index);
    }
}

void CClientStatisticsDlg::showLegend() {
    context().prompter.tell(this, tr(reports::kLegendCaption),
                            QString::fromLatin1(reports::kStatisticsLegend),
                            shell::PromptIcon::Information);
}

void CClientStatisticsDlg::rowActivated(qint64 key) {
    // Activating the chosen row again lets go of it, so "Reset Statistics"
    // can reach every client again.
    if (key == activatedKey_) {
        list_->table()->clearSelection();
        activatedKey_ = shell::RecordListModel::kNoKey;
    } else {
        activatedKey_ = key;
    }
}

} // namespace mirx::monitor
