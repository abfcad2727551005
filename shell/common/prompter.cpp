#include "shell/common/prompter.h"

#include <QMessageBox>

namespace mirx::shell {

bool MessageBoxPrompter::ask(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxPrompter::tell(QWidget* parent, const QString& caption, const QString& text,
                              PromptIcon icon) {
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    switch (icon) {
    case PromptIcon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case PromptIcon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case PromptIcon::Error:
        boxIcon = QMessageBox::Critical;
        break;
    case PromptIcon::Question:
        boxIcon = QMessageBox::Question;
        break;
    }
    QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace mirx::shell
