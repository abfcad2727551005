#pragma once

#include <optional>

#include <QColor>
#include <QString>

class QWidget;

// The platform's colour and file choosers go through a Chooser, so tests
// pick colours and files without a modal dialog.

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
    // Where to save, starting at `suggested`; empty when cancelled.
    virtual QString chooseFileToSave(QWidget* parent, const QString& caption,
                                     const QString& suggested, const QString& filter) = 0;
};

// QColorDialog and QFileDialog, modal to `parent`.
class DialogChooser final : public Chooser {
public:
    std::optional<QColor> chooseColour(QWidget* parent, const QColor& current) override;
    QString chooseFileToOpen(QWidget* parent, const QString& caption,
                             const QString& filter) override;
    QString chooseFileToSave(QWidget* parent, const QString& caption, const QString& suggested,
                             const QString& filter) override;
};

// The context's chooser, or the platform dialogs when it has none.
Chooser& chooserOf(const ShellContext& context);

} // namespace mirx::shell
