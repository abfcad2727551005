#pragma once

#include "model/record.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

// Payloads of the identification and update exchange (message IDs 0 to 8),
// little-endian. Versions travel packed (link/app_version.h). Each
// fromPayload() is a bounded decoder: it copies at most the record's size,
// and bytes a short payload does not carry read as 0.

namespace mirx::link {

// Who we are, in every request of the exchange.
inline constexpr std::uint32_t kConsoleApplicationId = 0x28CFA05A;

// Servers whose compatibility answer we take at its word.
inline constexpr std::array<std::uint32_t, 4> kAcceptedServerIds{
    0x0B23A16D,
    0x364D4602,
    0x58EB009C,
    0xE992A923,
};

// Data bytes in every block but a component's last.
inline constexpr std::size_t kBlockDataSize = 16350;

// Launch modes of a component: any non-zero mode marks the installer.
inline constexpr std::uint8_t kLaunchPlainFile = 0;
inline constexpr std::uint8_t kLaunchInstaller = 1;
// The installer is started with the console's own command line.
inline constexpr std::uint8_t kLaunchInstallerWithCommandLine = 2;

constexpr bool isInstaller(std::uint8_t launchMode) {
    return launchMode != kLaunchPlainFile;
}

// APPLICATION_ID (server, any time) and APPLICATION_COMPATIBILITY_REQUEST
// (console) share one layout: an identifier and a packed version.
struct ApplicationIdentity : rec::Record<8> {
    static constexpr rec::Scalar<std::uint32_t> kIdentifier{0};
    static constexpr rec::Scalar<std::uint32_t> kPackedVersion{4};

    static ApplicationIdentity fromPayload(std::span<const std::uint8_t> payload) {
        ApplicationIdentity r;
        r.assignPrefix(payload);
        return r;
    }
    static ApplicationIdentity make(std::uint32_t identifier, std::uint32_t packedVersion) {
        ApplicationIdentity r;
        r.set(kIdentifier, identifier);
        r.set(kPackedVersion, packedVersion);
        return r;
    }
};
static_assert(rec::endOf(ApplicationIdentity::kPackedVersion) == ApplicationIdentity::kSize);

using ApplicationId = ApplicationIdentity;
using CompatibilityRequest = ApplicationIdentity;

// APPLICATION_COMPATIBILITY_RESPONSE. A payload of kNeitherSize bytes says
// neither compatible nor update available and carries no version.
struct CompatibilityResponse : rec::Record<10> {
    static constexpr std::size_t kNeitherSize = 2;

    static constexpr rec::Scalar<std::uint32_t> kServerIdentifier{0};
    static constexpr rec::Scalar<std::uint32_t> kServerVersion{4};
    static constexpr rec::Scalar<std::uint8_t> kCompatible{8};
    static constexpr rec::Scalar<std::uint8_t> kUpdateAvailable{9};

    static CompatibilityResponse fromPayload(std::span<const std::uint8_t> payload) {
        CompatibilityResponse r;
        r.assignPrefix(payload);
        return r;
    }
    static CompatibilityResponse make(std::uint32_t serverIdentifier, std::uint32_t serverVersion,
                                      std::uint8_t compatible, std::uint8_t updateAvailable) {
        CompatibilityResponse r;
        r.set(kServerIdentifier, serverIdentifier);
        r.set(kServerVersion, serverVersion);
        r.set(kCompatible, compatible);
        r.set(kUpdateAvailable, updateAvailable);
        return r;
    }
};
static_assert(rec::endOf(CompatibilityResponse::kUpdateAvailable) == CompatibilityResponse::kSize);

// APPLICATION_INFO_REQUEST.
struct InfoRequest : rec::Record<4> {
    static constexpr rec::Scalar<std::uint32_t> kIdentifier{0};

    static InfoRequest fromPayload(std::span<const std::uint8_t> payload) {
        InfoRequest r;
        r.assignPrefix(payload);
        return r;
    }
    static InfoRequest make() {
        InfoRequest r;
        r.set(kIdentifier, kConsoleApplicationId);
        return r;
    }
};
static_assert(rec::endOf(InfoRequest::kIdentifier) == InfoRequest::kSize);

// APPLICATION_INFO_RESPONSE: what the update holds.
struct InfoResponse : rec::Record<11> {
    static constexpr rec::Scalar<std::uint32_t> kNewVersion{0};
    // All components together, in bytes.
    static constexpr rec::Scalar<std::uint32_t> kTotalSize{4};
    static constexpr rec::Scalar<std::uint16_t> kComponentCount{8};
    static constexpr rec::Scalar<std::uint8_t> kAskUser{10};

    static InfoResponse fromPayload(std::span<const std::uint8_t> payload) {
        InfoResponse r;
        r.assignPrefix(payload);
        return r;
    }
    static InfoResponse make(std::uint32_t newVersion, std::uint32_t totalSize,
                             std::uint16_t componentCount, std::uint8_t askUser) {
        InfoResponse r;
        r.set(kNewVersion, newVersion);
        r.set(kTotalSize, totalSize);
        r.set(kComponentCount, componentCount);
        r.set(kAskUser, askUser);
        return r;
    }
};
static_assert(rec::endOf(InfoResponse::kAskUser) == InfoResponse::kSize);

// APPLICATION_COMPONENT_INFO_REQUEST.
struct ComponentInfoRequest : rec::Record<8> {
    static constexpr rec::Scalar<std::uint32_t> kIdentifier{0};
    static constexpr rec::Scalar<std::uint16_t> kComponentIndex{4};
    static constexpr rec::Scalar<std::uint16_t> kZero{6};

