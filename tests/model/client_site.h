#pragma once

#include "model/mirror.h"
#include "site/site.h"
#include "site/site_builder.h"

#include <cstdint>
#include <memory>

// A site's labels and credentials as the console's mirror holds them after
// the configuration download.

namespace mirx::model::test {

inline std::unique_ptr<MirrorData> loadSite(const site::Site& site) {
    auto data = std::make_unique<MirrorData>();
    for (const auto& [number, label] : site.labels) {
        data->labels.Store(static_cast<std::uint16_t>(number), label.view());
    }
    for (const auto& [index, credentials] : site.credentials) {
        data->clients.ReceiveCredentials(static_cast<std::uint16_t>(index), credentials.view());
    }
    return data;
}

inline LabelInfo& labelOf(site::Site& site, int number) {
    return site.labels.at(number);
}

} // namespace mirx::model::test
