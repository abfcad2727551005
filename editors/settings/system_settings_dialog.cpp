#include "editors/settings/system_settings_dialog.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "shell/common/address_edit.h"
#include "shell/common/chooser.h"
#include "shell/common/colour_sample.h"
#include "shell/common/prompter.h"
#include "shell/common/scrolled_content.h"
#include "shell/common/shell_context.h"

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
#include <QSlider>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using model::SettingsField;
using F = model::SettingsField;
using model::SettingsLayout;

SettingsLayout layoutFor(link::TrunkingMode mode) {
    switch (mode) {
    case link::TrunkingMode::Rts:
        return SettingsLayout::Rts;
    case link::TrunkingMode::Delec:
        return SettingsLayout::Delec;
    case link::TrunkingMode::None:
        break;
    }
    return SettingsLayout::None;
}

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The Oratis card captions name the trunk ports each card serves; only the
// first and last ranges are known.
QString oratisCaption(std::size_t card) {
    if (card == 0) {
        return QStringLiteral("Delec Oratis Card #1 IP address (  1- 64)");
    }
    if (card == model::SystemSettings::kOratisCards - 1) {
        return QStringLiteral("Delec Oratis Card #6 IP address (303-368)");
    }
    return QStringLiteral("Delec Oratis Card #%1 IP address").arg(card + 1);
}

// One caption and one or two fields on a row of a group's grid.
void addRow(QGridLayout* grid, const QString& caption, QWidget* first, QWidget* second = nullptr) {
    const int row = grid->rowCount();
    auto* label = new QLabel(caption);
    label->setBuddy(first);
    grid->addWidget(label, row, 0);
    if (second == nullptr) {
        grid->addWidget(first, row, 1, 1, 2);
    } else {
        grid->addWidget(first, row, 1);
        grid->addWidget(second, row, 2);
    }
}

QGroupBox* group(const QString& title, QGridLayout*& grid) {
    auto* box = new QGroupBox(title);
    grid = new QGridLayout(box);
    return box;
}

} // namespace

CSystemSettingsDlg::CSystemSettingsDlg(shell::ShellContext& context, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::SystemSettings, parent)
    , layout_(layoutFor(context.link.trunkingMode())) {
    auto* content = new QWidget;
    auto* columns = new QHBoxLayout(content);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);

    left->addWidget(buildPrimary());
    left->addWidget(buildSecondary());
    switch (layout_) {
    case SettingsLayout::Rts:
        left->addWidget(buildTrunking());
        left->addWidget(buildTelephone());
        right->addWidget(
            buildBattery(tr("General Settings"), tr("Audible Battery Status Message Levels")));
        break;
    case SettingsLayout::Delec:
        left->addWidget(buildTrunking());
        break;
    case SettingsLayout::None:
        left->addWidget(buildTelephone());
        left->addWidget(buildGeoMapping());
        right->addWidget(buildBattery(tr("Battery Level Alerts"), tr("Battery Levels")));
        fourCharacterAlphas_ = new QCheckBox(tr("Use only 4 character alphas"));
        right->addWidget(fourCharacterAlphas_);
        break;
    }
    right->insertWidget(0, buildAudio());
    right->insertWidget(1, buildVoiceActivity());
    right->insertWidget(2, buildFailover());
    right->addWidget(buildLogin());
    disableDomain_ = new QCheckBox(tr("Disable Domain Authentication"));
    right->addWidget(disableDomain_);
    left->addStretch();
    right->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    okButton_ = buttons->button(QDialogButtonBox::Ok);
    okButton_->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CSystemSettingsDlg::ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(shell::scrolledContent(content));
    outer->addWidget(buttons);
    shell::sizeToContent(*this, *content);

    const auto [record, master] = context.mirror.read([](const model::MirrorData& d) {
        return std::pair{d.systemSettings, d.clients.credentials(model::kMasterAdministratorIndex)
                                               .value_or(model::masterAdministratorCredentials())};
    });
    for (const model::SampleRateEntry& entry : model::sampleRateEntries(
             context.debugControls, record.get(model::SystemSettings::kSampleRate))) {
        sampleRate_->addItem(qs(entry.name), entry.rate);
    }
    fill(model::showSystemSettings(record, master));
    restorePosition();
}

