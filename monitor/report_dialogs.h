#pragma once

#include "model/mirror.h"
#include "reports/report_texts.h"
#include "reports/selector_gathering.h"
#include "shell/common/view_dialog.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QPointer>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPrintPreviewDialog;
class QHBoxLayout;
class QPushButton;
class QTimer;

namespace mirx::shell {
class LinkWaker;
class RecordFetch;
} // namespace mirx::shell

namespace mirx::monitor {

// What the three report views share: the "Report" frame with its
// fixed-pitch text box, a line saying how far the gathering is, and Print,
// Save as PDF..., Preview and OK. A view gathers its data from the server
// and then shows its text; printing is offered once the text is there.
class ReportDialog : public shell::ViewDialog {
    Q_OBJECT
public:
    // The name every printed page and PDF carries.
    static QString applicationName();

    QPlainTextEdit* textBox() const { return text_; }
    QLabel* progressLabel() const { return progress_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* pdfButton() const { return pdf_; }
    QPushButton* previewButton() const { return preview_; }
    QPushButton* okButton() const { return ok_; }
    // The preview opened last; null before.
    QPrintPreviewDialog* previewDialog() const;

    bool gathered() const { return gathered_; }
    // The report as shown, UTF-8 with "\n" line ends; empty until gathered.
    const std::string& reportText() const { return reportText_; }
    QStringList reportLines() const;

    // Prints to what the chooser sets up; false when cancelled or failed
    // (a failure is told).
    bool printReport();
    // Writes the PDF; a failure is told.
    bool savePdf(const QString& path);
    void showPreview();

protected:
    ReportDialog(shell::ShellContext& context, shell::ViewKey key, QString pdfName,
                 QWidget* parent);

    // Added beside Print by a view that saves its text.
    void addButton(QPushButton* button);
    void showProgress(const QString& text);
    void showReport(std::string text);

private:
    void choosePdf();

    QString pdfName_;
    std::string reportText_;
    bool gathered_ = false;
    QPlainTextEdit* text_ = nullptr;
    QLabel* progress_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* pdf_ = nullptr;
    QPushButton* preview_ = nullptr;
    QPushButton* ok_ = nullptr;
    QHBoxLayout* buttons_ = nullptr;
    QPointer<QPrintPreviewDialog> previewDialog_;
};

// "Connection Status": every client's state, duration, address and version
// from one statistics answer; the text can be saved.
class CReportConnectionStatusDlg final : public ReportDialog {
    Q_OBJECT
public:
    explicit CReportConnectionStatusDlg(shell::ShellContext& context, QWidget* parent = nullptr);
    ~CReportConnectionStatusDlg() override;

    QPushButton* saveButton() const { return save_; }
    shell::RecordFetch* fetch() const { return fetch_; }
    // Writes the text as the saved report; a failure is told.
    bool saveText(const QString& path);

private:
    void chooseAndSave();
    void closing(int result) override;

    shell::RecordFetch* fetch_ = nullptr;
    QPushButton* save_ = nullptr;
    model::ChangeCursor answers_;
};

// The party line membership and selector assignments reports: each client's
// selector record is asked for in turn, each answer awaited; a client that
// does not answer within the fetch's time-out is named in the text as
// missing and the others still show.
class SelectorReportDialog : public ReportDialog {
    Q_OBJECT
public:
    ~SelectorReportDialog() override;

    shell::RecordFetch* fetch() const { return fetch_; }
    // How long each client's answer is awaited from the next request on.
    void setAnswerTimeoutMs(int ms);

protected:
    SelectorReportDialog(shell::ShellContext& context, shell::ViewKey key, QString pdfName,
                         QWidget* parent);

    virtual std::string reportFor(const model::LabelTable& labels,
                                  const reports::GatheredSelectors& gathered,
                                  const std::tm& now) const = 0;

private:
    void askNext();
    void finish();
    void closing(int result) override;
    void stopWaking();
    void showGatherProgress();

    static constexpr int kProgressMs = 200;
    // The longest the view's thread waits for an answer before it lets its
    // event loop run (a far server's answers are awaited there instead).
    static constexpr std::chrono::milliseconds kQuickWaitLimit{1};

    std::unique_ptr<reports::SelectorGathering> gathering_;
    shell::RecordFetch* fetch_ = nullptr;
    shell::LinkWaker* waker_ = nullptr;
    QTimer* progressTimer_ = nullptr;
    // The awaited client's answer.
    std::optional<model::SelectorAnswerWait> answer_;
};

class CReportPartyLineMembershipDlg final : public SelectorReportDialog {
    Q_OBJECT
public:
    explicit CReportPartyLineMembershipDlg(shell::ShellContext& context, QWidget* parent = nullptr);

private:
    std::string reportFor(const model::LabelTable& labels,
                          const reports::GatheredSelectors& gathered,
                          const std::tm& now) const override;
};

class CReportSelectorAssignmentsDlg final : public SelectorReportDialog {
    Q_OBJECT
public:
    explicit CReportSelectorAssignmentsDlg(shell::ShellContext& context, QWidget* parent = nullptr);

private:
    std::string reportFor(const model::LabelTable& labels,
                          const reports::GatheredSelectors& gathered,
                          const std::tm& now) const override;
};

} // namespace mirx::monitor
