#include "editors/options/options_differences_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirx::editors {

COptionsDifferencesDlg::COptionsDifferencesDlg(shell::ShellContext& context, const QString& client,
                                               const QString& differences, QWidget* parent)
    : ViewDialog(context, shell::ViewKey::ClientOptionsDifferences, parent) {
    auto* line = new QLabel(client);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_ = new QPlainTextEdit(differences);
    text_->setReadOnly(true);
    // Read-only still selects and copies from the keyboard.
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setAccessibleName(tr("Differences from the default"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setText(tr("Close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(line);
    layout->addWidget(text_, 1);
    layout->addWidget(buttons);
    resize(560, 320);
    restorePosition();
}

} // namespace mirx::editors