QLineEdit* CSystemSettingsDlg::makeEdit(SettingsField field) {
    const model::SettingsFieldInfo& info = model::settingsFieldInfo(field);
    QLineEdit* edit = nullptr;
    switch (info.kind) {
    case model::SettingsFieldKind::Address:
        edit = new shell::AddressEdit;
        break;
    case model::SettingsFieldKind::Port:
        edit = new shell::PortEdit;
        break;
    case model::SettingsFieldKind::Text:
        edit = new QLineEdit;
        edit->setMaxLength(static_cast<int>(model::kSipDomainLimit));
        break;
    }
    edit->setAccessibleName(QString::fromStdString(model::settingsFieldCaption(field)));
    edits_[static_cast<std::size_t>(field)] = edit;
    return edit;
}

QWidget* CSystemSettingsDlg::buildPrimary() {
    QGridLayout* grid = nullptr;
    QGroupBox* box = group(tr("Primary Server Network Settings"), grid);
    addRow(grid, tr("Server IP Address (Local Network Interface)"), makeEdit(F::ServerAddress));
    addRow(grid, tr("Server IP Ports for Client Data / Audio"), makeEdit(F::ClientDataPort),
           makeEdit(F::ClientAudioPort));
    addRow(grid, tr("Server IP Ports for SIP Data / RTP Audio Base"), makeEdit(F::SipDataPort),
           makeEdit(F::RtpAudioBasePort));
    addRow(grid, tr("Server SIP Domain Name"), makeEdit(F::SipDomainName));
    addRow(grid, tr("Server NAT IP Address"), makeEdit(F::PrimaryNatAddress));
    return box;
}

QWidget* CSystemSettingsDlg::buildSecondary() {
    QGridLayout* grid = nullptr;
    QGroupBox* box = group(tr("Secondary (Failover) Server Network Settings"), grid);
    addRow(grid, tr("Server IP Address"), makeEdit(F::SecondaryServerAddress));
    addRow(grid, tr("Server IP Port for MIRX Client Data / Audio"),
           makeEdit(F::SecondaryClientDataPort), makeEdit(F::SecondaryClientAudioPort));
    addRow(grid, tr("Server IP Port for Failover Data"), makeEdit(F::SecondaryFailoverDataPort));
    addRow(grid, tr("Server NAT IP Address"), makeEdit(F::SecondaryNatAddress));
    return box;
}

QWidget* CSystemSettingsDlg::buildTrunking() {
    QGridLayout* grid = nullptr;
    QGroupBox* box = group(tr("Trunking Network Settings"), grid);
    if (layout_ == SettingsLayout::Rts) {
        addRow(grid, tr("Server IP Address (Local Network Interface)"),
               makeEdit(F::RtsTrunkingLocalAddress));
        addRow(grid, tr("RTS Trunk Master Main / Backup IP Address"),
               makeEdit(F::RtsTrunkMasterMainAddress), makeEdit(F::RtsTrunkMasterBackupAddress));
        addRow(grid, tr("RTS Trunk Master Main / Backup IP Port"),
               makeEdit(F::RtsTrunkMasterMainPort), makeEdit(F::RtsTrunkMasterBackupPort));
        fourCharacterAlphas_ = new QCheckBox(tr("Use only 4 character alphas"));
        grid->addWidget(fourCharacterAlphas_, grid->rowCount(), 0, 1, 3);
        return box;
    }
    addRow(grid, tr("Server IP Address (Local Network Interface)"),
           makeEdit(F::DelecTrunkingLocalAddress));
    for (std::size_t card = 0; card < model::SystemSettings::kOratisCards; ++card) {
        const int row = grid->rowCount();
        auto* label = new QLabel(oratisCaption(card));
        QLineEdit* address = makeEdit(model::oratisAddressField(card));
        label->setBuddy(address);
        grid->addWidget(label, row, 0);
        auto* pair = new QHBoxLayout;
        pair->addWidget(address, 3);
        pair->addWidget(new QLabel(QStringLiteral(":")));
        pair->addWidget(makeEdit(model::oratisPortField(card)), 1);
        grid->addLayout(pair, row, 1, 1, 2);
    }
    return box;
}

