#pragma once

#include "link/settings_store.h"
#include "site/site.h"
#include "tests/support/served_site.h"

// The tests' simulated site, served at once on 127.0.0.1 from a thread of
// this process without keeping its frame log (not what is measured), and a
// settings store pointing the console at it.
struct ServedSite : mirx::test::ServedSite {
    explicit ServedSite(mirx::site::Site served)
        : mirx::test::ServedSite(std::move(served)) {
        setKeepFrameLog(false);
        start();
        pointAt(store);
    }

    mirx::link::MemorySettingsStore store;
};
