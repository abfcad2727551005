#include "shell/main/placeholder_view.h"

#include "shell/common/shell_context.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace mirx::shell {

PlaceholderView::PlaceholderView(ShellContext& context, ViewKey key, QWidget* parent)
    : QDialog(parent) {
    const QString caption = viewCaption(key);
    setWindowTitle(viewTitle(key, context.profile));
    auto* text = new QLabel(
        tr("%1 is not available in this version of the console yet.").arg(caption), this);
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

} // namespace mirx::shell
