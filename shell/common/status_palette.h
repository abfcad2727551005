#pragma once

#include "reports/status_text.h"

#include <QColor>

class QLabel;

namespace mirx::shell {

// The background of a coloured status field; invalid for Default.
QColor statusBackground(reports::StatusColour colour);

// Shows the field's text on its colour. Coloured fields take dark text so
// they read the same in light and dark themes; Default gives the field back
// to the palette.
void paintStatusField(QLabel& label, const reports::StatusField& field);

// The colour a field currently shows, for tests and screenshots.
reports::StatusColour shownStatusColour(const QLabel& label);

} // namespace mirx::shell
