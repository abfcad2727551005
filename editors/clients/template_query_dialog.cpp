#include "editors/clients/template_query_dialog.h"

#include "shell/common/shell_context.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::editors {

CClientConfigurationTemplateQueryDlg::CClientConfigurationTemplateQueryDlg(
    shell::ShellContext& context, bool templateKnown, bool mayUnlink, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::ClientConfigurationTemplateQuery, parent) {
    auto* text = new QLabel(tr(kText), this);
    template_ = new QPushButton(tr("Template"), this);
    unlink_ = new QPushButton(tr("Unlink"), this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    template_->setEnabled(templateKnown);
    if (!templateKnown) {
        template_->setToolTip(tr("The template this client follows no longer exists."));
    }
    unlink_->setEnabled(mayUnlink);
    if (!mayUnlink) {
        unlink_->setToolTip(
            shell::privilegeNote(shell::ViewPrivilege::FullAdministrator, context.link));
    }
    cancel_->setDefault(true);

    connect(template_, &QPushButton::clicked, this, &QDialog::accept);
    connect(unlink_, &QPushButton::clicked, this, [this] { done(kUnlinkResult); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(template_);
    buttons->addWidget(unlink_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
    restorePosition();
}

} // namespace mirx::editors
