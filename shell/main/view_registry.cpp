#include "shell/main/view_registry.h"

#include "shell/main/placeholder_view.h"

namespace mirx::shell {

QDialog* ViewRegistry::create(ViewKey key, ShellContext& context, QWidget* parent) const {
    if (const auto it = factories_.find(key); it != factories_.end() && it->second) {
        if (QDialog* view = it->second(context, parent)) {
            return view;
        }
    }
    return new PlaceholderView(context, key, parent);
}

} // namespace mirx::shell
