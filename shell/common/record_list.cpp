#include "shell/common/record_list.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

namespace mirx::shell {

RecordListModel::RecordListModel(std::span<const ListColumn> columns, QObject* parent)
    : QAbstractTableModel(parent)
    , columns_(columns) {}

QString RecordListModel::filterText(int row) const {
    QStringList texts;
    for (int column = 0; column < columnCount(); ++column) {
        texts << text(row, column);
    }
    return texts.join(QLatin1Char('\n'));
}

QVariant RecordListModel::cellData(int, int, int) const {
    return {};
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case kKeyRole:
        return rowKey(index.row());
    default:
        return cellData(index.row(), index.column(), role);
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    return tr(columns_[static_cast<std::size_t>(section)].title);
}

RecordListProxy::RecordListProxy(RecordListModel* model, QObject* parent)
    : QSortFilterProxyModel(parent)
    , model_(model) {
    setSourceModel(model);
    // The model's own compare decides, with the row order as the tie-break
    // (Qt sorts stably).
    setDynamicSortFilter(true);
}

void RecordListProxy::setFilterWords(const QString& text) {
    words_ = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    invalidateFilter();
}

bool RecordListProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return model_->compare(left.row(), right.row(), left.column()) < 0;
}

bool RecordListProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (words_.isEmpty()) {
        return true;
    }
    const QString text = model_->filterText(sourceRow);
    for (const QString& word : words_) {
        if (!text.contains(word, Qt::CaseInsensitive)) {
            return false;
        }
    }
    return true;
}

RecordListView::RecordListView(RecordListModel* model, QWidget* parent)
    : QWidget(parent)
    , model_(model) {
    proxy_ = new RecordListProxy(model, this);

    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText(tr("Type to narrow the list"));
    filter_->setClearButtonEnabled(true);
    filter_->setAccessibleName(tr("Filter"));
    auto* filterLabel = new QLabel(tr("&Filter:"), this);
    filterLabel->setBuddy(filter_);

    table_ = new QTableView(this);
    table_->setModel(proxy_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(true);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    // Unsorted, in the model's order, until a header is clicked.
    table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table_->setSortingEnabled(true);
    table_->horizontalHeader()->setSortIndicatorShown(true);
    const auto columns = model->columns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        table_->horizontalHeader()->resizeSection(static_cast<int>(i), columns[i].width);
    }
    table_->installEventFilter(this);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(filter_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filterRow);
    layout->addWidget(table_, 1);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        const qint64 key = selectedKey();
        proxy_->setFilterWords(text);
        if (key != RecordListModel::kNoKey) {
            selectKey(key);
        }
    });
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { keptKey_ = selectedKey(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        if (keptKey_ != RecordListModel::kNoKey) {
            selectKey(keptKey_);
        }
        keptKey_ = RecordListModel::kNoKey;
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { emit selectionChanged(selectedKey()); });
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        emit activated(index.data(RecordListModel::kKeyRole).toLongLong());
    });
}

qint64 RecordListView::selectedKey() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return RecordListModel::kNoKey;
    }
    return rows.front().data(RecordListModel::kKeyRole).toLongLong();
}

bool RecordListView::selectKey(qint64 key) {
    for (int row = 0; row < proxy_->rowCount(); ++row) {
        const QModelIndex index = proxy_->index(row, 0);
        if (index.data(RecordListModel::kKeyRole).toLongLong() == key) {
            table_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
            table_->scrollTo(index);
            return true;
        }
    }
    return false;
}

QList<qint64> RecordListView::shownKeys() const {
    QList<qint64> keys;
    keys.reserve(proxy_->rowCount());
    for (int row = 0; row < proxy_->rowCount(); ++row) {
        keys << proxy_->index(row, 0).data(RecordListModel::kKeyRole).toLongLong();
    }
    return keys;
}

void RecordListView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The list, not its filter, has the focus when its view opens. Not by
    // making the table this widget's focus proxy: Tab would then skip the
    // filter.
    if (!shown_) {
        shown_ = true;
        if (window()->focusWidget() == nullptr) {
            table_->setFocus(Qt::OtherFocusReason);
        }
    }
}

bool RecordListView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            selectedKey() != RecordListModel::kNoKey) {
            emit activated(selectedKey());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace mirx::shell
