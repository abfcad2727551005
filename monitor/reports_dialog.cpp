#include "monitor/reports_dialog.h"

#include "monitor/report_dialogs.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::monitor {

CReportsDlg::CReportsDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::Reports, parent) {
    partyLines_ = new QPushButton(tr("Party Line Membership"), this);
    selectors_ = new QPushButton(tr("Selector Assignments"), this);
    connectionStatus_ = new QPushButton(tr("Connection Status"), this);
    ok_ = new QPushButton(tr("OK"), this);
    connect(partyLines_, &QPushButton::clicked, this,
            [this] { openOver(new CReportPartyLineMembershipDlg(this->context(), this)); });
    connect(selectors_, &QPushButton::clicked, this,
            [this] { openOver(new CReportSelectorAssignmentsDlg(this->context(), this)); });
    connect(connectionStatus_, &QPushButton::clicked, this,
            [this] { openOver(new CReportConnectionStatusDlg(this->context(), this)); });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    for (QPushButton* button : {partyLines_, selectors_, connectionStatus_}) {
        layout->addWidget(button);
    }
    layout->addSpacing(12);
    layout->addWidget(ok_);
    restorePosition();
}

void CReportsDlg::openOver(QDialog* report) {
    report->setAttribute(Qt::WA_DeleteOnClose);
    report_ = report;
    report->open();
}

void CReportsDlg::closing(int) {
    if (report_ != nullptr) {
        report_->reject();
    }
}

} // namespace mirx::monitor
