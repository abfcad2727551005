#pragma once

#include "shell/common/view_table.h"

#include <functional>
#include <vector>

#include <QDialog>

class QTimer;

namespace mirx::shell {

struct ShellContext;

// What every view shares, from its row of the view table: the title, the
// remembered place, the close within 100 ms of the console no longer being
// logged in, and timers that stop once when the view closes. A view adds
// only its own content, then calls restorePosition() at the end of its
// constructor.
class ViewDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLoggedOutCheckMs = 100;

    ViewDialog(ShellContext& context, ViewKey key, QWidget* parent = nullptr);
    ~ViewDialog() override;

    ViewKey viewKey() const { return key_; }
    const ViewEntry& entry() const { return viewEntry(key_); }
    ShellContext& context() const { return context_; }
    bool closed() const { return closed_; }

    // Closes the view once: timers stop, closing() runs, the place is saved.
    void done(int result) override;

protected:
    // Places the view where it was last closed (the table says whether size
    // counts too). Call once the layout is built.
    void restorePosition();

    // A timer owned by the view, started now (unless `start` is false) and
    // stopped for good when the view closes.
    QTimer* viewTimer(int intervalMs, std::function<void()> tick, bool start = true);

    // Shows why the view cannot go on (e.g. a fetch that failed) and closes
    // it without sending anything.
    void giveUp(const QString& text);

    // Gives the view's controls mnemonics and names them for screen readers
    // before it first shows.
    void showEvent(QShowEvent* event) override;

    // Runs once as the view closes, after its timers stopped; `result` is
    // what the view ends with.
    virtual void closing(int result) { Q_UNUSED(result) }

private:
    void checkLoggedIn();

    ShellContext& context_;
    const ViewKey key_;
    std::vector<QTimer*> timers_;
    bool closed_ = false;
    bool named_ = false;
};

} // namespace mirx::shell
