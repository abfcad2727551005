#include "shell/main/view_registry.h"

#include "shell/main/placeholder_view.h"

#include <algorithm>

namespace mirx::shell {

const ViewEntry& viewEntry(ViewKey key) {
    return *std::find_if(kViewEntries.begin(), kViewEntries.end(),
                         [key](const ViewEntry& entry) { return entry.key == key; });
}

QDialog* ViewRegistry::create(ViewKey key, ShellContext& context, QWidget* parent) const {
    if (const auto it = factories_.find(key); it != factories_.end() && it->second) {
        return it->second(context, parent);
    }
    return new PlaceholderView(context, QString::fromLatin1(viewEntry(key).caption), parent);
}

} // namespace mirx::shell
