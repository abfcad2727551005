#pragma once

#include "model/client_edit_form.h"
#include "model/client_edit_records.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mirx::shell {
class RecordFetch;
class RecordSender;
} // namespace mirx::shell

namespace mirx::editors {

// "Client Configuration Add/Edit": one client's identity. Opened to add a
// client (index -1), to edit one, or to duplicate one into a new client
// (after fetching the source's selector assignments, options and audio
// settings). OK validates the names against every label, stores the label
// and credentials and hands the records to post to `sender`.
class CClientConfigurationEditDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    enum class Edit : std::uint8_t {
        Description,
        LoginName,
        Password,
        TalkListenName,
        ListenOnlyName,
        ExternalLong,
        ExternalShort,
        RtsFunctionNumber,
        Count
    };
    enum class Check : std::uint8_t {
        AllowAnonymousLogin,
        PartyLineOperation,
        LatchDisableTalkSelector,
        AlwaysShowSelectorOffline,
        IfbDestination,
        IsoDestination,
        DisableLogin,
        MultiplePartyLines,
        DomainAuthentication,
        StandardPrivileges,
        MasterPrivileges,
        NoLocalAssignmentByAdministrator,
        NoLocalAssignmentByUser,
        NoRemoteAssignmentByAdministrator,
        NoRemoteAssignmentByUser,
        Count
    };

    // `clientIndex` -1 adds; `sourceClient` >= 0 duplicates that client.
    CClientConfigurationEditDlg(shell::ShellContext& context, int clientIndex, int sourceClient,
                                shell::RecordSender& sender, QWidget* parent = nullptr);
    ~CClientConfigurationEditDlg() override;

    QLineEdit* edit(Edit which) const { return edits_[static_cast<std::size_t>(which)]; }
    QCheckBox* check(Check which) const { return checks_[static_cast<std::size_t>(which)]; }
    QLabel* externalLongLabel() const { return externalLongLabel_; }
    QLabel* externalShortLabel() const { return externalShortLabel_; }
    QComboBox* clientType() const { return clientType_; }
    QComboBox* rtsFunctionType() const { return rtsFunctionType_; }
    QPushButton* okButton() const { return ok_; }
    // Whether the controls are filled (a duplicate waits for its fetch).
    bool filled() const { return filled_; }
    // The client the OK stored; -1 until then.
    int savedClient() const { return savedClient_; }

    void accept() override;

private:
    void buildControls();
    void fill(int fromClient);
    void applyEnabling();
    model::ClientEditValues values() const;

    int clientIndex_;
    const int sourceClient_;
    shell::RecordSender& sender_;
    shell::RecordFetch* fetch_ = nullptr;
    // The source's selector assignments as fetched for a duplicate.
    std::optional<model::SelectorAssignments> sourceSelectors_;
    std::vector<int> offeredTypes_;
    model::ClientEditLayout layout_;
    bool filled_ = false;
    int savedClient_ = -1;

    std::array<QLineEdit*, static_cast<std::size_t>(Edit::Count)> edits_{};
    std::array<QCheckBox*, static_cast<std::size_t>(Check::Count)> checks_{};
    QComboBox* clientType_ = nullptr;
    QComboBox* rtsFunctionType_ = nullptr;
    QLabel* externalLongLabel_ = nullptr;
    QLabel* externalShortLabel_ = nullptr;
    QLabel* rtsTypeLabel_ = nullptr;
    QLabel* rtsNumberLabel_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace mirx::editors
