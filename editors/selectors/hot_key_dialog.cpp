#include "editors/selectors/hot_key_dialog.h"

#include "model/hot_keys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::editors {

CHotKeySelectionDlg::CHotKeySelectionDlg(shell::ShellContext& context,
                                         const model::HotKeyChoice& start, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::SelectorHotKey, parent) {
    key_ = new QComboBox(this);
    for (const model::HotKeyInfo& info : model::hotKeys()) {
        key_->addItem(QString::fromUtf8(info.name.data(), static_cast<qsizetype>(info.name.size())),
                      int{info.code});
    }
    // A code outside the table selects nothing; OK then keeps it.
    key_->setCurrentIndex(key_->findData(int{start.code}));
    auto* keyLabel = new QLabel(tr("&Key:"), this);
    keyLabel->setBuddy(key_);
    alt_ = new QCheckBox(tr("&Alt"), this);
    ctrl_ = new QCheckBox(tr("C&ontrol"), this);
    shift_ = new QCheckBox(tr("&Shift"), this);
    alt_->setChecked(start.alt);
    ctrl_->setChecked(start.ctrl);
    shift_->setChecked(start.shift);
    clear_ = new QPushButton(tr("C&lear"), this);
    clear_->setAutoDefault(false);
    unlisted_ = key_->currentIndex() < 0 ? start.code : std::uint8_t{0};

    auto* grid = new QGridLayout;
    grid->addWidget(keyLabel, 0, 0);
    grid->addWidget(key_, 0, 1, 1, 3);
    grid->addWidget(alt_, 1, 1);
    grid->addWidget(ctrl_, 1, 2);
    grid->addWidget(shift_, 1, 3);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->addButton(clear_, QDialogButtonBox::ResetRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(clear_, &QPushButton::clicked, this, &CHotKeySelectionDlg::clear);
    connect(key_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            unlisted_ = 0;
        }
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    restorePosition();
}

model::HotKeyChoice CHotKeySelectionDlg::choice() const {
    const QVariant code = key_->currentData();
    return {code.isValid() ? static_cast<std::uint8_t>(code.toInt()) : unlisted_, alt_->isChecked(),
            ctrl_->isChecked(), shift_->isChecked()};
}

void CHotKeySelectionDlg::clear() {
    unlisted_ = 0;
    key_->setCurrentIndex(-1);
    alt_->setChecked(false);
    ctrl_->setChecked(false);
    shift_->setChecked(false);
}

} // namespace mirx::editors