QWidget* CSystemSettingsDlg::buildTelephone() {
    QGridLayout* grid = nullptr;
    const bool rts = layout_ == SettingsLayout::Rts;
    QGroupBox* box = group(rts ? tr("Telephone Interface Network Settings")
                               : tr("RTS Telephone Interface Network Settings"),
                           grid);
    addRow(grid, tr("Server IP Address (Local Network Interface)"),
           makeEdit(F::TelephoneLocalAddress));
    addRow(grid,
           rts ? tr("RTS Master Controller Main / Backup IP Address")
               : tr("Master Controller Main / Backup IP Address"),
           makeEdit(F::MasterControllerMainAddress), makeEdit(F::MasterControllerBackupAddress));
    addRow(grid,
           rts ? tr("RTS Master Controller Main / Backup IP Port")
               : tr("Master Controller Main / Backup IP Port"),
           makeEdit(F::MasterControllerMainPort), makeEdit(F::MasterControllerBackupPort));
    return box;
}

QWidget* CSystemSettingsDlg::buildGeoMapping() {
    QGridLayout* grid = nullptr;
    QGroupBox* box = group(tr("Geo Mapping Server Network Settings"), grid);
    addRow(grid, tr("Geo Mapping Server IP Address"), makeEdit(F::GeoMappingAddress));
    addRow(grid, tr("Geo Mapping Server IP Port"), makeEdit(F::GeoMappingPort));
    return box;
}

QWidget* CSystemSettingsDlg::buildBattery(const QString& title, const QString& caption) {
    auto* box = new QGroupBox(title);
    auto* column = new QVBoxLayout(box);
    column->addWidget(new QLabel(caption));
    auto* boxes = new QHBoxLayout;
    for (std::size_t bit = 0; bit < battery_.size(); ++bit) {
        battery_[bit] = new QCheckBox(
            QStringLiteral("%1%").arg(model::SystemSettings::kBatteryAlertPercent[bit]));
        battery_[bit]->setAccessibleName(QStringLiteral("%1 %2%").arg(
            caption, QString::number(model::SystemSettings::kBatteryAlertPercent[bit])));
        boxes->addWidget(battery_[bit]);
    }
    column->addLayout(boxes);
    if (layout_ == SettingsLayout::Rts) {
        selectorForSelf_ = new QCheckBox(tr("Allow Assignment of Selector for 'Self'"));
        column->addWidget(selectorForSelf_);
    }
    return box;
}

QWidget* CSystemSettingsDlg::buildAudio() {
    QGridLayout* grid = nullptr;
    QGroupBox* box = group(tr("Audio Settings"), grid);
    sampleRate_ = new QComboBox;
    addRow(grid, tr("Audio Mix Sample Rate"), sampleRate_);
    gain_ = new QSlider(Qt::Horizontal);
    gain_->setRange(0, model::SystemSettings::kMaxOutputGainStep);
    gain_->setPageStep(1);
    gain_->setTickPosition(QSlider::TicksBelow);
    gainLabel_ = new QLabel;
    gainLabel_->setMinimumWidth(
        gainLabel_->fontMetrics().horizontalAdvance(QStringLiteral("+18 dB")));
    addRow(grid, tr("Audio Output Level Gain (Post-Mix)"), gain_, gainLabel_);
    connect(gain_, &QSlider::valueChanged, this, &CSystemSettingsDlg::updateGainLabel);
    return box;
}

QWidget* CSystemSettingsDlg::buildVoiceActivity() {
    auto* box = new QGroupBox(tr("Voice Activity Indication"));
    auto* row = new QHBoxLayout(box);
    sample_ = new shell::ColourSample(tr("Sample"));
    sample_->setAccessibleName(tr("Sample"));
    textButton_ = new QPushButton(tr("Text"));
    backgroundButton_ = new QPushButton(tr("Background"));
    textButton_->setAccessibleName(tr("Voice Activity Indication Text"));
    backgroundButton_->setAccessibleName(tr("Voice Activity Indication Background"));
    row->addWidget(sample_, 1);
    row->addWidget(textButton_);
    row->addWidget(backgroundButton_);
    connect(textButton_, &QPushButton::clicked, this, [this] { chooseColour(textColour_); });
    connect(backgroundButton_, &QPushButton::clicked, this,
            [this] { chooseColour(backgroundColour_); });
    return box;
}

