#include "shell/common/accessible_names.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextEdit>
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
    // A list or text box without a label of its own is named by the box
    // around it ("Client List", "Report").
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        const bool namedByBox = (qobject_cast<QAbstractItemView*>(widget) != nullptr &&
                                 qobject_cast<QHeaderView*>(widget) == nullptr) ||
                                qobject_cast<QPlainTextEdit*>(widget) != nullptr ||
                                qobject_cast<QTextEdit*>(widget) != nullptr;
        if (!namedByBox || !widget->accessibleName().isEmpty()) {
            continue;
        }
        for (QWidget* up = widget->parentWidget(); up != nullptr && up != &root;
             up = up->parentWidget()) {
            if (auto* group = qobject_cast<QGroupBox*>(up)) {
                nameIfUnnamed(*widget, group->title());
                break;
            }
        }
    }
}

} // namespace mirx::shell
