#include "monitor/report_dialogs.h"

#include "core/message_ids.h"
#include "link/server_link.h"
#include "model/mirror.h"
#include "model/statistics.h"
#include "monitor/report_printer.h"
#include "reports/report_file.h"
#include "shell/common/chooser.h"
#include "shell/common/link_waker.h"
#include "shell/common/prompter.h"
#include "shell/common/record_fetch.h"
#include "shell/common/shell_context.h"

#include <ctime>

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace mirx::monitor {
namespace {

constexpr const char* kPrintCaption = QT_TRANSLATE_NOOP("mirx::monitor::ReportDialog", "Print");
constexpr const char* kPdfCaption = QT_TRANSLATE_NOOP("mirx::monitor::ReportDialog", "Save as PDF");
constexpr const char* kSaveCaption =
    QT_TRANSLATE_NOOP("mirx::monitor::CReportConnectionStatusDlg", "Save");
constexpr int kTextPointSize = 10;

std::tm now() {
    return reports::reportLocalTime(std::time(nullptr));
}

// `path`, with `suffix` added when the name typed has none.
QString withSuffix(const QString& path, const QString& suffix) {
    return QFileInfo(path).suffix().isEmpty() ? path + '.' + suffix : path;
}

} // namespace

// --- ReportDialog ---

QString ReportDialog::applicationName() {
    return printedApplicationName();
}

ReportDialog::ReportDialog(shell::ShellContext& context, shell::ViewKey key, QString pdfName,
                           QWidget* parent)
    : ViewDialog(context, key, parent)
    , pdfName_(std::move(pdfName)) {
    auto* frame = new QGroupBox(tr("Report"), this);
    text_ = new QPlainTextEdit(frame);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font(QStringLiteral("Courier New"), kTextPointSize);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    text_->setFont(font);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(text_);

    progress_ = new QLabel(this);
    print_ = new QPushButton(tr("Print"), this);
    pdf_ = new QPushButton(tr("Save as PDF..."), this);
    preview_ = new QPushButton(tr("Preview"), this);
    ok_ = new QPushButton(tr("OK"), this);
    for (QPushButton* button : {print_, pdf_, preview_}) {
        button->setEnabled(false);
    }
    connect(print_, &QPushButton::clicked, this, [this] { printReport(); });
    connect(pdf_, &QPushButton::clicked, this, [this] { choosePdf(); });
    connect(preview_, &QPushButton::clicked, this, [this] { showPreview(); });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    buttons_ = new QHBoxLayout;
    buttons_->addWidget(print_);
    buttons_->addWidget(pdf_);
    buttons_->addWidget(preview_);
    buttons_->addStretch();
    buttons_->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addWidget(progress_);
    layout->addLayout(buttons_);
    resize(900, 560);
}

QPrintPreviewDialog* ReportDialog::previewDialog() const {
    return previewDialog_;
}

void ReportDialog::addButton(QPushButton* button) {
    buttons_->insertWidget(1, button);
    button->setEnabled(gathered_);
}

void ReportDialog::showProgress(const QString& text) {
    progress_->setText(text);
}

void ReportDialog::showReport(std::string text) {
    reportText_ = std::move(text);
    gathered_ = true;
    progress_->clear();
    progress_->hide();
    // One insertion, so the box lays the text out once.
    text_->setPlainText(
        QString::fromUtf8(reportText_.data(), static_cast<qsizetype>(reportText_.size())));
    text_->moveCursor(QTextCursor::Start);
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setEnabled(true);
    }
}

QStringList ReportDialog::reportLines() const {
    return monitor::reportLines(reportText_);
}

