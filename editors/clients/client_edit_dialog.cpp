#include "editors/clients/client_edit_dialog.h"

#include "core/message_ids.h"
#include "editors/selectors/selector_fetch_step.h"
#include "link/server_link.h"
#include "model/client_types.h"
#include "model/client_validation.h"
#include "model/mirror.h"
#include "shell/common/prompter.h"
#include "shell/common/record_fetch.h"
#include "shell/common/record_sender.h"
#include "shell/common/shell_context.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::editors {
namespace {

using L = model::LabelInfo;
using E = CClientConfigurationEditDlg::Edit;
using C = CClientConfigurationEditDlg::Check;

constexpr int kDescriptionLimit = 50;
constexpr int kNameLimit = 20;
constexpr int kTypeComboChars = 24;

struct CheckSpec {
    C which;
    const char* caption;
};

// Behaviour on the left, privileges and restrictions on the right.
constexpr std::array<CheckSpec, 9> kBehaviourChecks{{
    {C::AllowAnonymousLogin,
     QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg", "Allow Anonymous Login")},
    {C::PartyLineOperation,
     QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg", "Party Line Operation")},
    {C::LatchDisableTalkSelector, QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                                                    "Latch Disable Talk Selector")},
    {C::AlwaysShowSelectorOffline, QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                                                     "Always Show Selector when Off-line")},
    {C::IfbDestination,
     QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg", "IFB Destination")},
    {C::IsoDestination,
     QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg", "ISO Destination")},
    {C::DisableLogin, QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                                        "Disable Client Login / Connection")},
    {C::MultiplePartyLines, QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                                              "Allow Assigment To Multiple Party Lines")},
    {C::DomainAuthentication,
     QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg", "Use Domain Authentication")},
}};
constexpr std::array<CheckSpec, 6> kPrivilegeChecks{{
    {C::StandardPrivileges, QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                                              "Standard System Administration Privileges")},
    {C::MasterPrivileges, QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                                            "Master System Administration Privileges")},
    {C::NoLocalAssignmentByAdministrator,
     QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                       "No Local Assignment By Administrator")},
    {C::NoLocalAssignmentByUser, QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                                                   "No Local Assignment By User")},
    {C::NoRemoteAssignmentByAdministrator,
     QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                       "No Remote Assignment By Administrator")},
    {C::NoRemoteAssignmentByUser, QT_TRANSLATE_NOOP("mirx::editors::CClientConfigurationEditDlg",
                                                    "No Remote Assignment By User")},
}};

constexpr std::array<C, 4> kRestrictionChecks{
    C::NoLocalAssignmentByAdministrator, C::NoLocalAssignmentByUser,
    C::NoRemoteAssignmentByAdministrator, C::NoRemoteAssignmentByUser};

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// What the view fills from: a client's label and credentials, or a new
// client's empty ones.
struct Source {
    L label;
    std::string loginName;
    std::string password;
    bool found = false;
};

} // namespace

