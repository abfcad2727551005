#pragma once

namespace mirx::shell {
class ViewRegistry;
}

namespace mirx::editors {

// Adds every configuration view this folder has to `views`; the keys it does
// not fill keep opening the placeholder.
void registerEditorViews(shell::ViewRegistry& views);

} // namespace mirx::editors