QWidget* CSystemSettingsDlg::buildFailover() {
    QGridLayout* grid = nullptr;
    QGroupBox* box = group(tr("Failover Settings"), grid);
    QLineEdit* delay = makeEdit(F::FailoverDelay);
    const int row = grid->rowCount();
    auto* label = new QLabel(tr("Failover Activation Delay"));
    label->setBuddy(delay);
    grid->addWidget(label, row, 0);
    grid->addWidget(delay, row, 1);
    grid->addWidget(new QLabel(tr("(seconds)")), row, 2);
    failback_ = new QComboBox;
    for (const std::string_view entry : model::kFailbackEntries) {
        failback_->addItem(qs(entry));
    }
    failbackTime_ = new QLineEdit;
    failbackTime_->setMaxLength(static_cast<int>(model::kFailbackTimeLimit));
    failbackTime_->setAccessibleName(tr("Automatic Failback (hh:mm)"));
    addRow(grid, tr("Automatic Failback"), failback_);
    addRow(grid, tr("(hh:mm)"), failbackTime_);
    connect(failback_, &QComboBox::currentIndexChanged, this,
            &CSystemSettingsDlg::updateFailbackTime);
    return box;
}

QWidget* CSystemSettingsDlg::buildLogin() {
    QGridLayout* grid = nullptr;
    QGroupBox* box = group(tr("Master System Administrator Login"), grid);
    loginName_ = new QLineEdit;
    loginName_->setMaxLength(static_cast<int>(model::kMasterLoginLimit));
    password_ = new QLineEdit;
    password_->setMaxLength(static_cast<int>(model::kMasterLoginLimit));
    password_->setEchoMode(QLineEdit::Password);
    addRow(grid, tr("Login Name:"), loginName_);
    addRow(grid, tr("Login Password:"), password_);
    return box;
}

void CSystemSettingsDlg::fill(const model::SystemSettingsForm& form) {
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        if (edits_[i] != nullptr) {
            edits_[i]->setText(QString::fromStdString(form.text[i]));
        }
    }
    sampleRate_->setCurrentIndex(form.sampleRate ? sampleRate_->findData(*form.sampleRate) : -1);
    gain_->setValue(form.gainStep);
    updateGainLabel(form.gainStep);
    textColour_ = form.textColour;
    backgroundColour_ = form.backgroundColour;
    updateSample();
    failback_->setCurrentIndex(static_cast<int>(form.failback));
    failbackTime_->setText(QString::fromStdString(form.failbackTime));
    updateFailbackTime();
    loginName_->setText(QString::fromStdString(form.loginName));
    password_->setText(QString::fromStdString(form.password));
    disableDomain_->setChecked(form.disableDomainAuthentication);
    if (fourCharacterAlphas_ != nullptr) {
        fourCharacterAlphas_->setChecked(form.fourCharacterAlphas);
    }
    if (selectorForSelf_ != nullptr) {
        selectorForSelf_->setChecked(form.selectorForSelf);
    }
    for (std::size_t bit = 0; bit < battery_.size(); ++bit) {
        if (battery_[bit] != nullptr) {
            battery_[bit]->setChecked(((form.batteryBits >> bit) & 1u) != 0);
        }
    }
}

