#pragma once

namespace mirx::shell {

class ViewRegistry;

// Adds the views the shell itself has (command files) to `views`.
void registerShellViews(ViewRegistry& views);

} // namespace mirx::shell
