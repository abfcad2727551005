#pragma once

#include "reports/sip_registrations_text.h"
#include "shell/common/record_list.h"
#include "shell/common/view_dialog.h"

#include <vector>

class QCheckBox;
class QPushButton;

namespace mirx::monitor {

class ListExport;

// The registrations in the server's order, keyed by position: a refresh
// rewrites row n in place, adds rows at the end and removes them from the
// end.
class SipRegistrationsModel final : public shell::RecordListModel {
    Q_OBJECT
public:
    explicit SipRegistrationsModel(QObject* parent = nullptr);

    void setRows(std::vector<reports::SipRow> rows);
    const std::vector<reports::SipRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    qint64 rowKey(int row) const override;
    QString text(int row, int column) const override;
    int compare(int left, int right, int column) const override;

private:
    std::array<shell::ListColumn, reports::kSipColumnCount> columns_;
    std::vector<reports::SipRow> rows_;
};

// "SIP Registrations": what the server holds as SIP registrar, asked of it
// at most once a second; by default without the registrations whose contact
// is the server itself. Modeless, one at a time.
class CSipRegistrationsDlg final : public shell::ViewDialog {
    Q_OBJECT
public:
    static constexpr int kPollMs = 50;
    static constexpr int kRequestSpacingMs = 1000;

    explicit CSipRegistrationsDlg(shell::ShellContext& context, QWidget* parent = nullptr);
    ~CSipRegistrationsDlg() override;

    shell::RecordListView* list() const { return list_; }
    SipRegistrationsModel* model() const { return model_; }
    QCheckBox* externalOnlyBox() const { return externalOnly_; }
    QPushButton* closeButton() const { return close_; }
    ListExport* exporter() const { return export_; }
    std::size_t refreshCount() const { return refreshes_; }

private:
    enum class Poll { Idle, Waiting, Shown };

    void pollTick();
    void refresh();

    Poll poll_ = Poll::Idle;
    std::size_t refreshes_ = 0;
    SipRegistrationsModel* model_ = nullptr;
    shell::RecordListView* list_ = nullptr;
    ListExport* export_ = nullptr;
    QCheckBox* externalOnly_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace mirx::monitor
