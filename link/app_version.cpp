#include "link/app_version.h"

#include "link/update_records.h"

#include <algorithm>
#include <array>

namespace mirx::link {

namespace {

constexpr std::array<std::string_view, 7> kPlatformNames{
    "Windows x86", "Windows CE", "iOS", "Droid", "MAC", "Linux", "Windows x64",
};

} // namespace

std::uint32_t AppVersion::pack() const {
    return (static_cast<std::uint32_t>(major & 0xFu) << 28) |
           (static_cast<std::uint32_t>(minor & 0xFu) << 24) |
           (static_cast<std::uint32_t>(revision & 0xFu) << 20) |
           (static_cast<std::uint32_t>(build & 0xFFFu) << 8) |
           (static_cast<std::uint32_t>(platform & 0xFu) << 4) |
           static_cast<std::uint32_t>(buildKind & 0xFu);
}

AppVersion unpack(std::uint32_t packed) {
    AppVersion v;
    if (packed <= kOlderFormMax) {
        v.major = static_cast<std::uint8_t>(packed >> 24);
        v.minor = static_cast<std::uint8_t>(packed >> 16);
        v.revision = static_cast<std::uint8_t>(packed >> 8);
        v.build = static_cast<std::uint8_t>(packed);
        v.platform = kPlatformOlderForm;
        // The older form marked its kind through the build byte alone.
        BuildKind kind = BuildKind::PreRelease;
        if (v.build == 0) {
            kind = BuildKind::Private;
        } else if (v.build == 255) {
            kind = BuildKind::Release;
        }
        v.buildKind = static_cast<std::uint8_t>(kind);
        return v;
    }
    v.major = static_cast<std::uint8_t>(packed >> 28);
    v.minor = static_cast<std::uint8_t>((packed >> 24) & 0xFu);
    v.revision = static_cast<std::uint8_t>((packed >> 20) & 0xFu);
    v.build = static_cast<std::uint16_t>((packed >> 8) & 0xFFFu);
    v.platform = static_cast<std::uint8_t>((packed >> 4) & 0xFu);
    v.buildKind = static_cast<std::uint8_t>(packed & 0xFu);
    return v;
}

std::string_view platformName(std::uint8_t platform) {
    return platform < kPlatformNames.size() ? kPlatformNames[platform] : std::string_view{};
}

bool isRecentEnoughServer(const AppVersion& v) {
    if (v.major != 5) {
        return v.major > 5;
    }
    if (v.minor != 6) {
        return v.minor > 6;
    }
    return v.revision != 0;
}

bool isAcceptedServer(std::uint32_t identifier, std::uint32_t packedVersion) {
    const bool known = std::find(kAcceptedServerIds.begin(), kAcceptedServerIds.end(),
                                 identifier) != kAcceptedServerIds.end();
    return known && isRecentEnoughServer(unpack(packedVersion));
}

CompatibilityVerdict judgeCompatibility(std::span<const std::uint8_t> payload) {
    CompatibilityVerdict out;
    if (payload.size() == CompatibilityResponse::kNeitherSize) {
        return out;
    }
    const auto r = CompatibilityResponse::fromPayload(payload);
    out.carriesVersion = true;
    out.serverIdentifier = r.get(CompatibilityResponse::kServerIdentifier);
    out.serverVersion = r.get(CompatibilityResponse::kServerVersion);
    out.statedCompatible = r.get(CompatibilityResponse::kCompatible);
    out.statedUpdateAvailable = r.get(CompatibilityResponse::kUpdateAvailable);
    if (isAcceptedServer(out.serverIdentifier, out.serverVersion)) {
        out.compatible = out.statedCompatible;
        out.updateAvailable = out.statedUpdateAvailable;
    }
    return out;
}

std::uint32_t totalBlocks(std::uint32_t totalSize) {
    return totalSize / static_cast<std::uint32_t>(kBlockDataSize) + 1;
}

} // namespace mirx::link