CClientConfigurationEditDlg::CClientConfigurationEditDlg(shell::ShellContext& context,
                                                         int clientIndex, int sourceClient,
                                                         shell::RecordSender& sender,
                                                         QWidget* parent)
    : ViewDialog(context, shell::ViewKey::ClientConfigurationEdit, parent)
    , clientIndex_(clientIndex)
    , sourceClient_(sourceClient)
    , sender_(sender) {
    const link::TrunkingMode trunking = context.link.trunkingMode();
    offeredTypes_ = model::offeredClientTypes(trunking == link::TrunkingMode::Rts,
                                              trunking == link::TrunkingMode::Delec);
    buildControls();
    restorePosition();

    if (sourceClient_ < 0) {
        fill(clientIndex_);
        return;
    }
    // A duplicate fills from the source's records as the server has them now.
    ok_->setEnabled(false);
    fetch_ = new shell::RecordFetch(this);
    CMessageQueue& queue = context.link.requestQueue();
    model::ClientStore& flags = context.mirror.clientFlags();
    const auto source = static_cast<std::uint16_t>(sourceClient_);
    const auto request = [&queue, source](std::uint16_t id) {
        return [&queue, source, id] {
            return queue.PostCopy(id, source, nullptr, 0);
        };
    };
    fetch_->setSteps({
        selectorAssignmentsStep(context, tr("the selector assignments"), source, sourceSelectors_),
        {tr("the client options"), request(msg::ADMIN_CLIENT_OPTIONS_REQUEST),
         [&flags] {
             return flags.TakeOptionsReceived();
         }},
        {tr("the audio settings"), request(msg::ADMIN_AUDIO_SETTINGS_REQUEST),
         [&flags] {
             return flags.TakeAudioReceived();
         }},
    });
    connect(fetch_, &shell::RecordFetch::failed, this, &CClientConfigurationEditDlg::giveUp);
    connect(fetch_, &shell::RecordFetch::ready, this, [this] {
        fill(sourceClient_);
        // OK makes a new client from here on.
        clientIndex_ = -1;
        ok_->setEnabled(true);
    });
    fetch_->start();
}

CClientConfigurationEditDlg::~CClientConfigurationEditDlg() = default;

void CClientConfigurationEditDlg::buildControls() {
    const auto newEdit = [this](E which, int limit) {
        auto* edit = new QLineEdit(this);
        edit->setMaxLength(limit);
        edits_[static_cast<std::size_t>(which)] = edit;
        return edit;
    };
    clientType_ = new QComboBox(this);
    clientType_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    clientType_->setMinimumContentsLength(kTypeComboChars);
    for (const int code : offeredTypes_) {
        clientType_->addItem(qs(std::string(model::clientTypeName(code, true).value_or(""))), code);
    }
    rtsFunctionType_ = new QComboBox(this);
    rtsFunctionType_->addItem(tr("(None)"), int{L::kNoRtsFunctionType});
    for (const model::FunctionTypeInfo& type : model::functionTypes()) {
        rtsFunctionType_->addItem(qs(std::string(type.comboName)), int{type.code});
    }

    auto* form = new QGridLayout;
    int row = 0;
    const auto addPair = [this, form](int at, int column, const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        form->addWidget(label, at, column * 2);
        form->addWidget(field, at, column * 2 + 1);
        return label;
    };
    addPair(row, 0, tr("Client Type"), clientType_);
    addPair(row++, 1, tr("Client Description"), newEdit(E::Description, kDescriptionLimit));
    addPair(row, 0, tr("Login Name:"), newEdit(E::LoginName, kNameLimit));
    addPair(row++, 1, tr("Login Password:"), newEdit(E::Password, kNameLimit));
    addPair(row, 0, tr("Selector Talk/Listen Name:"), newEdit(E::TalkListenName, kNameLimit));
    addPair(row++, 1, tr("Selector Listen Only Name:"), newEdit(E::ListenOnlyName, kNameLimit));
    externalLongLabel_ =
        addPair(row, 0, tr("External Name (Long):"), newEdit(E::ExternalLong, kNameLimit));
    externalShortLabel_ =
        addPair(row++, 1, tr("External Name (Short):"), newEdit(E::ExternalShort, kNameLimit));
    rtsTypeLabel_ = addPair(row, 0, tr("RTS Function Type:"), rtsFunctionType_);
    rtsNumberLabel_ =
        addPair(row++, 1, tr("RTS Function Number:"), newEdit(E::RtsFunctionNumber, kNameLimit));
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);

    auto* checks = new QGridLayout;
    checks->setVerticalSpacing(2);
    const auto addChecks = [this, checks](const auto& specs, int column) {
        int at = 0;
        for (const CheckSpec& spec : specs) {
            auto* box = new QCheckBox(tr(spec.caption), this);
            checks_[static_cast<std::size_t>(spec.which)] = box;
            checks->addWidget(box, at++, column);
        }
    };
    addChecks(kBehaviourChecks, 0);
    addChecks(kPrivilegeChecks, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &CClientConfigurationEditDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(checks);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(clientType_, &QComboBox::currentIndexChanged, this, [this] { applyEnabling(); });
    connect(check(C::AllowAnonymousLogin), &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            edit(E::LoginName)->clear();
        }
        applyEnabling();
    });
    connect(check(C::DomainAuthentication), &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            edit(E::Password)->clear();
        }
        applyEnabling();
    });
}

