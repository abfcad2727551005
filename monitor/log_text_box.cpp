#include "monitor/log_text_box.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace mirx::monitor {

LogTextBox::LogTextBox(QWidget* parent)
    : QWidget(parent) {
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    // Log lines keep their shape; one block is one line, so the scroll
    // position counts lines and a prepended chunk shifts it by its lines.
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setUndoRedoEnabled(false);
    text_->setAccessibleName(tr("Log"));
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    findBar_ = new QWidget(this);
    auto* label = new QLabel(tr("Find:"), findBar_);
    find_ = new QLineEdit(findBar_);
    label->setBuddy(find_);
    auto* next = new QPushButton(tr("Find Next"), findBar_);
    next->setAutoDefault(false);
    findNote_ = new QLabel(findBar_);
    auto* barLayout = new QHBoxLayout(findBar_);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->addWidget(label);
    barLayout->addWidget(find_, 1);
    barLayout->addWidget(next);
    barLayout->addWidget(findNote_);
    findBar_->hide();
    find_->installEventFilter(this);
    connect(next, &QPushButton::clicked, this, [this] { findNext(); });
    connect(find_, &QLineEdit::textChanged, this, [this] { findNote_->clear(); });

    auto* shortcut = new QShortcut(QKeySequence::Find, this);
    // Anywhere in the view, whichever control has the focus.
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, &LogTextBox::showFind);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_, 1);
    layout->addWidget(findBar_);
}

void LogTextBox::insertChunk(const QString& chunk, bool newer) {
    QTextDocument* document = text_->document();
    QScrollBar* bar = text_->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    const int oldFirstLine = bar->value();
    const int oldLines = document->blockCount();
    const int oldLength = document->characterCount();
    const QTextCursor kept = text_->textCursor();
    const int anchor = kept.anchor();
    const int position = kept.position();

    text_->viewport()->setUpdatesEnabled(false);
    QTextCursor at(document);
    at.movePosition(newer ? QTextCursor::End : QTextCursor::Start);
    at.insertText(chunk);
    const int shift = newer ? 0 : document->characterCount() - oldLength;

    if (following) {
        QTextCursor end(document);
        end.movePosition(QTextCursor::End);
        text_->setTextCursor(end);
        bar->setValue(bar->maximum());
    } else {
        QTextCursor restored(document);
        restored.setPosition(anchor + shift);
        restored.setPosition(position + shift, QTextCursor::KeepAnchor);
        text_->setTextCursor(restored);
        bar->setValue(newer ? oldFirstLine : oldFirstLine + document->blockCount() - oldLines);
    }
    text_->viewport()->setUpdatesEnabled(true);
    text_->viewport()->update();
}

void LogTextBox::showFind() {
    findBar_->show();
    find_->setFocus(Qt::ShortcutFocusReason);
    find_->selectAll();
}

bool LogTextBox::findNext(bool backwards) {
    const QString wanted = find_->text();
    if (wanted.isEmpty()) {
        return false;
    }
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (text_->find(wanted, flags)) {
        findNote_->clear();
        return true;
    }
    // Round the end (or the start) once.
    const QTextCursor before = text_->textCursor();
    QTextCursor from(text_->document());
    from.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
    text_->setTextCursor(from);
    if (text_->find(wanted, flags)) {
        findNote_->clear();
        return true;
    }
    text_->setTextCursor(before);
    findNote_->setText(tr("Not found"));
    return false;
}

bool LogTextBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == find_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            findNext(key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            // Hides the field; the view stays open.
            findBar_->hide();
            text_->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace mirx::monitor
