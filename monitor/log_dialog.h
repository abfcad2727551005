#pragma once

#include "model/log_pull.h"
#include "shell/common/view_dialog.h"

#include <cstdint>

#include <QPointer>

class QHBoxLayout;
class QPushButton;

namespace mirx::model {
class ArrivalFlag;
struct LogChunk;
struct MirrorData;
struct MirrorFlags;
} // namespace mirx::model

namespace mirx::monitor {

class LogTextBox;

// Which server log a view pulls: its request and where the link keeps the
// answer.
struct LogSource {
    std::uint16_t requestId;
    model::ArrivalFlag& (*flag)(model::MirrorFlags&);
    const model::LogChunk& (*chunk)(const model::MirrorData&);
};

// A server log pulled in chunks into a growing text box: asks every 50 ms
// while text comes, pauses a second after an empty answer, and tells the
// server to stop when it closes. Modeless, at most one of each.
class LogDialog : public shell::ViewDialog {
    Q_OBJECT
public:
    LogDialog(shell::ShellContext& context, shell::ViewKey key, LogSource source,
              QWidget* parent = nullptr);
    ~LogDialog() override;

    LogTextBox* textBox() const { return box_; }
    QPushButton* closeButton() const { return close_; }

protected:
    // Where a view puts its own buttons, left of "Close".
    QHBoxLayout* buttonRow() const { return buttons_; }
    void closing(int result) override;

private:
    void askTick();
    bool post(model::LogRequest request);

    LogSource source_;
    model::LogPull pull_;
    LogTextBox* box_ = nullptr;
    QHBoxLayout* buttons_ = nullptr;
    QPushButton* close_ = nullptr;
};

// "Activity Log".
class CActivityLogDlg final : public LogDialog {
    Q_OBJECT
public:
    explicit CActivityLogDlg(shell::ShellContext& context, QWidget* parent = nullptr);
};

// "Debug Log", with "Filter" to edit the server's debug filters.
class CDebugLogDlg final : public LogDialog {
    Q_OBJECT
public:
    explicit CDebugLogDlg(shell::ShellContext& context, QWidget* parent = nullptr);

    QPushButton* filterButton() const { return filter_; }
    // The filter editor while it is open.
    QDialog* filterDialog() const { return filterDialog_.data(); }

private:
    void openFilters();

    QPushButton* filter_ = nullptr;
    QPointer<QDialog> filterDialog_;
};

} // namespace mirx::monitor
