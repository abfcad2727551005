#pragma once

#include <optional>

#include <QColor>
#include <QString>

class QPrinter;
class QWidget;

// The platform's colour, file and printer choosers go through a Chooser, so
// tests pick colours, files and printers without a modal dialog.

namespace mirx::shell {

struct ShellContext;

class Chooser {
public:
    virtual ~Chooser() = default;
    // Opens fully, preset with `current`; nothing when cancelled.
    virtual std::optional<QColor> chooseColour(QWidget* parent, const QColor& current) = 0;
    // A file to open; empty when cancelled. `filter` as QFileDialog takes it.
    virtual QString chooseFileToOpen(QWidget* parent, const QString& caption,
                                     const QString& filter) = 0;
    // Where to save, starting at `suggested`; empty when cancelled. Asks
    // before an existing file is replaced.
    virtual QString chooseFileToSave(QWidget* parent, const QString& caption,
                                     const QString& suggested, const QString& filter) = 0;
    // Sets up `printer` for printing the whole document (no page ranges, no
    // selection); false when cancelled.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;
};

// QColorDialog, QFileDialog and QPrintDialog, modal to `parent`.
class DialogChooser final : public Chooser {
public:
    std::optional<QColor> chooseColour(QWidget* parent, const QColor& current) override;
    QString chooseFileToOpen(QWidget* parent, const QString& caption,
                             const QString& filter) override;
    QString chooseFileToSave(QWidget* parent, const QString& caption, const QString& suggested,
                             const QString& filter) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
};

// The context's chooser, or the platform dialogs when it has none.
Chooser& chooserOf(const ShellContext& context);

} // namespace mirx::shell
