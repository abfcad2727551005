#pragma once

#include "reports/text_table.h"

#include <functional>
#include <map>

#include <QObject>
#include <QString>

class QPushButton;
class QWidget;

namespace mirx::shell {
class Prompter;
class RecordListView;
} // namespace mirx::shell

namespace mirx::monitor {

// "Copy" and "Save as CSV..." under a list: both take the rows and columns
// the list shows, in its order and after its filter box.
class ListExport final : public QObject {
    Q_OBJECT
public:
    // Asks where to save; an empty text cancels. Tests replace it.
    using FileChooser = std::function<QString(QWidget* parent, const QString& suggestedName)>;

    ListExport(shell::RecordListView* list, shell::Prompter& prompter, QString suggestedName,
               QWidget* parent);

    QPushButton* copyButton() const { return copy_; }
    QPushButton* saveButton() const { return save_; }
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
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
    shell::Prompter& prompter_;
    QString suggestedName_;
    QWidget* parent_;
    QPushButton* copy_;
    QPushButton* save_;
    FileChooser chooser_;
    std::map<int, QString> titles_;
};

} // namespace mirx::monitor
