#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Versions travel packed in 32 bits:
//   bits 28-31 major, 24-27 minor, 20-23 revision, 8-19 build (12 bits),
//   4-7 platform, 0-3 build kind.
// A value not above 0x0FFFFFFF is the older form: major, minor, revision and
// build one byte each from the top, with no platform or kind of its own.

namespace mirx::link {

inline constexpr std::uint8_t kPlatformWindowsX86 = 0;
inline constexpr std::uint8_t kPlatformWindowsCe = 1;
inline constexpr std::uint8_t kPlatformIos = 2;
inline constexpr std::uint8_t kPlatformDroid = 3;
inline constexpr std::uint8_t kPlatformMac = 4;
inline constexpr std::uint8_t kPlatformLinux = 5;
inline constexpr std::uint8_t kPlatformWindowsX64 = 6;
// What an older-form value decodes to: it names no platform.
inline constexpr std::uint8_t kPlatformOlderForm = 15;

// The platform field tells the server what the console runs on, so that an
// update it offers is one we can install: we are a Linux build.
inline constexpr std::uint8_t kConsolePlatform = kPlatformLinux;

enum class BuildKind : std::uint8_t {
    Release = 0,
    Debug = 1,
    PreRelease = 2,
    Private = 3,
    Special = 4,
    Inferred = 5,
};

// Largest value that is read as the older form.
inline constexpr std::uint32_t kOlderFormMax = 0x0FFFFFFF;

struct AppVersion {
    std::uint8_t major = 0;    // 4 bits when packed
    std::uint8_t minor = 0;    // 4 bits
    std::uint8_t revision = 0; // 4 bits
    std::uint16_t build = 0;   // 12 bits
    std::uint8_t platform = kConsolePlatform;
    std::uint8_t buildKind = static_cast<std::uint8_t>(BuildKind::Release);

    // The new form; each field is cut to its width. A major of 0 packs to a
    // value that reads back as the older form.
    std::uint32_t pack() const;

    friend bool operator==(const AppVersion&, const AppVersion&) = default;
};

AppVersion unpack(std::uint32_t packed);

// "Windows x86" ... "Windows x64"; empty for a number outside the table
// (the older form's 15 included).
std::string_view platformName(std::uint8_t platform);

// Oldest server version we accept: 5.6.1.
bool isRecentEnoughServer(const AppVersion& version);

// A compatibility answer counts only from one of the known server
// identifiers with a version of at least 5.6.1.
bool isAcceptedServer(std::uint32_t identifier, std::uint32_t packedVersion);

// What an APPLICATION_COMPATIBILITY_RESPONSE payload means to the console.
struct CompatibilityVerdict {
    // False for the 2-byte answer, which carries no server version.
    bool carriesVersion = false;
    std::uint32_t serverIdentifier = 0;
    std::uint32_t serverVersion = 0;
    // As received, for the log line.
    std::uint8_t statedCompatible = 0;
    std::uint8_t statedUpdateAvailable = 0;
    // After the accept rule; 0 when the server is not accepted. Only an
    // update flag of exactly 1 offers an update.
    std::uint8_t compatible = 0;
    std::uint8_t updateAvailable = 0;
};

CompatibilityVerdict judgeCompatibility(std::span<const std::uint8_t> payload);

// Progress steps of a download of `totalSize` bytes: one more than the full
// blocks, so an exact multiple of the block size still gets a final step.
std::uint32_t totalBlocks(std::uint32_t totalSize);

} // namespace mirx::link
