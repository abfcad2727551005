#include "shell/main/view_registry.h"

#include "shell/main/placeholder_view.h"

namespace mirx::shell {

QDialog* ViewRegistry::create(ViewKey key, ShellContext& context, QWidget* parent) const {
    if (const auto it = factories_.find(key); it != factories_.end() && it->second) {
        return it->second(context, parent);
    }
    return new PlaceholderView(context, key, parent);
}

} // namespace mirx::shell
