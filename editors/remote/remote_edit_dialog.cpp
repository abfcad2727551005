#include "editors/remote/remote_edit_dialog.h"

#include "editors/label_posting.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::editors {

CRemoteConfigurationEditDlg::CRemoteConfigurationEditDlg(shell::ShellContext& context,
                                                         int labelNumber, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::RemoteConfigurationEdit, parent)
    , labelNumber_(labelNumber) {
    using L = model::LabelInfo;
    context.mirror.read([&](const model::MirrorData& d) {
        original_ = model::remoteFormOf(d.labels, labelNumber);
        if (const L* label = d.labels.Find(labelNumber)) {
            storedName_ = label->get(L::kTalkListenName);
        }
    });
    const model::RemoteEditLayout layout = model::remoteEditLayout(labelTrunking(context));

    type_ = new QComboBox(this);
    type_->addItem(QString::fromStdString(original_.typeName));
    type_->setCurrentIndex(0);
    type_->setEnabled(false);
    const auto lineEdit = [this](const std::string& text, int limit) {
        auto* edit = new QLineEdit(this);
        edit->setMaxLength(limit);
        edit->setText(QString::fromStdString(text));
        return edit;
    };
    description_ = lineEdit(original_.description, 50);
    name_ = lineEdit(original_.selectorName, 20);
    externalLong_ = lineEdit(original_.externalLong, 20);
    externalShort_ = lineEdit(original_.externalShort, 8);
    latch_ = new QCheckBox(tr("Latch Disable Talk Selector"), this);
    latch_->setChecked(original_.latchDisable);
    offline_ = new QCheckBox(tr("Always Show Selector when Off-line"), this);
    offline_->setChecked(original_.alwaysShowOffline);
    localAdmin_ = new QCheckBox(tr("No Local Assignment By Administrator"), this);
    localAdmin_->setChecked(original_.noLocalAssignmentByAdmin);
    localAdmin_->setEnabled(false);
    localUser_ = new QCheckBox(tr("No Local Assignment By User"), this);
    localUser_->setChecked(original_.noLocalAssignmentByUser);
    localUser_->setEnabled(false);

    auto* form = new QFormLayout;
    form->addRow(tr("Label Type"), type_);
    form->addRow(tr("Label Description"), description_);
    form->addRow(tr("Selector Name:"), name_);
    const auto externalRow = [&](const char* caption, QLineEdit* edit) {
        auto* label = new QLabel(tr(caption), this);
        label->setBuddy(edit);
        form->addRow(label, edit);
        label->setVisible(caption[0] != '\0');
        edit->setVisible(caption[0] != '\0');
    };
    externalRow(layout.externalLongCaption, externalLong_);
    externalRow(layout.externalShortCaption, externalShort_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRemoteConfigurationEditDlg::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* box = new QVBoxLayout(this);
    box->addLayout(form);
    for (QCheckBox* check : {latch_, offline_, localAdmin_, localUser_}) {
        box->addWidget(check);
    }
    box->addWidget(buttons);
    restorePosition();
}

void CRemoteConfigurationEditDlg::save() {
    model::RemoteForm form = original_;
    // The shown name falls back on the external names; an untouched field
    // keeps the stored selector name instead of copying a fallback into it.
    form.selectorName = name_->isModified() ? name_->text().toStdString() : storedName_;
    form.description = description_->text().toStdString();
    form.externalLong = externalLong_->text().toStdString();
    form.externalShort = externalShort_->text().toStdString();
    form.latchDisable = latch_->isChecked();
    form.alwaysShowOffline = offline_->isChecked();
    const auto error = context().mirror.read([&](const model::MirrorData& d) {
        return model::checkRemoteName(d.labels, labelNumber_, form.selectorName);
    });
    if (error) {
        context().prompter.tell(this, tr(model::kValidationErrorCaption), tr(error->c_str()),
                                shell::PromptIcon::Error);
        name_->setFocus();
        return;
    }
    if (!context().link.loggedIn()) {
        return; // the view closes itself
    }
    std::optional<model::LabelInfo> label =
        context().mirror.read([&](const model::MirrorData& d) -> std::optional<model::LabelInfo> {
            const model::LabelInfo* found = d.labels.Find(labelNumber_);
            return found ? std::optional(*found) : std::nullopt;
        });
    if (!label) {
        giveUp(tr("The label is no longer in the configuration."));
        return;
    }
    model::applyRemoteForm(*label, form);
    if (!postLabel(context(), *label)) {
        giveUp(tr("The change could not be sent to the server; nothing was changed."));
        return;
    }
    accept();
}

} // namespace mirx::editors
