#include "shell/common/mnemonics.h"

#include <optional>
#include <vector>

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

namespace mirx::shell {
namespace {

// The letter after a single ampersand, if any.
std::optional<QChar> mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) {
            continue;
        }
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return std::nullopt;
}

bool canCarryMnemonic(const QString& text) {
    return !text.isEmpty() && !text.contains(QLatin1Char('<'));
}

} // namespace

QString withMnemonic(const QString& text, QSet<QChar>& taken) {
    if (const auto existing = mnemonicOf(text)) {
        taken.insert(*existing);
        return text;
    }
    auto pick = [&](bool wordStartsOnly) -> qsizetype {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            const bool wordStart = i == 0 || !text[i - 1].isLetterOrNumber();
            if (c.isLetterOrNumber() && c.unicode() < 128 && (wordStart || !wordStartsOnly) &&
                !taken.contains(c.toLower())) {
                return i;
            }
        }
        return -1;
    };
    qsizetype at = pick(true);
    if (at < 0) {
        at = pick(false);
    }
    if (at < 0) {
        return text;
    }
    taken.insert(text[at].toLower());
    QString result = text;
    result.insert(at, QLatin1Char('&'));
    return result;
}

void assignMnemonics(QWidget& root) {
    std::vector<QAbstractButton*> buttons;
    std::vector<QLabel*> labels;
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>()) {
        if (button->window() == &root && canCarryMnemonic(button->text())) {
            buttons.push_back(button);
        }
    }
    for (QLabel* label : root.findChildren<QLabel*>()) {
        if (label->window() == &root && label->buddy() != nullptr &&
            label->textFormat() != Qt::RichText && canCarryMnemonic(label->text())) {
            labels.push_back(label);
        }
    }
    // Mnemonics set by hand are claimed before any is chosen.
    QSet<QChar> taken;
    for (QAbstractButton* button : buttons) {
        if (const auto existing = mnemonicOf(button->text())) {
            taken.insert(*existing);
        }
    }
    for (QLabel* label : labels) {
        if (const auto existing = mnemonicOf(label->text())) {
            taken.insert(*existing);
        }
    }
    for (QLabel* label : labels) {
        label->setText(withMnemonic(label->text(), taken));
    }
    for (QAbstractButton* button : buttons) {
        button->setText(withMnemonic(button->text(), taken));
    }
}

} // namespace mirx::shell
