#include "editors/settings/ui_settings_dialog.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "shell/common/chooser.h"
#include "shell/common/colour_sample.h"
#include "shell/common/prompter.h"
#include "shell/common/scrolled_content.h"
#include "shell/common/shell_context.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using model::kUiColourRows;
using U = model::UserInterfaceSettings;

constexpr QSize kPreviewSize{120, 40};

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString joined(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& name : names) {
        list << QString::fromStdString(name);
    }
    return list.join(QStringLiteral(", "));
}

} // namespace

CUserInterfaceSettingsDlg::CUserInterfaceSettingsDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::UserInterfaceSettings, parent) {
    content_ = new QWidget;
    auto* column = new QVBoxLayout(content_);
    column->addWidget(buildColours());
    auto* schemeRow = new QHBoxLayout;
    auto* schemeLabel = new QLabel(tr("Pre-configured Color Schemes"));
    schemes_ = new QComboBox;
    for (const std::string_view entry : model::colourSchemeEntries()) {
        schemes_->addItem(qs(entry));
    }
    schemeLabel->setBuddy(schemes_);
    schemeRow->addWidget(schemeLabel);
    schemeRow->addWidget(schemes_, 1);
    column->addLayout(schemeRow);
    column->addWidget(buildGraphics());
    column->addWidget(buildSpacing());
    column->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    okButton_ = buttons->button(QDialogButtonBox::Ok);
    okButton_->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CUserInterfaceSettingsDlg::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(shell::scrolledContent(content_));
    outer->addWidget(buttons);
    shell::sizeToContent(*this, *content_);

    const U record =
        context.mirror.read([](const model::MirrorData& d) { return d.userInterfaceSettings; });
    const model::UiSettingsForm form = model::showUiSettings(record);
    colours_ = form.colours;
    vertical_->setText(QString::fromStdString(form.verticalSpacing));
    horizontal_->setText(QString::fromStdString(form.horizontalSpacing));
    recordNames_ = form.graphics;
    fillGraphicsLists({});
    showColours();
    applyEnabling();
    connect(schemes_, &QComboBox::currentIndexChanged, this,
            &CUserInterfaceSettingsDlg::chooseScheme);

    context.mirror.flags().graphicFiles.take();
    listsBefore_ =
        context.mirror.read([](const model::MirrorData& d) { return d.graphicFileLists; });
    context.link.requestQueue().PostCopy(msg::ADMIN_USER_INTERFACE_INFO_REQUEST, 0xFFFF, nullptr,
                                         0);
    listRequests_ = 1;
    fileListTimer_ = viewTimer(kFileListPollMs, [this] { pollFileList(); });
    restorePosition();
}

