#include "monitor/sip_registrations_dialog.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "model/system_status.h"
#include "monitor/list_export.h"
#include "shell/common/shell_context.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::monitor {

SipRegistrationsModel::SipRegistrationsModel(QObject* parent)
    : RecordListModel(columns_, parent) {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        columns_[i] = {reports::kSipColumns[i].title, reports::kSipColumns[i].width};
    }
}

void SipRegistrationsModel::setRows(std::vector<reports::SipRow> rows) {
    const int before = rowCount();
    const int after = static_cast<int>(rows.size());
    if (after < before) {
        beginRemoveRows({}, after, before - 1);
        rows_.resize(rows.size());
        endRemoveRows();
    }
    const int kept = std::min(before, after);
    for (int row = 0; row < kept; ++row) {
        rows_[static_cast<std::size_t>(row)] = std::move(rows[static_cast<std::size_t>(row)]);
    }
    if (kept > 0) {
        emit dataChanged(index(0, 0), index(kept - 1, columnCount() - 1));
    }
    if (after > before) {
        beginInsertRows({}, before, after - 1);
        for (int row = before; row < after; ++row) {
            rows_.push_back(std::move(rows[static_cast<std::size_t>(row)]));
        }
        endInsertRows();
    }
}

int SipRegistrationsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

qint64 SipRegistrationsModel::rowKey(int row) const {
    return row;
}

QString SipRegistrationsModel::text(int row, int column) const {
    const std::string& cell =
        rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    return QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size()));
}

int SipRegistrationsModel::compare(int left, int right, int column) const {
    const int result = reports::compareSipRows(rows_[static_cast<std::size_t>(left)],
                                               rows_[static_cast<std::size_t>(right)], column);
    return result != 0 ? result : left - right;
}

CSipRegistrationsDlg::CSipRegistrationsDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::SipRegistrations, parent) {
    context.mirror.flags().sipRegistrations.take();

    model_ = new SipRegistrationsModel(this);
    list_ = new shell::RecordListView(model_, this);
    list_->table()->setAccessibleName(tr("SIP Registrations"));
    externalOnly_ = new QCheckBox(tr("Show only external SIP Registrations"), this);
    externalOnly_->setChecked(true);
    close_ = new QPushButton(tr("Close"), this);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    export_ = new ListExport(list_, context, QStringLiteral("sip-registrations.csv"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(externalOnly_);
    buttons->addStretch();
    buttons->addWidget(export_->copyButton());
    buttons->addWidget(export_->saveButton());
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    resize(800, 360);
    restorePosition();

    viewTimer(kPollMs, [this] { pollTick(); });
    viewTimer(kRequestSpacingMs, [this] {
        if (poll_ == Poll::Shown) {
            poll_ = Poll::Idle;
        }
    });
}

CSipRegistrationsDlg::~CSipRegistrationsDlg() = default;

void CSipRegistrationsDlg::pollTick() {
    if (poll_ == Poll::Idle) {
        const auto request = model::encodeSipRegistrationsRequest();
        if (context().link.requestQueue().PostCopy(msg::ADMIN_SIP_REGISTRATIONS_REQUEST, 0,
                                                   request.data(), request.size())) {
            poll_ = Poll::Waiting;
        }
    } else if (poll_ == Poll::Waiting && context().mirror.flags().sipRegistrations.take()) {
        refresh();
        poll_ = Poll::Shown;
    }
}

void CSipRegistrationsDlg::refresh() {
    const std::string server = reports::serverContactText(
        context().link.systemSettings(),
        context().link.status().get(model::SystemStatus::kFailoverState));
    const bool externalOnly = externalOnly_->isChecked();
    auto rows = context().mirror.read([&](const model::MirrorData& d) {
        return reports::sipRegistrationRows(d.sipRegistrations, externalOnly, server);
    });
    model_->setRows(std::move(rows));
    ++refreshes_;
}

} // namespace mirx::monitor
