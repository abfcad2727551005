#pragma once

#include "shell/common/view_table.h"

#include <QDialog>

namespace mirx::shell {

struct ShellContext;

// Stands in for a view this version does not have yet, so its button can
// already be wired and tested.
class PlaceholderView final : public QDialog {
    Q_OBJECT
public:
    PlaceholderView(ShellContext& context, ViewKey key, QWidget* parent = nullptr);
};

} // namespace mirx::shell
