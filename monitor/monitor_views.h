#pragma once

namespace mirx::shell {
class ViewRegistry;
}

namespace mirx::monitor {

// Adds every monitoring view this folder has to `views`; the keys it does
// not fill keep opening the placeholder.
void registerMonitorViews(shell::ViewRegistry& views);

} // namespace mirx::monitor
