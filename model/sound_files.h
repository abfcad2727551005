#pragma once

#include "model/record.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Files that live on the server: the lists of their names the server sends
// and the uploads the console sends. Sound files (ADMIN_CLIENT_OPTIONS_INFO_
// RESPONSE 6058, ADMIN_CLIENT_OPTIONS_FILE_UPLOAD 6059) and graphic files
// (model/ui_settings.h) use the same two layouts and differ only in limits.
//
// Name list:  u16 count, then count names of 21 UTF-16 units (42 bytes).
// Upload:     48-byte head (name, 2 zero bytes, u32 length), then the bytes.

namespace mirx::model {

inline constexpr std::size_t kServerFileNameUnits = 21;
inline constexpr std::size_t kServerFileNameBytes = 2 * kServerFileNameUnits;
// A name picked from disk that is longer is refused before upload.
inline constexpr std::size_t kServerFileNameMaxChars = 20;

struct FileNameList {
    std::vector<std::string> names;
    // The count the sender claimed; more than names.size() when the list was
    // cut at the console's capacity or the payload ended early.
    std::uint16_t claimedCount = 0;

    bool cut() const { return claimedCount > names.size(); }
};

// Reads at most `capacity` names and never past `payload`; a payload too
// short for the count gives an empty list.
FileNameList decodeFileNameList(std::span<const std::uint8_t> payload, std::size_t capacity);
// Every name, each cut to 20 characters; more than 65535 names are not sent.
std::vector<std::uint8_t> encodeFileNameList(std::span<const std::string> names);

struct FileUploadHead : rec::Record<48> {
    static constexpr rec::Utf16Text kFileName{0, kServerFileNameUnits};
    static constexpr rec::Bytes kNotUsed{42, 2};
    static constexpr rec::Scalar<std::uint32_t> kLength{44};
    static constexpr std::size_t kDataOffset = 48;
};

static_assert(rec::fits(FileUploadHead::kFileName, FileUploadHead::kSize));
static_assert(rec::fits(FileUploadHead::kNotUsed, FileUploadHead::kSize));
static_assert(rec::fits(FileUploadHead::kLength, FileUploadHead::kSize));
static_assert(rec::endOf(FileUploadHead::kLength) == FileUploadHead::kDataOffset);

// Head and at most `maxData` bytes of `data`: a longer file goes up as its
// first `maxData` bytes, and the length field says so.
std::vector<std::uint8_t> encodeFileUpload(std::string_view name,
                                           std::span<const std::uint8_t> data, std::size_t maxData);

struct FileUpload {
    std::string name;
    std::span<const std::uint8_t> data; // inside the decoded payload
};

// Refuses a payload shorter than its head, a length above `maxData`, and a
// length the payload does not hold: a partial file is never stored.
// Bytes after `length` are ignored.
std::optional<FileUpload> decodeFileUpload(std::span<const std::uint8_t> payload,
                                           std::size_t maxData);

// --- sound files ---

// The console keeps at most 50 names (2102 bytes); the server does not bound
// its list, so a longer one is cut here.
inline constexpr std::size_t kSoundFileListCapacity = 50;
inline constexpr std::size_t kSoundFileListBytes =
    2 + kSoundFileListCapacity * kServerFileNameBytes;
static_assert(kSoundFileListBytes == 2102);
inline constexpr std::size_t kMaxSoundFileBytes = 480000;

inline FileNameList decodeSoundFileList(std::span<const std::uint8_t> payload) {
    return decodeFileNameList(payload, kSoundFileListCapacity);
}
inline std::vector<std::uint8_t> encodeSoundFileUpload(std::string_view name,
                                                       std::span<const std::uint8_t> data) {
    return encodeFileUpload(name, data, kMaxSoundFileBytes);
}
inline std::optional<FileUpload> decodeSoundFileUpload(std::span<const std::uint8_t> payload) {
    return decodeFileUpload(payload, kMaxSoundFileBytes);
}

} // namespace mirx::model
