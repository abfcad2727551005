#pragma once

#include "link/app_version.h"

// This console's own version, from the build's project version.

namespace mirx::link {

inline AppVersion consoleVersion() {
    AppVersion v;
    v.major = MIRX_VERSION_MAJOR;
    v.minor = MIRX_VERSION_MINOR;
    v.revision = MIRX_VERSION_PATCH;
    return v;
}

inline const char* consoleVersionText() {
    return MIRX_VERSION_TEXT;
}

} // namespace mirx::link
