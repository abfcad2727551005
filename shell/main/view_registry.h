#pragma once

#include "shell/common/view_table.h"

#include <functional>
#include <map>

#include <QDialog>

namespace mirx::shell {

struct ShellContext;

// The views the main window opens, by their key in the view table. Each
// view registers its factory; until then the button opens a placeholder.
class ViewRegistry {
public:
    using Factory = std::function<QDialog*(ShellContext&, QWidget* parent)>;

    void add(ViewKey key, Factory factory) { factories_[key] = std::move(factory); }
    bool has(ViewKey key) const { return factories_.contains(key); }
    // The registered view, or a placeholder with the view's caption when
    // none is registered or the factory has none to give.
    QDialog* create(ViewKey key, ShellContext& context, QWidget* parent) const;

private:
    std::map<ViewKey, Factory> factories_;
};

} // namespace mirx::shell
