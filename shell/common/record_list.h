#pragma once

#include <span>

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QWidget>

class QLineEdit;
class QTableView;

namespace mirx::shell {

struct ListColumn {
    // Untranslated; the model translates it.
    const char* title;
    int width;
};

// The base of every list: rows come from the derived model, the order from
// its one compare function, the filter from its row text. Rows are named by
// a key (a client index, a label number) so a selection outlives refills.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kKeyRole = Qt::UserRole + 1;
    static constexpr qint64 kNoKey = -1;

    RecordListModel(std::span<const ListColumn> columns, QObject* parent = nullptr);

    // What identifies the row across refills.
    virtual qint64 rowKey(int row) const = 0;
    virtual QString text(int row, int column) const = 0;
    // Negative, zero or positive as `left` sorts before, with or after
    // `right` in ascending order of `column`.
    virtual int compare(int left, int right, int column) const = 0;
    // What the filter box matches; every column's text unless overridden.
    virtual QString filterText(int row) const;
    // Colours, fonts and the like for a cell; nothing by default.
    virtual QVariant cellData(int row, int column, int role) const;

    std::span<const ListColumn> columns() const { return columns_; }

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::span<const ListColumn> columns_;
};

// Sorts by the model's compare function and narrows to rows whose text
// holds every word typed into the filter, case-blind.
class RecordListProxy final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit RecordListProxy(RecordListModel* model, QObject* parent = nullptr);
    void setFilterWords(const QString& text);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    RecordListModel* model_;
    QStringList words_;
};

// A list as every view shows one: a filter box above a table with full-row
// selection and grid lines; a header click sorts, a second click reverses;
// the selection is found again by key after every refill.
class RecordListView final : public QWidget {
    Q_OBJECT
public:
    explicit RecordListView(RecordListModel* model, QWidget* parent = nullptr);

    QTableView* table() const { return table_; }
    QLineEdit* filterBox() const { return filter_; }
    RecordListProxy* proxy() const { return proxy_; }

    // kNoKey when nothing is selected.
    qint64 selectedKey() const;
    // Selects the row with that key, if it is shown; false otherwise.
    bool selectKey(qint64 key);
    // Keys of the rows in the order shown.
    QList<qint64> shownKeys() const;

signals:
    void selectionChanged(qint64 key);
    // Double click or Enter on a row.
    void activated(qint64 key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    RecordListModel* model_;
    RecordListProxy* proxy_;
    QLineEdit* filter_;
    QTableView* table_;
    qint64 keptKey_ = RecordListModel::kNoKey;
    bool shown_ = false;
};

} // namespace mirx::shell
