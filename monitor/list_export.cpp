#include "monitor/list_export.h"

#include "shell/common/chooser.h"
#include "shell/common/prompter.h"
#include "shell/common/record_list.h"
#include "shell/common/shell_context.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>

namespace mirx::monitor {
namespace {

constexpr const char* kSaveCaption = "Save as CSV";

std::string utf8(const QString& text) {
    return text.toStdString();
}

} // namespace

ListExport::ListExport(shell::RecordListView* list, shell::ShellContext& context,
                       QString suggestedName, QWidget* parent)
    : QObject(parent)
    , list_(list)
    , context_(context)
    , suggestedName_(std::move(suggestedName))
    , parent_(parent) {
    copy_ = new QPushButton(tr("Copy"), parent);
    save_ = new QPushButton(tr("Save as CSV..."), parent);
    connect(copy_, &QPushButton::clicked, this, [this] { copyToClipboard(); });
    connect(save_, &QPushButton::clicked, this, [this] { chooseAndSave(); });
}

reports::TextTable ListExport::shownTable() const {
    const QTableView* table = list_->table();
    const QAbstractItemModel* model = table->model();
    const QHeaderView* header = table->horizontalHeader();
    std::vector<int> columns;
    reports::TextTable out;
    // Columns in the order the header shows them.
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (table->isColumnHidden(column)) {
            continue;
        }
        columns.push_back(column);
        QString title = model->headerData(column, Qt::Horizontal).toString();
        if (title.isEmpty()) {
            if (const auto it = titles_.find(column); it != titles_.end()) {
                title = it->second;
            }
        }
        out.headers.push_back(utf8(title));
    }
    out.rows.reserve(static_cast<std::size_t>(model->rowCount()));
    for (int row = 0; row < model->rowCount(); ++row) {
        std::vector<std::string> cells;
        cells.reserve(columns.size());
        for (const int column : columns) {
            cells.push_back(utf8(model->index(row, column).data().toString()));
        }
        out.rows.push_back(std::move(cells));
    }
    return out;
}

void ListExport::copyToClipboard() const {
    QGuiApplication::clipboard()->setText(QString::fromStdString(reports::tabText(shownTable())));
}

bool ListExport::saveCsv(const QString& path) const {
    const std::string text = reports::csvText(shownTable());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), static_cast<qint64>(text.size())) ==
            static_cast<qint64>(text.size()) &&
        file.commit()) {
        return true;
    }
    context_.prompter.tell(
        parent_, tr(kSaveCaption),
        tr("The list could not be saved to %1: %2").arg(path, file.errorString()),
        shell::PromptIcon::Error);
    return false;
}

void ListExport::chooseAndSave() const {
    const QString path = shell::chooserOf(context_).chooseFileToSave(
        parent_, tr(kSaveCaption), suggestedName_, tr("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty()) {
        saveCsv(path);
    }
}

} // namespace mirx::monitor
