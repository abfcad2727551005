#include "shell/common/chooser.h"

#include "shell/common/shell_context.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace mirx::shell {

std::optional<QColor> DialogChooser::chooseColour(QWidget* parent, const QColor& current) {
    const QColor chosen = QColorDialog::getColor(current, parent);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return chosen;
}

QString DialogChooser::chooseFileToOpen(QWidget* parent, const QString& caption,
                                        const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, {}, filter);
}

QString DialogChooser::chooseFileToSave(QWidget* parent, const QString& caption,
                                        const QString& suggested, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

bool DialogChooser::choosePrinter(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dialog.exec() == QDialog::Accepted;
}

Chooser& chooserOf(const ShellContext& context) {
    static DialogChooser platform;
    return context.chooser != nullptr ? *context.chooser : platform;
}

} // namespace mirx::shell
