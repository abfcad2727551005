#include "shell/common/status_palette.h"

#include <QLabel>
#include <QPalette>
#include <QVariant>

namespace mirx::shell {
namespace {

constexpr const char* kColourProperty = "statusColour";

} // namespace

QColor statusBackground(reports::StatusColour colour) {
    switch (colour) {
    case reports::StatusColour::Green:
        return {128, 255, 0};
    case reports::StatusColour::Yellow:
        return {255, 255, 128};
    case reports::StatusColour::Red:
        return {255, 32, 32};
    case reports::StatusColour::Cyan:
        return {0, 255, 255};
    case reports::StatusColour::Default:
        break;
    }
    return {};
}

void paintStatusField(QLabel& label, const reports::StatusField& field) {
    label.setText(QString::fromStdString(field.text));
    label.setProperty(kColourProperty, static_cast<int>(field.colour));
    const QColor background = statusBackground(field.colour);
    if (!background.isValid()) {
        label.setAutoFillBackground(false);
        label.setPalette(QPalette());
        return;
    }
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
    label.setAutoFillBackground(true);
}

reports::StatusColour shownStatusColour(const QLabel& label) {
    const QVariant value = label.property(kColourProperty);
    return value.isValid() ? static_cast<reports::StatusColour>(value.toInt())
                           : reports::StatusColour::Default;
}

} // namespace mirx::shell