bool ReportDialog::printReport() {
    if (!gathered_) {
        return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(applicationName());
    if (!shell::chooserOf(context()).choosePrinter(this, printer)) {
        return false;
    }
    if (CPrinter(applicationName()).print(printer, reportLines()) == 0) {
        context().prompter.tell(this, tr(kPrintCaption),
                                tr("The report could not be printed on %1.")
                                    .arg(printer.outputFileName().isEmpty()
                                             ? printer.printerName()
                                             : printer.outputFileName()),
                                shell::PromptIcon::Error);
        return false;
    }
    return true;
}

void ReportDialog::choosePdf() {
    const QString path = shell::chooserOf(context()).chooseFileToSave(
        this, tr(kPdfCaption), pdfName_, tr("PDF Files (*.pdf)"));
    if (!path.isEmpty()) {
        savePdf(withSuffix(path, QStringLiteral("pdf")));
    }
}

bool ReportDialog::savePdf(const QString& path) {
    const QString error = printPdf(path, applicationName(), reportLines());
    if (error.isEmpty()) {
        return true;
    }
    context().prompter.tell(this, tr(kPdfCaption),
                            tr("The report could not be saved to %1: %2").arg(path, error),
                            shell::PromptIcon::Error);
    return false;
}

void ReportDialog::showPreview() {
    if (!gathered_) {
        return;
    }
    auto* dialog = new QPrintPreviewDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(windowTitle());
    connect(dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* printer) {
        printer->setDocName(applicationName());
        CPrinter(applicationName()).print(*printer, reportLines());
    });
    previewDialog_ = dialog;
    dialog->open();
}

// --- connection status ---

CReportConnectionStatusDlg::CReportConnectionStatusDlg(shell::ShellContext& context,
                                                       QWidget* parent)
    : ReportDialog(context, shell::ViewKey::ReportConnectionStatus,
                   QStringLiteral("ConnectionStatus.pdf"), parent)
    , answers_(context.mirror.flags().statistics) {
    save_ = new QPushButton(tr("Save"), this);
    addButton(save_);
    connect(save_, &QPushButton::clicked, this, [this] { chooseAndSave(); });
    restorePosition();

    showProgress(tr("Asking the server for the clients' connection status..."));
    fetch_ = new shell::RecordFetch(this);
    CMessageQueue& queue = context.link.requestQueue();
    fetch_->setSteps({{tr("the clients' connection status"),
                       [this, &queue] {
                           answers_.catchUp();
                           const auto request = model::encodeStatisticsRequest();
                           return queue.PostCopy(msg::ADMIN_CLIENT_STATISTICS_REQUEST, 0,
                                                 request.data(), request.size());
                       },
                       [this] {
                           return answers_.take();
                       }}});
    connect(fetch_, &shell::RecordFetch::failed, this, &CReportConnectionStatusDlg::giveUp);
    connect(fetch_, &shell::RecordFetch::ready, this, [this] {
        const std::tm time = now();
        showReport(this->context().mirror.read([&](const model::MirrorData& d) {
            return reports::connectionStatusReport(d.labels, d.statistics, time);
        }));
    });
    fetch_->start();
}

CReportConnectionStatusDlg::~CReportConnectionStatusDlg() = default;

void CReportConnectionStatusDlg::closing(int) {
    fetch_->cancel();
}

void CReportConnectionStatusDlg::chooseAndSave() {
    // The chooser asks before an existing file is replaced.
    const QString path = shell::chooserOf(context()).chooseFileToSave(
        this, tr(kSaveCaption), QString::fromLatin1(reports::kConnectionStatusFileName),
        tr("Text Files (*.txt)"));
    if (!path.isEmpty()) {
        saveText(withSuffix(path, QStringLiteral("txt")));
    }
}

bool CReportConnectionStatusDlg::saveText(const QString& path) {
    const std::string error =
        reports::saveReportFile(QFile::encodeName(path).toStdString(), reportText());
    if (error.empty()) {
        return true;
    }
    context().prompter.tell(this, tr(kSaveCaption), QString::fromStdString(error),
                            shell::PromptIcon::Error);
    return false;
}

// --- party line membership and selector assignments ---

SelectorReportDialog::SelectorReportDialog(shell::ShellContext& context, shell::ViewKey key,
                                           QString pdfName, QWidget* parent)
    : ReportDialog(context, key, std::move(pdfName), parent) {
    restorePosition();
    gathering_ = std::make_unique<reports::SelectorGathering>(context.mirror.read(
        [](const model::MirrorData& d) { return reports::selectorReportClients(d.labels); }));
    fetch_ = new shell::RecordFetch(this);
    // A report of a thousand clients asks a thousand times in a row: each
    // answer is taken as it is stored, not at the fetch's next poll.
    waker_ = new shell::LinkWaker(context.link, this);
    connect(waker_, &shell::LinkWaker::changed, fetch_, &shell::RecordFetch::checkNow);
    // On a near server the next answer usually comes before this thread
    // could fall asleep and be woken again.
    fetch_->setQuickWait([&link = context.link, seen = context.link.ChangeCount()]() mutable {
        return link.WaitForChange(seen, kQuickWaitLimit, link::ServerLink::kAnswerSpin);
    });
    // An answer comes from the event loop, so the next request can go at
    // once; after a failure it goes from the event loop, so a run of refused
    // requests never nests one inside the other.
    connect(fetch_, &shell::RecordFetch::ready, this, &SelectorReportDialog::askNext);
    connect(fetch_, &shell::RecordFetch::failed, this, [this] {
        gathering_->giveUp();
        QTimer::singleShot(0, this, &SelectorReportDialog::askNext);
    });
    // Once the view is whole: the last step writes the text through the
    // view's own reportFor().
    QTimer::singleShot(0, this, &SelectorReportDialog::askNext);
    // Told a few times a second, not once per answer.
    showGatherProgress();
    progressTimer_ = viewTimer(kProgressMs, [this] { showGatherProgress(); });
}

