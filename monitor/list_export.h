#pragma once

#include "reports/text_table.h"

#include <map>

#include <QObject>
#include <QString>

class QPushButton;
class QWidget;

namespace mirx::shell {
class RecordListView;
struct ShellContext;
} // namespace mirx::shell

namespace mirx::monitor {

// "Copy" and "Save as CSV..." under a list: both take the rows and columns
// the list shows, in its order and after its filter box.
class ListExport final : public QObject {
    Q_OBJECT
public:
    // Where to save is asked through the context's chooser; failures are told
    // through its prompter.
    ListExport(shell::RecordListView* list, shell::ShellContext& context, QString suggestedName,
               QWidget* parent);

    QPushButton* copyButton() const { return copy_; }
    QPushButton* saveButton() const { return save_; }
    // The exported title of a column whose list title is empty.
    void setExportTitle(int column, QString title) { titles_[column] = std::move(title); }

    reports::TextTable shownTable() const;
    // Tab-separated lines on the clipboard.
    void copyToClipboard() const;
    // Writes the file whole or not at all; a failure is told.
    bool saveCsv(const QString& path) const;

private:
    void chooseAndSave() const;

    shell::RecordListView* list_;
    shell::ShellContext& context_;
    QString suggestedName_;
    QWidget* parent_;
    QPushButton* copy_;
    QPushButton* save_;
    std::map<int, QString> titles_;
};

} // namespace mirx::monitor
