#include "monitor/log_dialog.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "monitor/debug_filter_dialog.h"
#include "monitor/log_text_box.h"
#include "shell/common/shell_context.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::monitor {
namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr LogSource kActivityLog{
    msg::ADMIN_ACTIVITY_LOG_REQUEST,
    [](model::MirrorFlags& flags) -> model::ArrivalFlag& { return flags.activityLog; },
    [](const model::MirrorData& data) -> const model::LogChunk& { return data.activityLogChunk; },
};

constexpr LogSource kDebugLog{
    msg::ADMIN_DEBUG_LOG_REQUEST,
    [](model::MirrorFlags& flags) -> model::ArrivalFlag& { return flags.debugLog; },
    [](const model::MirrorData& data) -> const model::LogChunk& { return data.debugLogChunk; },
};

} // namespace

LogDialog::LogDialog(shell::ShellContext& context, shell::ViewKey key, LogSource source,
                     QWidget* parent)
    : ViewDialog(context, key, parent)
    , source_(source) {
    auto* frame = new QGroupBox(tr("Log"), this);
    box_ = new LogTextBox(frame);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(box_);

    close_ = new QPushButton(tr("Close"), this);
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    buttons_ = new QHBoxLayout;
    buttons_->addStretch();
    buttons_->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons_);
    resize(760, 480);
    restorePosition();

    // A chunk of an earlier opening is not this one's first.
    pull_.reset();
    source_.flag(context.mirror.flags()).take();
    viewTimer(model::LogPull::kAskTickMs, [this] { askTick(); });
    viewTimer(model::LogPull::kPauseTickMs, [this] { pull_.pauseTick(); });
}

LogDialog::~LogDialog() = default;

bool LogDialog::post(model::LogRequest request) {
    const auto payload = model::encodeLogRequest(request);
    return context().link.requestQueue().PostCopy(source_.requestId, 0, payload.data(),
                                                  payload.size());
}

void LogDialog::askTick() {
    if (pull_.askTick()) {
        if (!post(model::LogRequest::NextChunk)) {
            pull_.requestRefused();
        }
        return;
    }
    if (pull_.state() != model::LogPull::State::Waiting ||
        !source_.flag(context().mirror.flags()).take()) {
        return;
    }
    // Read under the lock; shown after it.
    std::int64_t stamp = 0;
    std::size_t bytes = 0;
    std::string text;
    context().mirror.read([&](const model::MirrorData& mirrored) {
        const model::LogChunk& chunk = source_.chunk(mirrored);
        stamp = chunk.timeStamp;
        bytes = chunk.textBytes;
        if (bytes > model::LogPull::kShownAboveBytes) {
            text = chunk.text;
        }
    });
    const model::LogPull::Placement placement = pull_.take(stamp, bytes);
    if (placement.show) {
        box_->insertChunk(fromUtf8(model::readableLogText(text)), placement.newer);
    }
}

void LogDialog::closing(int result) {
    Q_UNUSED(result)
    post(model::LogRequest::Stop);
}

CActivityLogDlg::CActivityLogDlg(shell::ShellContext& context, QWidget* parent)
    : LogDialog(context, shell::ViewKey::ActivityLog, kActivityLog, parent) {}

CDebugLogDlg::CDebugLogDlg(shell::ShellContext& context, QWidget* parent)
    : LogDialog(context, shell::ViewKey::DebugLog, kDebugLog, parent) {
    filter_ = new QPushButton(tr("Filter"), this);
    filter_->setAutoDefault(false);
    buttonRow()->insertWidget(1, filter_);
    connect(filter_, &QPushButton::clicked, this, &CDebugLogDlg::openFilters);
}

void CDebugLogDlg::openFilters() {
    if (filterDialog_ != nullptr) {
        return;
    }
    auto* filters = new CDebugFilterDlg(context(), this);
    filters->setAttribute(Qt::WA_DeleteOnClose);
    filterDialog_ = filters;
    filters->open();
}

} // namespace mirx::monitor