void CClientConfigurationEditDlg::fill(int fromClient) {
    shell::ShellContext& ctx = context();
    const Source source = ctx.mirror.read([fromClient](const model::MirrorData& mirror) {
        Source s;
        const int number =
            fromClient < 0 ? model::kNoLabel : mirror.labels.ClientLabelNumber(fromClient);
        if (const L* label = number == model::kNoLabel ? nullptr : mirror.labels.Find(number)) {
            s.label = *label;
            s.found = true;
            if (const auto credentials = mirror.clients.credentials(fromClient)) {
                s.loginName = credentials->get(model::ClientCredentials::kLoginName);
                s.password = credentials->get(model::ClientCredentials::kPassword);
            }
        }
        return s;
    });
    const bool master = ctx.link.fullAdministrator();
    const link::TrunkingMode trunking = ctx.link.trunkingMode();
    const int type = source.found ? source.label.get(L::kClientType) : 0;
    layout_ = model::clientEditLayout(trunking == link::TrunkingMode::Rts,
                                      trunking == link::TrunkingMode::Delec,
                                      source.found && model::isSipDevice(type), master);

    externalLongLabel_->setText(tr(layout_.externalLongCaption));
    externalShortLabel_->setText(tr(layout_.externalShortCaption));
    for (QWidget* w : {static_cast<QWidget*>(externalLongLabel_),
                       static_cast<QWidget*>(edit(E::ExternalLong))}) {
        w->setVisible(layout_.externalLongShown);
    }
    for (QWidget* w : {static_cast<QWidget*>(externalShortLabel_),
                       static_cast<QWidget*>(edit(E::ExternalShort))}) {
        w->setVisible(layout_.externalShortShown);
    }
    edit(E::ExternalLong)->setEnabled(layout_.externalLongEnabled);
    check(C::NoRemoteAssignmentByAdministrator)->setVisible(layout_.remoteRestrictionsShown);
    check(C::NoRemoteAssignmentByUser)->setVisible(layout_.remoteRestrictionsShown);
    for (QWidget* w : {static_cast<QWidget*>(rtsTypeLabel_), static_cast<QWidget*>(rtsNumberLabel_),
                       static_cast<QWidget*>(rtsFunctionType_),
                       static_cast<QWidget*>(edit(E::RtsFunctionNumber))}) {
        w->setVisible(layout_.rtsFunctionShown);
    }
    edit(E::ExternalLong)->setMaxLength(static_cast<int>(layout_.externalLongLimit));
    edit(E::ExternalShort)->setMaxLength(static_cast<int>(layout_.externalShortLimit));

    const L& label = source.label;
    const auto text = [&](rec::Utf16Text field) {
        return qs(label.get(field));
    };
    clientType_->setCurrentIndex(
        source.found ? static_cast<int>(model::clientTypePosition(offeredTypes_, type)) : 0);
    edit(E::Description)->setText(source.found ? text(L::kDescription) : QString());
    edit(E::TalkListenName)->setText(source.found ? text(L::kTalkListenName) : QString());
    edit(E::ListenOnlyName)->setText(source.found ? text(L::kListenOnlyName) : QString());
    edit(E::ExternalLong)->setText(source.found ? text(L::kExternalLongName) : QString());
    edit(E::ExternalShort)->setText(source.found ? text(L::kExternalShortName) : QString());

    const auto bit = [&](rec::Scalar<std::uint8_t> field, unsigned b) {
        return source.found && label.testBit(field, b);
    };
    // Set before the two boxes that clear the fields when ticked.
    check(C::AllowAnonymousLogin)->setChecked(bit(L::kClientFlags, L::kAllowAnonymousLoginBit));
    check(C::DomainAuthentication)->setChecked(bit(L::kClientFlags, L::kDomainAuthenticationBit));
    edit(E::LoginName)
        ->setText(check(C::AllowAnonymousLogin)->isChecked() ? QString() : qs(source.loginName));
    edit(E::Password)
        ->setText(check(C::DomainAuthentication)->isChecked() ? QString() : qs(source.password));
    if (!master) {
        edit(E::Password)->setEchoMode(QLineEdit::Password);
        edit(E::Password)->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    }
    check(C::PartyLineOperation)->setChecked(bit(L::kClientFlags, L::kPartyLineOperationBit));
    check(C::AlwaysShowSelectorOffline)
        ->setChecked(bit(L::kClientFlags, L::kAlwaysShowSelectorOfflineBit));
    check(C::IfbDestination)->setChecked(bit(L::kClientFlags, L::kIfbDestinationBit));
    check(C::IsoDestination)->setChecked(bit(L::kClientFlags, L::kIsoDestinationBit));
    check(C::MultiplePartyLines)->setChecked(bit(L::kClientFlags, L::kMultiplePartyLinesBit));
    check(C::LatchDisableTalkSelector)->setChecked(bit(L::kSelectorFlags, L::kLatchDisableTalkBit));
    check(C::DisableLogin)->setChecked(bit(L::kSelectorFlags, L::kLoginDisabledBit));
    for (unsigned b = 0; b < kRestrictionChecks.size(); ++b) {
        check(kRestrictionChecks[b])->setChecked(bit(L::kAssignmentRestrictions, b));
    }
    const int privilege = source.found ? label.privilegeLevel() : L::kPrivilegeNone;
    check(C::StandardPrivileges)->setChecked(privilege == L::kPrivilegeStandard);
    check(C::MasterPrivileges)->setChecked(privilege == L::kPrivilegeMaster);
    check(C::MasterPrivileges)->setEnabled(layout_.masterPrivilegesEnabled);
    if (!layout_.masterPrivilegesEnabled) {
        check(C::MasterPrivileges)
            ->setToolTip(shell::privilegeNote(shell::ViewPrivilege::FullAdministrator, ctx.link));
    }

    const int functionType = source.found ? label.get(L::kRtsFunctionType) : L::kNoRtsFunctionType;
    const int functionNumber =
        source.found ? label.get(L::kRtsFunctionNumber) : L::kNoRtsFunctionNumber;
    const int typeAt = rtsFunctionType_->findData(functionType);
    rtsFunctionType_->setCurrentIndex(typeAt < 0 ? 0 : typeAt);
    edit(E::RtsFunctionNumber)
        ->setText(functionType != L::kNoRtsFunctionType && functionNumber >= 0
                      ? QString::number(functionNumber + 1)
                      : QString());

    filled_ = true;
    applyEnabling();
}

