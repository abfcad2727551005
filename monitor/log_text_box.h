#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace mirx::monitor {

// The read-only text of a server log, growing at both ends, with a find
// field (Ctrl+F; Enter finds the next match, Shift+Enter the previous one,
// Escape hides it).
class LogTextBox final : public QWidget {
    Q_OBJECT
public:
    explicit LogTextBox(QWidget* parent = nullptr);

    // Inserts a chunk after the text (newer) or before it (older). A reader
    // who scrolled up keeps the same lines in view and their selection; a
    // reader at the end follows the log.
    void insertChunk(const QString& text, bool newer);

    QPlainTextEdit* text() const { return text_; }
    QLineEdit* findField() const { return find_; }
    // "Not found" while the find text is not in the log.
    QLabel* findNote() const { return findNote_; }

    void showFind();
    // Selects the next (or previous) match of the find text, from the caret
    // round to where it started; false when there is none.
    bool findNext(bool backwards = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* text_;
    QWidget* findBar_;
    QLineEdit* find_;
    QLabel* findNote_;
};

} // namespace mirx::monitor
