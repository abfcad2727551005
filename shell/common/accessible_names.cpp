#include "shell/common/accessible_names.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QWidget>

namespace mirx::shell {
namespace {

QString spokenText(QString text) {
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':'))) {
        text.chop(1);
    }
    return text.trimmed();
}

void nameIfUnnamed(QWidget& widget, const QString& text) {
    const QString spoken = spokenText(text);
    if (widget.accessibleName().isEmpty() && !spoken.isEmpty()) {
        widget.setAccessibleName(spoken);
    }
}

} // namespace

void nameControls(QWidget& root) {
    // Labels first: a field named by its label wins over anything else.
    for (QLabel* label : root.findChildren<QLabel*>()) {
        if (QWidget* buddy = label->buddy()) {
            nameIfUnnamed(*buddy, label->text());
        }
    }
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>()) {
        nameIfUnnamed(*button, button->text());
    }
    for (QGroupBox* group : root.findChildren<QGroupBox*>()) {
        nameIfUnnamed(*group, group->title());
    }
}

} // namespace mirx::shell
