#include "editors/options/client_options_dialog.h"

#include "core/message_ids.h"
#include "editors/options/options_differences_dialog.h"
#include "link/server_link.h"
#include "model/client_records.h"
#include "model/client_types.h"
#include "model/edited_client_caption.h"
#include "model/mirror.h"
#include "model/sound_files.h"
#include "shell/common/chooser.h"
#include "shell/common/prompter.h"
#include "shell/common/record_fetch.h"
#include "shell/common/scrolled_content.h"
#include "shell/common/shell_context.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using F = model::OptionsField;
using K = model::OptionsFieldKind;
using model::OptionsView;

constexpr int kSoundListPollMs = 100;
constexpr const char* kMessageCaption = "MIRX System Administration";
constexpr const char* kApplyQuestion = QT_TRANSLATE_NOOP(
    "mirx::editors::CClientConfigurationOptionsDlg",
    "Should the new default settings be applied to all Clients set to the prior default "
    "settings?");
constexpr const char* kSoundFilter =
    QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationOptionsDlg", "Sound Files (*.WAV)");

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::size_t at(F f) {
    return static_cast<std::size_t>(f);
}

bool isSound(F f) {
    return f == F::RingTone || f == F::AutoAnswerMessage;
}

bool isSipTrunk(F f) {
    return f == F::TargetUserName || f == F::TargetPrimaryHost || f == F::TargetSecondaryHost ||
           f == F::ProxyAddress || f == F::RegistrationExpiry || f == F::StunAddress;
}

bool isGeo(F f) {
    return f == F::GeoMappingDisable || f == F::GeoLatitude || f == F::GeoLongitude;
}

int clientTypeOf(const model::LabelTable& labels, int clientIndex) {
    const int number = labels.ClientLabelNumber(clientIndex);
    const model::LabelInfo* label = number == model::kNoLabel ? nullptr : labels.Find(number);
    return label == nullptr ? 0 : label->get(model::LabelInfo::kClientType);
}

bool hasGeoMappingServer(const model::SystemSettings& s) {
    return s.get(model::SystemSettings::kGeoMappingAddress) != 0 &&
           s.get(model::SystemSettings::kGeoMappingPort) != 0;
}

QString sectionTitle(OptionsView view) {
    switch (view) {
    case OptionsView::Video:
        return CClientConfigurationOptionsDlg::tr("Video Source Options");
    case OptionsView::Sip:
        return CClientConfigurationOptionsDlg::tr("SIP Device Options");
    case OptionsView::Panel:
        break;
    }
    return CClientConfigurationOptionsDlg::tr("Control Panel / Device Interface Options");
}

} // namespace

CClientConfigurationOptionsDlg::CClientConfigurationOptionsDlg(shell::ShellContext& context,
                                                               int clientIndex, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::ClientOptions, parent)
    , clientIndex_(clientIndex < 0 ? model::kDefaultOptionsIndex : clientIndex) {
    const auto [type, geo, caption] = context.mirror.read([this](const model::MirrorData& d) {
        return std::tuple{clientIndex_ < 0 ? 0 : clientTypeOf(d.labels, clientIndex_),
                          hasGeoMappingServer(d.systemSettings),
                          model::editedClientCaption(d.labels, clientIndex_)};
    });
    target_ = {clientIndex_ < 0, type};
    geoMappingServer_ = geo;
    buildControls();
    clientLine_->setText(qs(caption));
    restorePosition();
    startFetch();
}

QCheckBox* CClientConfigurationOptionsDlg::check(F field) const {
    return qobject_cast<QCheckBox*>(control(field));
}
QLineEdit* CClientConfigurationOptionsDlg::edit(F field) const {
    return qobject_cast<QLineEdit*>(control(field));
}
QComboBox* CClientConfigurationOptionsDlg::combo(F field) const {
    return qobject_cast<QComboBox*>(control(field));
}
QPushButton* CClientConfigurationOptionsDlg::soundButton(F field) const {
    return field == F::RingTone            ? ringToneButton_
           : field == F::AutoAnswerMessage ? autoAnswerButton_
                                           : nullptr;
}

