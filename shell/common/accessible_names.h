#pragma once

class QWidget;

namespace mirx::shell {

// Gives every control under `root` that has no accessible name one, so that
// screen readers and test robots find it by what it shows: a button by its
// caption, a field by the label that names it (its buddy), a group by its
// title, a list or text box without a label by the group it sits in.
// Mnemonic ampersands and a trailing colon are left out. Names set by hand
// are kept.
void nameControls(QWidget& root);

} // namespace mirx::shell