void CClientConfigurationEditDlg::applyEnabling() {
    const model::ClientEditEnabling e = model::clientEditEnabling(
        clientType_->currentData().toInt(), check(C::AllowAnonymousLogin)->isChecked(),
        check(C::DomainAuthentication)->isChecked());
    edit(E::ListenOnlyName)->setEnabled(e.listenOnlyName);
    check(C::AllowAnonymousLogin)->setEnabled(e.allowAnonymousLogin);
    check(C::AlwaysShowSelectorOffline)->setEnabled(e.alwaysShowSelectorOffline);
    check(C::LatchDisableTalkSelector)->setEnabled(e.latchDisableTalkSelector);
    check(C::IfbDestination)->setEnabled(e.ifbDestination);
    check(C::IsoDestination)->setEnabled(e.isoDestination);
    check(C::PartyLineOperation)->setEnabled(e.partyLineOperation);
    check(C::MultiplePartyLines)->setEnabled(e.multiplePartyLines);
    edit(E::LoginName)->setEnabled(e.loginName);
    edit(E::Password)->setEnabled(e.password);
}

model::ClientEditValues CClientConfigurationEditDlg::values() const {
    const auto text = [this](E which) {
        return edit(which)->text().toStdString();
    };
    const auto on = [this](C which) {
        return check(which)->isChecked();
    };
    model::ClientEditValues v;
    v.clientType = clientType_->currentData().toInt();
    v.description = text(E::Description);
    v.loginName = text(E::LoginName);
    v.password = text(E::Password);
    v.talkListenName = text(E::TalkListenName);
    v.listenOnlyName = text(E::ListenOnlyName);
    v.externalLongName = text(E::ExternalLong);
    v.externalShortName = text(E::ExternalShort);
    if (layout_.rtsFunctionShown) {
        v.rtsFunctionType = static_cast<std::uint8_t>(rtsFunctionType_->currentData().toInt());
        v.rtsFunctionNumber = text(E::RtsFunctionNumber);
    }
    v.allowAnonymousLogin = on(C::AllowAnonymousLogin);
    v.partyLineOperation = on(C::PartyLineOperation);
    v.latchDisableTalkSelector = on(C::LatchDisableTalkSelector);
    v.alwaysShowSelectorOffline = on(C::AlwaysShowSelectorOffline);
    v.ifbDestination = on(C::IfbDestination);
    v.isoDestination = on(C::IsoDestination);
    v.disableLogin = on(C::DisableLogin);
    v.multiplePartyLines = on(C::MultiplePartyLines);
    v.domainAuthentication = on(C::DomainAuthentication);
    v.standardPrivileges = on(C::StandardPrivileges);
    v.masterPrivileges = on(C::MasterPrivileges);
    for (std::size_t b = 0; b < kRestrictionChecks.size(); ++b) {
        v.restrictions[b] = on(kRestrictionChecks[b]);
    }
    return v;
}

