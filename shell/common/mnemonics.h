#pragma once

#include <QSet>
#include <QString>

class QWidget;

namespace mirx::shell {

// `text` with an ampersand before the first letter not in `taken` (the first
// letter of a word preferred), which is then added to `taken`. A text that
// already has a mnemonic keeps it; a text with no free letter is returned as
// it is.
QString withMnemonic(const QString& text, QSet<QChar>& taken);

// Gives every button and every label that names a field (its buddy) under
// `root` a mnemonic of its own: the ones set by hand stay, the rest get a
// free letter in creation order.
void assignMnemonics(QWidget& root);

} // namespace mirx::shell