QWidget* CUserInterfaceSettingsDlg::buildColours() {
    auto* box = new QGroupBox(tr("Colors"));
    auto* grid = new QGridLayout(box);
    for (std::size_t r = 0; r < kUiColourRows.size(); ++r) {
        const model::UiColourRow& row = kUiColourRows[r];
        const QString caption = qs(row.caption);
        const int line = static_cast<int>(r);
        grid->addWidget(new QLabel(caption), line, 0);
        ColourRowWidgets& widgets = rows_[r];
        if (row.textColour != model::kNoColour) {
            widgets.text = new QPushButton(tr("Text"));
            widgets.text->setAccessibleName(caption + QStringLiteral(" ") + tr("Text"));
            connect(widgets.text, &QPushButton::clicked, this,
                    [this, colour = row.textColour] { chooseColour(colour); });
            grid->addWidget(widgets.text, line, 1);
        }
        widgets.background = new QPushButton(tr("Background"));
        widgets.background->setAccessibleName(caption + QStringLiteral(" ") + tr("Background"));
        connect(widgets.background, &QPushButton::clicked, this,
                [this, colour = row.backgroundColour] { chooseColour(colour); });
        grid->addWidget(widgets.background, line, 2);
        widgets.sample =
            new shell::ColourSample(row.word.empty() ? QString() : tr(row.word.data()));
        widgets.sample->setAccessibleName(caption + QStringLiteral(" ") + tr("Sample"));
        grid->addWidget(widgets.sample, line, 3);
        if (row.hasTransparent) {
            widgets.transparent = new QPushButton(tr("Transparent"));
            widgets.transparent->setAccessibleName(caption + QStringLiteral(" ") +
                                                   tr("Transparent"));
            connect(widgets.transparent, &QPushButton::clicked, this,
                    [this, colour = row.backgroundColour] { makeTransparent(colour); });
            grid->addWidget(widgets.transparent, line, 4);
        }
    }
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* CUserInterfaceSettingsDlg::buildGraphics() {
    auto* box = new QGroupBox(tr("Graphics Files"));
    auto* grid = new QGridLayout(box);
    for (std::size_t slot = 0; slot < model::kGraphicSlots; ++slot) {
        const int line = static_cast<int>(slot);
        auto* label = new QLabel(qs(model::kGraphicSlotInfo[slot].caption));
        graphics_[slot] = new QComboBox;
        graphics_[slot]->setMinimumContentsLength(static_cast<int>(model::kServerFileNameMaxChars));
        label->setBuddy(graphics_[slot]);
        browse_[slot] = new QPushButton(QStringLiteral("..."));
        browse_[slot]->setAccessibleName(label->text() + QStringLiteral(" ..."));
        previews_[slot] = new QLabel;
        previews_[slot]->setFixedSize(kPreviewSize);
        previews_[slot]->setAlignment(Qt::AlignCenter);
        connect(browse_[slot], &QPushButton::clicked, this, [this, slot] { chooseFile(slot); });
        grid->addWidget(label, line, 0);
        grid->addWidget(graphics_[slot], line, 1);
        grid->addWidget(browse_[slot], line, 2);
        grid->addWidget(previews_[slot], line, 3);
    }
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* CUserInterfaceSettingsDlg::buildSpacing() {
    auto* box = new QGroupBox(tr("Selector Spacing"));
    auto* row = new QHBoxLayout(box);
    vertical_ = new QLineEdit;
    horizontal_ = new QLineEdit;
    for (auto [edit, caption] : {std::pair{vertical_, tr("Vertical Spacing")},
                                 std::pair{horizontal_, tr("Horizontal Spacing")}}) {
        auto* label = new QLabel(caption);
        label->setBuddy(edit);
        edit->setMaxLength(6);
        row->addWidget(label);
        row->addWidget(edit);
        // Typed spacings are no longer the scheme's.
        connect(edit, &QLineEdit::textEdited, this, [this] { schemes_->setCurrentIndex(0); });
    }
    return box;
}

void CUserInterfaceSettingsDlg::showColours() {
    for (std::size_t r = 0; r < kUiColourRows.size(); ++r) {
        const model::UiColourRow& row = kUiColourRows[r];
        const std::uint32_t background = colours_[static_cast<std::size_t>(row.backgroundColour)];
        const std::uint32_t text = row.textColour == model::kNoColour
                                       ? 0
                                       : colours_[static_cast<std::size_t>(row.textColour)];
        std::optional<QColor> fill;
        if (!model::isTransparent(background)) {
            fill = shell::recordColour(background);
        }
        rows_[r].sample->setColours(fill, shell::recordColour(text));
    }
}

void CUserInterfaceSettingsDlg::applyEnabling() {
    const model::UiEnabling enabling = model::uiEnabling(colours_);
    for (std::size_t slot = 0; slot < model::kGraphicSlots; ++slot) {
        graphics_[slot]->setEnabled(enabling.graphics[slot]);
        browse_[slot]->setEnabled(enabling.graphics[slot]);
    }
    for (std::size_t r = 0; r < kUiColourRows.size(); ++r) {
        if (rows_[r].transparent != nullptr) {
            rows_[r].transparent->setEnabled(enabling.transparent[r]);
        }
    }
}

void CUserInterfaceSettingsDlg::colourChanged() {
    showColours();
    schemes_->setCurrentIndex(0);
    applyEnabling();
}

void CUserInterfaceSettingsDlg::chooseScheme(int entry) {
    const model::ColourScheme* scheme = model::colourSchemeAt(static_cast<std::size_t>(entry));
    if (scheme == nullptr) {
        return;
    }
    colours_ = scheme->colours;
    vertical_->setText(QString::number(scheme->verticalSpacing));
    horizontal_->setText(QString::number(scheme->horizontalSpacing));
    showColours();
    applyEnabling();
}

void CUserInterfaceSettingsDlg::chooseColour(int colour) {
    std::uint32_t& value = colours_[static_cast<std::size_t>(colour)];
    if (const auto chosen = shell::chooseRecordColour(shell::chooserOf(context()), this, value)) {
        value = *chosen;
        colourChanged();
    }
}

void CUserInterfaceSettingsDlg::makeTransparent(int colour) {
    colours_[static_cast<std::size_t>(colour)] = 0;
    colourChanged();
}

void CUserInterfaceSettingsDlg::chooseFile(std::size_t slot) {
    const QString path = shell::chooserOf(context()).chooseFileToOpen(
        this, tr("Open"), tr("Graphic Files (*.PNG *.png)"));
    if (path.isEmpty()) {
        return;
    }
    const model::LocalGraphicFile file = model::readGraphicFile(path.toStdString());
    const QString caption = tr(model::kGraphicMessageCaption);
    if (!file.usable()) {
        context().prompter.tell(this, caption, QString::fromStdString(file.error),
                                shell::PromptIcon::Error);
        return;
    }
    QPixmap picture;
    if (!picture.loadFromData(file.bytes.data(), static_cast<uint>(file.bytes.size()), "PNG")) {
        context().prompter.tell(
            this, caption,
            tr("The file \"%1\" is not a PNG graphic file!").arg(QString::fromStdString(file.name)),
            shell::PromptIcon::Error);
        return;
    }
    const QString name = QString::fromStdString(file.name);
    QComboBox* list = graphics_[slot];
    if (const int existing = list->findText(name); existing >= 0) {
        list->removeItem(existing);
    }
    list->insertItem(0, name);
    list->setCurrentIndex(0);
    picked_[slot] = path;
    pickedNames_[slot] = file.name;
    previews_[slot]->setPixmap(
        picture.scaled(kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    previews_[slot]->setToolTip(QFileInfo(path).absoluteFilePath());
}

void CUserInterfaceSettingsDlg::fillGraphicsLists(const std::vector<std::string>& names) {
    for (std::size_t slot = 0; slot < model::kGraphicSlots; ++slot) {
        QComboBox* list = graphics_[slot];
        const QString shown = list->currentText();
        list->clear();
        for (const std::string& name : names) {
            list->addItem(QString::fromStdString(name));
        }
        // A name the server does not list is still the record's (or the
        // file picked for upload): it stays selectable so OK keeps it.
        const QString wanted = picked_[slot] && shown == QString::fromStdString(pickedNames_[slot])
                                   ? shown
                                   : QString::fromStdString(recordNames_[slot]);
        if (wanted.isEmpty()) {
            list->setCurrentIndex(-1);
            continue;
        }
        if (list->findText(wanted) < 0) {
            list->insertItem(0, wanted);
        }
        list->setCurrentIndex(list->findText(wanted));
    }
}

void CUserInterfaceSettingsDlg::pollFileList() {
    const bool arrived = context().mirror.flags().graphicFiles.take();
    if (!pending_) {
        if (arrived) {
            fileListArrived_ = true;
            fileListTimer_->stop();
            fillGraphicsLists(context().mirror.read(
                [](const model::MirrorData& d) { return d.graphicFiles.names; }));
        }
        return;
    }
    const auto [list, count] = context().mirror.read([](const model::MirrorData& d) {
        return std::pair{d.graphicFiles, d.graphicFileLists};
    });
    if (count < pending_->answeredAt) {
        pending_->waitedMs += kFileListPollMs;
        if (pending_->waitedMs >= uploadTimeoutMs_) {
            uploadsNotDone(
                tr("the server did not confirm it within %1 seconds").arg(uploadTimeoutMs_ / 1000));
        }
        return;
    }
    if (!fileListArrived_) {
        fileListArrived_ = true;
        fillGraphicsLists(list.names);
    }
    const std::vector<std::string> missing = model::namesMissingFrom(pending_->names, list);
    if (!missing.empty()) {
        uploadsNotDone(tr("the server did not keep %1").arg(joined(missing)));
        return;
    }
    const U record = pending_->record;
    pending_.reset();
    fileListTimer_->stop();
    sendRecord(record);
}

void CUserInterfaceSettingsDlg::ok() {
    shell::ShellContext& ctx = context();
    model::UiSettingsForm form;
    form.colours = colours_;
    form.verticalSpacing = vertical_->text().toStdString();
    form.horizontalSpacing = horizontal_->text().toStdString();
    for (std::size_t slot = 0; slot < model::kGraphicSlots; ++slot) {
        form.graphics[slot] = graphics_[slot]->currentText().toStdString();
    }
    const U current =
        ctx.mirror.read([](const model::MirrorData& d) { return d.userInterfaceSettings; });
    const model::UiSettingsInput input = model::readUiSettings(form, current);
    if (input.error) {
        ctx.prompter.tell(this, tr("Error"), QString::fromStdString(*input.error),
                          shell::PromptIcon::Error);
        QLineEdit* field = input.field == model::SpacingField::Vertical ? vertical_ : horizontal_;
        field->setFocus();
        field->selectAll();
        return;
    }

    // Every file is read again before anything goes: one that changed or
    // went since it was picked stops the whole OK.
    std::vector<model::LocalGraphicFile> uploads;
    for (std::size_t slot = 0; slot < model::kGraphicSlots; ++slot) {
        if (!picked_[slot] || form.graphics[slot] != pickedNames_[slot]) {
            continue;
        }
        model::LocalGraphicFile file = model::readGraphicFile(picked_[slot]->toStdString());
        if (!file.usable()) {
            ctx.prompter.tell(this, tr(model::kGraphicMessageCaption),
                              QString::fromStdString(file.error), shell::PromptIcon::Error);
            return;
        }
        uploads.push_back(std::move(file));
    }
    if (uploads.empty()) {
        sendRecord(input.record);
        return;
    }

    PendingUploads pending;
    pending.record = input.record;
    CMessageQueue& queue = ctx.link.requestQueue();
    bool posted = true;
    for (const model::LocalGraphicFile& file : uploads) {
        const std::vector<std::uint8_t> payload =
            model::encodeGraphicFileUpload(file.name, file.bytes);
        posted = posted && queue.PostCopy(msg::ADMIN_USER_INTERFACE_FILE_UPLOAD, 0, payload.data(),
                                          payload.size());
        pending.names.push_back(file.name);
    }
    posted = posted && queue.PostCopy(msg::ADMIN_USER_INTERFACE_INFO_REQUEST, 0xFFFF, nullptr, 0);
    if (!posted) {
        pending_ = std::move(pending);
        uploadsNotDone(tr("the console is not connected to the server"));
        return;
    }
    // Answers come in order: the lists this view asked for earlier, then
    // the one asked for after these uploads.
    ++listRequests_;
    pending.answeredAt = listsBefore_ + listRequests_;
    pending_ = std::move(pending);
    content_->setEnabled(false);
    okButton_->setEnabled(false);
    fileListTimer_->start();
}

void CUserInterfaceSettingsDlg::sendRecord(const U& record) {
    shell::ShellContext& ctx = context();
    if (!ctx.link.requestQueue().PostCopy(msg::CONFIGURATION_DATA_USER_INTERFACE_SETTINGS, 0,
                                          record.data(), record.kSize)) {
        ctx.prompter.tell(this, tr(model::kGraphicMessageCaption),
                          tr("The user interface settings were not sent: the console is not "
                             "connected to the server."),
                          shell::PromptIcon::Error);
        content_->setEnabled(true);
        okButton_->setEnabled(true);
        return;
    }
    ctx.mirror.edit([&record](model::MirrorData& d) { d.userInterfaceSettings = record; });
    accept();
}

void CUserInterfaceSettingsDlg::uploadsNotDone(const QString& why) {
    const std::vector<std::string> names = pending_ ? pending_->names : std::vector<std::string>{};
    pending_.reset();
    // The view's own list may still be due.
    if (fileListArrived_) {
        fileListTimer_->stop();
    }
    content_->setEnabled(true);
    okButton_->setEnabled(true);
    context().prompter.tell(this, tr(model::kGraphicMessageCaption),
                            tr("The upload of %1 was not done: %2. The user interface settings "
                               "were not sent.")
                                .arg(joined(names), why),
                            shell::PromptIcon::Error);
}

void CUserInterfaceSettingsDlg::closing(int result) {
    Q_UNUSED(result)
    if (pending_ && !context().link.loggedIn()) {
        uploadsNotDone(tr("the connection to the server was lost"));
    }
}

} // namespace mirx::editors
