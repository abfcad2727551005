#pragma once

#include "model/client_list.h"
#include "model/client_list_buttons.h"
#include "model/mirror.h"
#include "model/template_links.h"
#include "shell/common/view_dialog.h"

#include <array>
#include <vector>

#include <QPointer>

class QPushButton;
class QTableView;

namespace mirx::shell {
class RecordListView;
class RecordSender;
} // namespace mirx::shell

namespace mirx::editors {

class ClientListModel;

// "Client Configuration": every client of the local system, with add, edit,
// duplicate and delete, the settings editors, and the template links. Every
// label it changes is posted at once; a read-only administrator sees the
// list and opens the settings editors but changes nothing.
class CClientConfigurationDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    explicit CClientConfigurationDlg(shell::ShellContext& context, QWidget* parent = nullptr);
    ~CClientConfigurationDlg() override;

    // How often the list looks for labels the server changed.
    static constexpr int kLabelPollMs = 100;

    QPushButton* button(model::ClientListButton which) const {
        return buttons_[static_cast<std::size_t>(which)];
    }
    // Opens the editor of the defaults for every client; null for a kind
    // whose defaults are not offered here.
    QPushButton* defaultsButton(model::TemplateKind kind) const {
        return defaultsButtons_[static_cast<std::size_t>(kind)];
    }
    shell::RecordListView* list() const { return list_; }
    QTableView* table() const;
    ClientListModel* model() const { return model_; }
    // The add/edit view, the edit confirmation or a settings editor while
    // one is open over the list.
    QDialog* openChild() const { return child_.data(); }
    const model::ClientListSelection& selection() const { return selection_; }
    // Records handed to the list's sender and not yet queued.
    std::size_t recordsWaiting() const;

protected:
    void closing(int result) override;

private:
    void buildControls();
    void reloadRows();
    void refill(const std::vector<int>& clients);
    // Rows again after the server changed labels; column widths stay.
    void followServerChanges();
    void revealColumns();
    void noteSelection();
    void updateButtons();
    // Client indexes of every row, in the list's order (filtered out too).
    std::vector<int> rowsInListOrder() const;
    std::vector<int> selectedInListOrder() const;
    bool pressable(model::ClientListButton which) const;

    void addClient();
    void editClient();
    void duplicateClient();
    void openEdit(int clientIndex, int sourceClient);
    void deleteClient();
    void openSettings(model::TemplateKind kind);
    void openEditor(model::TemplateKind kind, int clientIndex, bool restoreOnCancel,
                    std::int16_t restoreValue);
    void changeLinks(model::TemplateKind kind, bool link);
    void apply(model::LabelChanges changes);

    ClientListModel* model_ = nullptr;
    shell::RecordListView* list_ = nullptr;
    shell::RecordSender* sender_ = nullptr;
    std::array<QPushButton*, model::kClientListButtonCount> buttons_{};
    std::array<QPushButton*, model::kTemplateKinds.size()> defaultsButtons_{};
    model::ClientListSelection selection_;
    model::ClientListContext listContext_;
    QPointer<QDialog> child_;
    model::ChangeCursor labelChanges_;
};

} // namespace mirx::editors