void SelectorReportDialog::showGatherProgress() {
    if (!gathering_->done()) {
        showProgress(tr("Gathering %1 of %2 clients...")
                         .arg(gathering_->doneCount() + 1)
                         .arg(gathering_->clientCount()));
    }
}

SelectorReportDialog::~SelectorReportDialog() = default;

void SelectorReportDialog::setAnswerTimeoutMs(int ms) {
    fetch_->setTimeoutMs(ms);
}

void SelectorReportDialog::closing(int) {
    fetch_->cancel();
    stopWaking();
}

void SelectorReportDialog::stopWaking() {
    if (waker_ != nullptr) {
        waker_->deleteLater();
        waker_ = nullptr;
    }
}

void SelectorReportDialog::askNext() {
    if (closed()) {
        return;
    }
    const std::optional<int> client = gathering_->awaited();
    if (!client) {
        finish();
        return;
    }
    CMessageQueue& queue = context().link.requestQueue();
    model::Mirror& mirror = context().mirror;
    reports::SelectorGathering& gathering = *gathering_;
    const auto index = static_cast<std::uint16_t>(*client);
    // Nothing counts until asked: the fetch looks once before its request.
    answer_.emplace(index);
    const auto ask = [this, &queue, &mirror, index] {
        answer_->asking(mirror.clientFlags());
        return queue.PostCopy(msg::ADMIN_SELECTOR_ASSIGNMENTS_REQUEST, index, nullptr, 0);
    };
    // Only an answer for this client counts (another view may be asking for
    // others); one that another client's answer displaced before it was
    // taken is asked for again.
    fetch_->setSteps({{tr("the selector assignments of client %1").arg(*client), ask,
                       [this, ask, &mirror, &gathering] {
                           if (!answer_->answered(mirror.clientFlags())) {
                               return false;
                           }
                           if (mirror.read([&](const model::MirrorData& d) {
                                   return gathering.takeFrom(d.clients);
                               })) {
                               return true;
                           }
                           ask();
                           return false;
                       }}});
    fetch_->start();
}

void SelectorReportDialog::finish() {
    stopWaking();
    progressTimer_->stop();
    const std::tm time = now();
    showReport(context().mirror.read([&](const model::MirrorData& d) {
        return reportFor(d.labels, gathering_->gathered(), time);
    }));
}

CReportPartyLineMembershipDlg::CReportPartyLineMembershipDlg(shell::ShellContext& context,
                                                             QWidget* parent)
    : SelectorReportDialog(context, shell::ViewKey::ReportPartyLineMembership,
                           QStringLiteral("PartyLineMembership.pdf"), parent) {}

std::string CReportPartyLineMembershipDlg::reportFor(const model::LabelTable& labels,
                                                     const reports::GatheredSelectors& gathered,
                                                     const std::tm& time) const {
    return reports::partyLineMembershipReport(labels, gathered, time);
}

CReportSelectorAssignmentsDlg::CReportSelectorAssignmentsDlg(shell::ShellContext& context,
                                                             QWidget* parent)
    : SelectorReportDialog(context, shell::ViewKey::ReportSelectorAssignments,
                           QStringLiteral("SelectorAssignments.pdf"), parent) {}

std::string CReportSelectorAssignmentsDlg::reportFor(const model::LabelTable& labels,
                                                     const reports::GatheredSelectors& gathered,
                                                     const std::tm& time) const {
    return reports::selectorAssignmentsReport(labels, gathered, time);
}

} // namespace mirx::monitor