    static ComponentInfoRequest fromPayload(std::span<const std::uint8_t> payload) {
        ComponentInfoRequest r;
        r.assignPrefix(payload);
        return r;
    }
    static ComponentInfoRequest make(std::uint16_t componentIndex) {
        ComponentInfoRequest r;
        r.set(kIdentifier, kConsoleApplicationId);
        r.set(kComponentIndex, componentIndex);
        return r;
    }
};
static_assert(rec::endOf(ComponentInfoRequest::kZero) == ComponentInfoRequest::kSize);

// APPLICATION_COMPONENT_INFO_RESPONSE.
struct ComponentInfoResponse : rec::Record<209> {
    static constexpr std::size_t kFileNameMaxChars = 100;

    // Sent by the server, not used by the console.
    static constexpr rec::Scalar<std::uint16_t> kUnused{0};
    // Always terminated: 100 characters and a terminator.
    static constexpr rec::Utf16Text kFileName{2, kFileNameMaxChars + 1, kFileNameMaxChars};
    static constexpr rec::Scalar<std::uint32_t> kFileSize{204};
    static constexpr rec::Scalar<std::uint8_t> kLaunchMode{208};

    static ComponentInfoResponse fromPayload(std::span<const std::uint8_t> payload) {
        ComponentInfoResponse r;
        r.assignPrefix(payload);
        return r;
    }
    // Returns the record even when the name had to be cut to 100 characters.
    static ComponentInfoResponse make(std::string_view fileName, std::uint32_t fileSize,
                                      std::uint8_t launchMode) {
        ComponentInfoResponse r;
        r.set(kFileName, fileName);
        r.set(kFileSize, fileSize);
        r.set(kLaunchMode, launchMode);
        return r;
    }
};
static_assert(rec::endOf(ComponentInfoResponse::kFileName) ==
              ComponentInfoResponse::kFileSize.offset);
static_assert(rec::endOf(ComponentInfoResponse::kLaunchMode) == ComponentInfoResponse::kSize);

// APPLICATION_COMPONENT_BLOCK_REQUEST.
struct BlockRequest : rec::Record<8> {
    static constexpr rec::Scalar<std::uint32_t> kIdentifier{0};
    static constexpr rec::Scalar<std::uint16_t> kComponentIndex{4};
    static constexpr rec::Scalar<std::uint16_t> kBlockNumber{6};

    static BlockRequest fromPayload(std::span<const std::uint8_t> payload) {
        BlockRequest r;
        r.assignPrefix(payload);
        return r;
    }
    static BlockRequest make(std::uint16_t componentIndex, std::uint16_t blockNumber) {
        BlockRequest r;
        r.set(kIdentifier, kConsoleApplicationId);
        r.set(kComponentIndex, componentIndex);
        r.set(kBlockNumber, blockNumber);
        return r;
    }
};
static_assert(rec::endOf(BlockRequest::kBlockNumber) == BlockRequest::kSize);

// APPLICATION_COMPONENT_BLOCK_RESPONSE: a fixed head, then the data.
struct BlockResponseHead : rec::Record<4> {
    static constexpr rec::Scalar<std::uint16_t> kBlockNumber{0};
    static constexpr rec::Scalar<std::uint16_t> kByteCount{2};
    static constexpr std::size_t kDataOffset = 4;
};
static_assert(rec::endOf(BlockResponseHead::kByteCount) == BlockResponseHead::kDataOffset);

inline constexpr std::size_t kMaxBlockResponseSize =
    BlockResponseHead::kDataOffset + kBlockDataSize;

struct BlockResponse {
    std::uint16_t blockNumber = 0;
    // As the server stated it; the download counts this many bytes written.
    std::uint16_t byteCount = 0;
    // The data actually present: byteCount bytes, fewer when the payload
    // ends early. Points into the decoded payload.
    std::span<const std::uint8_t> data;
};

inline BlockResponse decodeBlockResponse(std::span<const std::uint8_t> payload) {
    BlockResponseHead head;
    head.assignPrefix(payload);
    BlockResponse out;
    out.blockNumber = head.get(BlockResponseHead::kBlockNumber);
    out.byteCount = head.get(BlockResponseHead::kByteCount);
    if (payload.size() > BlockResponseHead::kDataOffset) {
        const std::span<const std::uint8_t> rest = payload.subspan(BlockResponseHead::kDataOffset);
        out.data = rest.first(std::min<std::size_t>(rest.size(), out.byteCount));
    }
    return out;
}

// At most kBlockDataSize bytes of `data` are sent; the byte count says how
// many.
inline std::vector<std::uint8_t> encodeBlockResponse(std::uint16_t blockNumber,
                                                     std::span<const std::uint8_t> data) {
    const std::size_t count = std::min(data.size(), kBlockDataSize);
    BlockResponseHead head;
    head.set(BlockResponseHead::kBlockNumber, blockNumber);
    head.set(BlockResponseHead::kByteCount, static_cast<std::uint16_t>(count));
    // Sized once and filled: g++ 12 misreads a growing insert here at -O2.
    std::vector<std::uint8_t> out(BlockResponseHead::kSize + count);
    std::memcpy(out.data(), head.data(), BlockResponseHead::kSize);
    if (count != 0) {
        std::memcpy(out.data() + BlockResponseHead::kSize, data.data(), count);
    }
    return out;
}

} // namespace mirx::link