QWidget* CClientConfigurationOptionsDlg::makeControl(F f) {
    const model::OptionsFieldInfo& info = model::optionsFieldInfo(f);
    QWidget* control = nullptr;
    if (info.kind == K::Check) {
        auto* box = new QCheckBox(qs(info.caption));
        connect(box, &QCheckBox::toggled, this, [this] {
            updateEnabling();
            updateMarks();
        });
        control = box;
    } else if (info.kind == K::Combo || isSound(f)) {
        auto* box = new QComboBox;
        // Entries now, so the view opens wide enough to show them.
        for (const std::string_view entry : model::comboEntries(f)) {
            box->addItem(qs(entry));
        }
        if (isSound(f)) {
            box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            box->setMinimumContentsLength(static_cast<int>(model::kServerFileNameMaxChars));
        }
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            updateEnabling();
            updateMarks();
        });
        control = box;
    } else {
        auto* line = new QLineEdit;
        line->setMaxLength(model::optionsFieldMaxLength(f));
        connect(line, &QLineEdit::editingFinished, this,
                &CClientConfigurationOptionsDlg::updateMarks);
        control = line;
    }
    control->setAccessibleName(qs(info.caption));
    controls_[at(f)] = control;
    return control;
}

void CClientConfigurationOptionsDlg::buildControls() {
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    clientLine_ = new QLabel;
    clientLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    clientLine_->setAccessibleName(tr("Edited Client"));
    column->addWidget(clientLine_);

    const OptionsView view = target_.view();
    const std::vector<F> marked = target_.defaults ? std::vector<F>{} : model::markedFields(view);
    struct Section {
        QString title;
        std::vector<F> fields;
    };
    std::vector<Section> sections{{sectionTitle(view), {}}};
    if (view == OptionsView::Sip) {
        sections.push_back({tr("SIP Direct IP Trunk / Registered Trunk Options"), {}});
    }
    sections.push_back({tr("Geo Mapping"), {}});
    for (const F f : model::optionsFields(view)) {
        const std::size_t section = isGeo(f) ? sections.size() - 1 : isSipTrunk(f) ? 1 : 0;
        sections[section].fields.push_back(f);
    }

    for (const Section& section : sections) {
        auto* box = new QGroupBox(section.title);
        auto* grid = new QGridLayout(box);
        grid->setColumnStretch(1, 1);
        for (const F f : section.fields) {
            const int row = grid->rowCount();
            QWidget* control = makeControl(f);
            if (model::optionsFieldInfo(f).kind == K::Check) {
                grid->addWidget(control, row, 0, 1, 2);
            } else {
                auto* label = new QLabel(qs(model::optionsFieldInfo(f).caption));
                label->setBuddy(control);
                captions_[at(f)] = label;
                grid->addWidget(label, row, 0);
                auto* line = new QHBoxLayout;
                if (f == F::RtspUri) {
                    line->addWidget(new QLabel(QStringLiteral("rtsp://")));
                }
                line->addWidget(control, 1);
                if (isSound(f)) {
                    auto* button = new QPushButton(QStringLiteral("..."));
                    button->setAutoDefault(false);
                    button->setMaximumWidth(
                        button->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 3);
                    button->setAccessibleName(
                        tr("Upload %1").arg(qs(model::optionsFieldInfo(f).caption)));
                    connect(button, &QPushButton::clicked, this, [this, f] { pickSound(f); });
                    (f == F::RingTone ? ringToneButton_ : autoAnswerButton_) = button;
                    line->addWidget(button);
                }
                grid->addLayout(line, row, 1);
            }
            if (std::find(marked.begin(), marked.end(), f) != marked.end()) {
                auto* mark = new QLabel(tr("(DEFAULT)"));
                // The column keeps its room, so nothing moves as marks come
                // and go.
                QSizePolicy policy = mark->sizePolicy();
                policy.setRetainSizeWhenHidden(true);
                mark->setSizePolicy(policy);
                mark->setVisible(false);
                marks_[at(f)] = mark;
                grid->addWidget(mark, row, 2);
            }
        }
        column->addWidget(box);
    }
    column->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(tr("OK"));
    ok_->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    compare_ = buttons->addButton(tr("Compare with Default"), QDialogButtonBox::ActionRole);
    compare_->setAutoDefault(false);
    compare_->setEnabled(false);
    // The defaults have nothing to be compared with.
    compare_->setVisible(!target_.defaults);
    connect(compare_, &QPushButton::clicked, this,
            &CClientConfigurationOptionsDlg::showDifferences);
    connect(buttons, &QDialogButtonBox::accepted, this, &CClientConfigurationOptionsDlg::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(shell::scrolledContent(content));
    outer->addWidget(buttons);
    shell::sizeToContent(*this, *content);
    // Nothing to edit until the records are in.
    content->setEnabled(false);
}

void CClientConfigurationOptionsDlg::startFetch() {
    shell::ShellContext& ctx = context();
    CMessageQueue& queue = ctx.link.requestQueue();
    model::ClientStore& flags = ctx.mirror.clientFlags();
    const auto request = [&queue](std::uint16_t second) {
        return [&queue, second] {
            return queue.PostCopy(msg::ADMIN_CLIENT_OPTIONS_REQUEST, second, nullptr, 0);
        };
    };
    const auto arrived = [&flags] {
        return flags.TakeOptionsReceived();
    };
    std::vector<shell::RecordFetch::Step> steps{
        {tr("the default options"), request(model::kDefaultRecordSecondValue), arrived}};
    if (target_.view() == OptionsView::Sip) {
        // The SIP view's marks compare with the SIP defaults.
        steps.push_back({tr("the SIP default options"),
                         request(model::kSipDefaultOptionsSecondValue), arrived});
    }
    if (!target_.defaults) {
        steps.push_back(
            {tr("the client options"), request(static_cast<std::uint16_t>(clientIndex_)), arrived});
    }
    fetch_ = new shell::RecordFetch(this);
    fetch_->setSteps(std::move(steps));
    connect(fetch_, &shell::RecordFetch::failed, this, &CClientConfigurationOptionsDlg::giveUp);
    connect(fetch_, &shell::RecordFetch::ready, this, &CClientConfigurationOptionsDlg::fill);
    fetch_->start();

    if (target_.view() == OptionsView::Sip) {
        // An old list's flag is not this request's answer.
        flags.TakeOptionsInfoReceived();
        queue.PostCopy(msg::ADMIN_CLIENT_OPTIONS_INFO_REQUEST, model::kDefaultRecordSecondValue,
                       nullptr, 0);
        soundListTimer_ = viewTimer(kSoundListPollMs, [this] {
            if (!context().mirror.clientFlags().TakeOptionsInfoReceived()) {
                return;
            }
            soundListTimer_->stop();
            soundFilesListed_ = true;
            if (filled_) {
                fillSoundFiles();
            }
        });
    }
}

void CClientConfigurationOptionsDlg::fill() {
    const auto records = context().mirror.read([this](const model::MirrorData& d) {
        const model::ClientOptions none;
        return std::tuple{d.clients.options(clientIndex_).value_or(none),
                          d.clients.options(model::kDefaultOptionsIndex).value_or(none),
                          d.clients.options(model::kSipDefaultOptionsIndex).value_or(none)};
    });
    std::tie(edited_, defaults_, sipDefaults_) = records;
    shown_ = model::showOptions(edited_, target_);
    for (const F f : model::optionsFields(target_.view())) {
        const std::string& text = shown_[f];
        if (QCheckBox* tick = check(f)) {
            tick->setChecked(!text.empty());
        } else if (isSound(f)) {
            QComboBox* names = combo(f);
            names->clear();
            if (!text.empty()) {
                names->addItem(qs(text));
            }
            names->setCurrentIndex(text.empty() ? -1 : 0);
        } else if (QComboBox* box = combo(f)) {
            const int value = std::stoi(text);
            box->clear();
            const auto entries = model::comboEntries(f);
            for (std::size_t i = 0; i < entries.size(); ++i) {
                box->addItem(qs(entries[i]), static_cast<int>(i));
            }
            if (box->findData(value) < 0) {
                // Kept as it came unless the administrator picks another.
                box->addItem(qs(model::comboEntryText(f, value)), value);
            }
            box->setCurrentIndex(box->findData(value));
        } else if (QLineEdit* line = edit(f)) {
            line->setText(qs(text));
        }
    }
    filled_ = true;
    if (auto* area = findChild<QScrollArea*>()) {
        area->widget()->setEnabled(true);
    }
    ok_->setEnabled(context().link.fullAdministrator());
    if (!ok_->isEnabled()) {
        ok_->setToolTip(
            shell::privilegeNote(shell::ViewPrivilege::FullAdministrator, context().link));
    }
    compare_->setEnabled(true);
    if (soundFilesListed_) {
        fillSoundFiles();
    }
    updateEnabling();
    updateMarks();
}

void CClientConfigurationOptionsDlg::fillSoundFiles() {
    const std::vector<std::string> names = context().mirror.read(
        [](const model::MirrorData& d) { return d.clients.soundFiles().names; });
    for (const F f : {F::RingTone, F::AutoAnswerMessage}) {
        QComboBox* box = combo(f);
        const QString current = box->currentText();
        const auto& picked = f == F::RingTone ? ringTonePick_ : autoAnswerPick_;
        const QSignalBlocker quiet(box);
        box->clear();
        for (const std::string& name : names) {
            box->addItem(qs(name));
        }
        // A picked file or a name the server does not list stays choosable,
        // so OK never drops what the record holds.
        int selected = current.isEmpty() ? -1 : box->findText(current, Qt::MatchFixedString);
        if (!current.isEmpty() && (selected < 0 || picked)) {
            if (selected >= 0) {
                box->removeItem(selected);
            }
            box->insertItem(0, current);
            selected = 0;
        }
        box->setCurrentIndex(selected);
    }
    updateMarks();
}

model::OptionsForm CClientConfigurationOptionsDlg::typed() const {
    model::OptionsForm form = shown_;
    for (const F f : model::optionsFields(target_.view())) {
        if (const QCheckBox* tick = check(f)) {
            // Filled, not copied from a literal: g++ 12 at -O2 warns falsely
            // (-Wrestrict) on assigning a short literal here.
            form[f].assign(tick->isChecked() ? 1 : 0, '1');
        } else if (isSound(f)) {
            const QString name = combo(f)->currentText();
            // The server's spelling of the same name is not a change.
            if (name.compare(qs(shown_[f]), Qt::CaseInsensitive) != 0) {
                form[f] = name.toStdString();
            }
        } else if (const QComboBox* box = combo(f)) {
            if (box->currentIndex() >= 0) {
                form[f] = std::to_string(box->currentData().toInt());
            }
        } else if (const QLineEdit* line = edit(f)) {
            // Text as shown stays the record's bytes, even those the box
            // cannot show as they are (8-bit characters of ASCII fields).
            if (line->text() != qs(shown_[f])) {
                form[f] = line->text().toStdString();
            }
        }
    }
    return form;
}

void CClientConfigurationOptionsDlg::updateEnabling() {
    if (!filled_) {
        return;
    }
    const model::OptionsForm form = typed();
    for (const F f : model::optionsFields(target_.view())) {
        const bool on = model::optionsFieldEnabled(f, target_, form, geoMappingServer_);
        control(f)->setEnabled(on);
        if (captions_[at(f)] != nullptr) {
            captions_[at(f)]->setEnabled(on);
        }
        if (marks_[at(f)] != nullptr) {
            marks_[at(f)]->setEnabled(on);
        }
        if (QPushButton* button = soundButton(f)) {
            button->setEnabled(on);
        }
    }
}

void CClientConfigurationOptionsDlg::updateMarks() {
    if (!filled_) {
        return;
    }
    const std::vector<F> equal =
        model::optionsDefaultMarks(typed(), defaults_, sipDefaults_, target_);
    for (std::size_t i = 0; i < marks_.size(); ++i) {
        if (marks_[i] != nullptr) {
            marks_[i]->setVisible(std::find(equal.begin(), equal.end(), static_cast<F>(i)) !=
                                  equal.end());
        }
    }
}

void CClientConfigurationOptionsDlg::pickSound(F field) {
    const QString path = shell::chooserOf(context()).chooseFileToOpen(
        this, qs(model::optionsFieldInfo(field).caption), tr(kSoundFilter));
    if (path.isEmpty()) {
        return;
    }
    // Refused now rather than at OK: the administrator still has the view
    // open to pick another.
    const model::SoundFileUpload upload = model::soundFileUpload(path.toStdString());
    if (upload.error) {
        context().prompter.tell(this, tr(kMessageCaption), qs(*upload.error),
                                shell::PromptIcon::Error);
        return;
    }
    const std::filesystem::path file(path.toStdString());
    const QString name = QString::fromStdString(file.filename().string());
    (field == F::RingTone ? ringTonePick_ : autoAnswerPick_) = PickedSound{file, name};
    QComboBox* box = combo(field);
    const int existing = box->findText(name, Qt::MatchFixedString);
    if (existing >= 0) {
        box->removeItem(existing);
    }
    box->insertItem(0, name);
    box->setCurrentIndex(0);
}

bool CClientConfigurationOptionsDlg::soundUploads(std::vector<model::OutgoingRecord>& posts) {
    for (const F f : {F::RingTone, F::AutoAnswerMessage}) {
        const auto& picked = f == F::RingTone ? ringTonePick_ : autoAnswerPick_;
        // A pick the administrator chose away from is not sent.
        if (!picked || combo(f)->currentText() != picked->name) {
            continue;
        }
        model::SoundFileUpload upload = model::soundFileUpload(picked->path);
        if (upload.error) {
            context().prompter.tell(this, tr(kMessageCaption), qs(*upload.error),
                                    shell::PromptIcon::Error);
            combo(f)->setFocus();
            return false;
        }
        posts.push_back(std::move(upload.post));
    }
    return true;
}

QString CClientConfigurationOptionsDlg::differencesText() const {
    const model::OptionsInput input = model::writeOptions(typed(), edited_, sipDefaults_, target_);
    if (input.error) {
        return qs(input.error->text);
    }
    const auto differences =
        model::optionsDifferences(input.record, defaults_, sipDefaults_, target_);
    if (differences.empty()) {
        return tr("No option of this client differs from the default.");
    }
    return qs(model::optionsDifferencesText(differences));
}

void CClientConfigurationOptionsDlg::showDifferences() {
    if (!filled_) {
        return;
    }
    auto* view =
        new COptionsDifferencesDlg(context(), clientLine_->text(), differencesText(), this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->open();
}

void CClientConfigurationOptionsDlg::ok() {
    if (!filled_ || !context().link.fullAdministrator()) {
        return;
    }
    shell::ShellContext& ctx = context();
    const model::OptionsInput input = model::writeOptions(typed(), edited_, sipDefaults_, target_);
    if (input.error) {
        ctx.prompter.tell(this, tr(kMessageCaption), qs(input.error->text),
                          shell::PromptIcon::Error);
        control(input.error->field)->setFocus();
        if (QLineEdit* line = edit(input.error->field)) {
            line->selectAll();
        }
        return;
    }
    std::vector<model::OutgoingRecord> posts;
    if (!soundUploads(posts)) {
        return;
    }
    const bool applyToPrior =
        target_.defaults && ctx.prompter.ask(this, tr(kMessageCaption), tr(kApplyQuestion));

    // The console's copy changes only once the server was sent the change.
    const auto before = ctx.mirror.read([this](const model::MirrorData& d) {
        return std::tuple{d.clients.options(clientIndex_),
                          d.clients.options(model::kSipDefaultOptionsIndex)};
    });
    const std::optional<model::OutgoingRecord> record = ctx.mirror.edit([&](model::MirrorData& d) {
        return model::saveOptions(d.clients, clientIndex_, target_, input, applyToPrior);
    });
    if (!record) {
        ctx.prompter.tell(this, tr(kMessageCaption),
                          tr("The options were not sent: the client no longer exists."),
                          shell::PromptIcon::Error);
        return;
    }
    posts.push_back(*record);
    CMessageQueue& queue = ctx.link.requestQueue();
    bool posted = true;
    for (const model::OutgoingRecord& post : posts) {
        posted =
            posted && queue.PostCopy(post.id, post.second, post.bytes.data(), post.bytes.size());
    }
    if (!posted) {
        ctx.mirror.edit([&](model::MirrorData& d) {
            const auto& [options, sip] = before;
            if (options) {
                d.clients.setOptions(clientIndex_, *options);
            }
            if (sip) {
                d.clients.setOptions(model::kSipDefaultOptionsIndex, *sip);
            }
            return 0;
        });
        ctx.prompter.tell(this, tr(kMessageCaption),
                          tr("The options were not sent: the console is not connected to the "
                             "server."),
                          shell::PromptIcon::Error);
        return;
    }
    accept();
}

} // namespace mirx::editors