void CClientConfigurationEditDlg::accept() {
    if (!filled_ || closed()) {
        return;
    }
    shell::ShellContext& ctx = context();
    const model::ClientEditValues v = values();
    const model::ClientNames names{clientIndex_, v.loginName, v.talkListenName, v.listenOnlyName,
                                   v.allowAnonymousLogin};
    const model::ClientValidation validation =
        ctx.mirror.read([&names](const model::MirrorData& mirror) {
            return model::validateClientNames(mirror.labels, mirror.clients, names);
        });
    if (validation.remoteWarning) {
        ctx.prompter.tell(this, tr(model::kValidationWarningCaption), tr(model::kRemoteNameExists),
                          shell::PromptIcon::Warning);
    }
    if (!validation.valid()) {
        ctx.prompter.tell(this, tr(model::kValidationErrorCaption), tr(validation.error->c_str()),
                          shell::PromptIcon::Error);
        const E field = validation.field == model::ClientNameField::LoginName ? E::LoginName
                        : validation.field == model::ClientNameField::TalkListenName
                            ? E::TalkListenName
                            : E::ListenOnlyName;
        edit(field)->setFocus();
        return;
    }
    model::ClientSave save = ctx.mirror.edit([&](model::MirrorData& mirror) {
        return model::saveClientEdit(mirror.labels, mirror.clients, clientIndex_, sourceClient_, v,
                                     sourceSelectors_ ? &*sourceSelectors_ : nullptr);
    });
    if (save.error) {
        ctx.prompter.tell(this, tr(model::kUnableToAddClientCaption), tr(save.error->c_str()),
                          shell::PromptIcon::Error);
        return;
    }
    savedClient_ = save.clientIndex;
    sender_.send(std::move(save.posts));
    ViewDialog::accept();
}

} // namespace mirx::editors
