#include "editors/groups/group_edit_dialog.h"

#include "editors/label_posting.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/shell_context.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using model::LabelKind;

QColor colourOf(std::uint32_t value) {
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

std::uint32_t valueOf(const QColor& colour) {
    return model::rgb(static_cast<std::uint8_t>(colour.red()),
                      static_cast<std::uint8_t>(colour.green()),
                      static_cast<std::uint8_t>(colour.blue()));
}

} // namespace

CGroupConfigurationEditDlg::CGroupConfigurationEditDlg(shell::ShellContext& context,
                                                       int labelNumber, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::GroupConfigurationEdit, parent)
    , labelNumber_(labelNumber) {
    const bool adding = labelNumber == model::kNoLabel;
    if (!adding) {
        original_ = context.mirror.read(
            [&](const model::MirrorData& d) { return model::groupFormOf(d.labels, labelNumber); });
    }
    const model::GroupEditLayout layout = model::groupEditLayout(labelTrunking(context));

    type_ = new QComboBox(this);
    type_->addItem(tr("Party Line"), static_cast<int>(LabelKind::PartyLine));
    type_->addItem(tr("Fixed Group"), static_cast<int>(LabelKind::FixedGroup));
    type_->setCurrentIndex(original_.kind == static_cast<int>(LabelKind::FixedGroup) ? 1 : 0);
    type_->setEnabled(adding);

    const auto lineEdit = [this](const std::string& text, int limit) {
        auto* edit = new QLineEdit(this);
        edit->setMaxLength(limit);
        edit->setText(QString::fromStdString(text));
        return edit;
    };
    description_ = lineEdit(original_.description, 50);
    name_ = lineEdit(original_.talkListenName, 20);
    externalLong_ = lineEdit(original_.externalLong, layout.externalLongLimit);
    externalShort_ = lineEdit(original_.externalShort, layout.externalShortLimit);
    latch_ = new QCheckBox(tr("Latch Disabled"), this);
    latch_->setChecked(original_.latchDisable);
    const char* const restrictionTexts[] = {QT_TR_NOOP("No Local Assignment By Administrator"),
                                            QT_TR_NOOP("No Local Assignment By User"),
                                            QT_TR_NOOP("No Remote Assignment By Administrator"),
                                            QT_TR_NOOP("No Remote Assignment By User")};
    for (std::size_t bit = 0; bit < restrictions_.size(); ++bit) {
        restrictions_[bit] = new QCheckBox(tr(restrictionTexts[bit]), this);
        restrictions_[bit]->setChecked(original_.restrictions[bit]);
        restrictions_[bit]->setVisible(bit < 2 || layout.remoteRestrictions);
    }

    auto* form = new QFormLayout;
    form->addRow(tr("Group Type"), type_);
    form->addRow(tr("Group Description"), description_);
    form->addRow(tr("Selector Name"), name_);
    const auto externalRow = [&](const char* caption, QLineEdit* edit) {
        auto* label = new QLabel(tr(caption), this);
        label->setBuddy(edit);
        form->addRow(label, edit);
        label->setVisible(caption[0] != '\0');
        edit->setVisible(caption[0] != '\0');
    };
    externalRow(layout.externalLongCaption, externalLong_);
    externalRow(layout.externalShortCaption, externalShort_);

    auto* options = new QVBoxLayout;
    options->addWidget(latch_);
    for (QCheckBox* box : restrictions_) {
        options->addWidget(box);
    }

    // Colours belong to existing party lines only.
    textColour_ = new QPushButton(tr("Text"), this);
    backgroundColour_ = new QPushButton(tr("Background"), this);
    sample_ = new QLabel(tr("Sample"), this);
    sample_->setAlignment(Qt::AlignCenter);
    sample_->setAutoFillBackground(true);
    sample_->setMinimumWidth(80);
    auto* colours = new QGroupBox(tr("Selector Colour"), this);
    auto* colourRow = new QHBoxLayout(colours);
    colourRow->addWidget(textColour_);
    colourRow->addWidget(backgroundColour_);
    colourRow->addWidget(sample_, 1);
    colours->setVisible(!adding && original_.kind == static_cast<int>(LabelKind::PartyLine));
    textColourValue_ = original_.textColour;
    backgroundColourValue_ = original_.backgroundColour;
    paintSample();
    connect(textColour_, &QPushButton::clicked, this, [this] { pickColour(true); });
    connect(backgroundColour_, &QPushButton::clicked, this, [this] { pickColour(false); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGroupConfigurationEditDlg::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layoutBox = new QVBoxLayout(this);
    layoutBox->addLayout(form);
    layoutBox->addLayout(options);
    layoutBox->addWidget(colours);
    layoutBox->addWidget(buttons);
    restorePosition();
}

void CGroupConfigurationEditDlg::setColours(std::uint32_t text, std::uint32_t background) {
    textColourValue_ = text;
    backgroundColourValue_ = background;
    paintSample();
}

void CGroupConfigurationEditDlg::pickColour(bool text) {
    auto* picker =
        new QColorDialog(colourOf(text ? textColourValue_ : backgroundColourValue_), this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(picker, &QColorDialog::colorSelected, this, [this, text](const QColor& colour) {
        if (text) {
            setColours(valueOf(colour), backgroundColourValue_);
        } else {
            setColours(textColourValue_, valueOf(colour));
        }
    });
    picker->open();
}

void CGroupConfigurationEditDlg::paintSample() {
    QPalette palette = sample_->palette();
    palette.setColor(QPalette::WindowText, colourOf(textColourValue_));
    palette.setColor(QPalette::Window, colourOf(backgroundColourValue_));
    sample_->setPalette(palette);
    // Hidden, not removed, so the row keeps its place.
    QSizePolicy policy = sample_->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    sample_->setSizePolicy(policy);
    sample_->setVisible(model::showsColourSample(textColourValue_, backgroundColourValue_));
}

model::GroupForm CGroupConfigurationEditDlg::typedForm() const {
    model::GroupForm form;
    form.kind = type_->currentData().toInt();
    form.description = description_->text().toStdString();
    form.talkListenName = name_->text().toStdString();
    // A field the administrator did not touch keeps its stored text, even
    // where the field's limit is shorter (RTS trunking).
    form.externalLong =
        externalLong_->isModified() ? externalLong_->text().toStdString() : original_.externalLong;
    form.externalShort = externalShort_->isModified() ? externalShort_->text().toStdString()
                                                      : original_.externalShort;
    form.latchDisable = latch_->isChecked();
    for (std::size_t bit = 0; bit < restrictions_.size(); ++bit) {
        form.restrictions[bit] = restrictions_[bit]->isChecked();
    }
    form.textColour = textColourValue_;
    form.backgroundColour = backgroundColourValue_;
    return form;
}

void CGroupConfigurationEditDlg::save() {
    const model::GroupForm form = typedForm();
    const model::GroupNameCheck check = context().mirror.read([&](const model::MirrorData& d) {
        return model::checkGroupName(d.labels, labelNumber_, form.talkListenName);
    });
    if (check.remoteWarning) {
        context().prompter.tell(this, tr("Warning"), tr(model::kRemoteNameExists),
                                shell::PromptIcon::Warning);
    }
    if (check.error) {
        context().prompter.tell(this, tr(model::kValidationErrorCaption), tr(check.error->c_str()),
                                shell::PromptIcon::Error);
        name_->setFocus();
        return;
    }
    if (!context().link.loggedIn()) {
        return; // the view closes itself
    }
    const bool adding = labelNumber_ == model::kNoLabel;
    std::optional<model::LabelInfo> label;
    int created = model::kNoLabel;
    context().mirror.edit([&](model::MirrorData& d) {
        if (adding) {
            created = d.labels.Create(form.kind);
        }
        if (const model::LabelInfo* found = d.labels.Find(adding ? created : labelNumber_)) {
            label = *found;
        }
    });
    if (!label) {
        if (adding) {
            context().prompter.tell(this, tr(model::kGroupAddFailedCaption),
                                    tr(model::kGroupAddFailed), shell::PromptIcon::Error);
        } else {
            giveUp(tr("The group is no longer in the configuration."));
        }
        return;
    }
    model::applyGroupForm(*label, form);
    if (!postLabel(context(), *label)) {
        if (adding) {
            context().mirror.edit([&](model::MirrorData& d) { d.labels.Delete(created); });
        }
        giveUp(tr("The change could not be sent to the server; nothing was changed."));
        return;
    }
    if (adding) {
        labelNumber_ = created;
    }
    accept();
}

} // namespace mirx::editors
