#pragma once

#include "site/site.h"

// Built-in sites: a believable venue for demos and tests, and the largest
// configuration the console accepts for load tests.

namespace mirx::sim {

site::Site demoSite();
// 1000 clients, 200 party lines, 100 fixed groups, labels up to 20000.
site::Site maxSite();

} // namespace mirx::sim