model::SystemSettingsForm CSystemSettingsDlg::typed() const {
    model::SystemSettingsForm form;
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        if (edits_[i] != nullptr) {
            form.text[i] = edits_[i]->text().toStdString();
        }
    }
    if (sampleRate_->currentIndex() >= 0) {
        form.sampleRate = static_cast<std::uint16_t>(sampleRate_->currentData().toUInt());
    }
    form.gainStep = gain_->value();
    form.textColour = textColour_;
    form.backgroundColour = backgroundColour_;
    form.failback = static_cast<model::FailbackMode>(std::max(0, failback_->currentIndex()));
    form.failbackTime = failbackTime_->text().toStdString();
    form.disableDomainAuthentication = disableDomain_->isChecked();
    form.fourCharacterAlphas = fourCharacterAlphas_ != nullptr && fourCharacterAlphas_->isChecked();
    form.selectorForSelf = selectorForSelf_ != nullptr && selectorForSelf_->isChecked();
    for (std::size_t bit = 0; bit < battery_.size(); ++bit) {
        if (battery_[bit] != nullptr && battery_[bit]->isChecked()) {
            form.batteryBits = static_cast<std::uint8_t>(form.batteryBits | (1u << bit));
        }
    }
    form.loginName = loginName_->text().toStdString();
    form.password = password_->text().toStdString();
    return form;
}

void CSystemSettingsDlg::updateGainLabel(int step) {
    gainLabel_->setText(QString::fromStdString(model::gainLabel(step)));
}

void CSystemSettingsDlg::updateSample() {
    // Both colours 0 means the server has none to show.
    sample_->setVisible(textColour_ != 0 || backgroundColour_ != 0);
    sample_->setColours(shell::recordColour(backgroundColour_), shell::recordColour(textColour_));
}

void CSystemSettingsDlg::updateFailbackTime() {
    // A time means nothing while failback is manual.
    failbackTime_->setEnabled(failback_->currentIndex() > 0);
}

void CSystemSettingsDlg::chooseColour(std::uint32_t& colour) {
    // The record keeps the colour as red, green and blue only.
    if (const auto chosen = shell::chooseRecordColour(shell::chooserOf(context()), this, colour)) {
        colour = *chosen & 0x00FFFFFFu;
        updateSample();
    }
}

void CSystemSettingsDlg::ok() {
    shell::ShellContext& ctx = context();
    if (!mayOpen(viewKey(), ctx.link)) {
        ctx.prompter.tell(this, tr(model::kSettingsErrorCaption),
                          shell::privilegeNote(entry().privilege, ctx.link),
                          shell::PromptIcon::Error);
        return;
    }
    const model::SystemSettings current =
        ctx.mirror.read([](const model::MirrorData& d) { return d.systemSettings; });
    const model::SystemSettingsInput input = model::readSystemSettings(typed(), current, layout_);
    if (input.error) {
        ctx.prompter.tell(this, tr(model::kSettingsErrorCaption),
                          QString::fromStdString(input.error->text), shell::PromptIcon::Error);
        QLineEdit* focus = input.error->place == model::SettingsInputPlace::LoginName ? loginName_
                           : input.error->place == model::SettingsInputPlace::FailbackTime
                               ? failbackTime_
                               : edit(input.error->field);
        if (focus != nullptr) {
            focus->setFocus();
            focus->selectAll();
        }
        return;
    }
    const auto changes = model::restartChanges(current, input.record);
    if (!changes.empty() &&
        !ctx.prompter.ask(this, tr(model::kRestartCaption),
                          QString::fromStdString(model::restartQuestion(changes)))) {
        return;
    }
    CMessageQueue& queue = ctx.link.requestQueue();
    if (!queue.PostCopy(msg::ADMIN_CLIENT_CREDENTIALS_UPDATE, 0, input.masterAdministrator.data(),
                        input.masterAdministrator.kSize) ||
        !queue.PostCopy(msg::CONFIGURATION_DATA_SYSTEM_SETTINGS, 0, input.record.data(),
                        input.record.kSize)) {
        ctx.prompter.tell(this, tr(model::kSettingsErrorCaption),
                          tr("The settings were not sent: the console is not connected to the "
                             "server."),
                          shell::PromptIcon::Error);
        return;
    }
    ctx.mirror.edit([&input](model::MirrorData& d) {
        d.systemSettings = input.record;
        d.clients.setCredentials(model::kMasterAdministratorIndex, input.masterAdministrator);
    });
    accept();
}

} // namespace mirx::editors
