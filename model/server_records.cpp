#include "core/utf16.h"
#include "model/log_records.h"
#include "model/sip_registrations.h"
#include "model/sound_files.h"
#include "model/statistics.h"
#include "model/system_settings.h"
#include "model/system_status.h"
#include "model/ui_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace mirx::model {
namespace {

std::array<std::uint8_t, 2> twoBytes(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
}

std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return rec::get(bytes, rec::Scalar<std::uint16_t>{offset});
}

} // namespace

// --- IPv4 ---

std::string formatIpv4(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address & 0xFFu, (address >> 8) & 0xFFu,
                  (address >> 16) & 0xFFu, address >> 24);
    return text;
}

std::optional<std::uint32_t> parseIpv4(std::string_view text) {
    std::uint32_t address = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part != 0) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        const std::size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        const std::size_t digits = pos - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) {
            return std::nullopt;
        }
        address |= static_cast<std::uint32_t>(value) << (8 * part);
    }
    if (pos != text.size() || address == 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return address;
}

// --- server file lists and uploads ---

FileNameList decodeFileNameList(std::span<const std::uint8_t> payload, std::size_t capacity) {
    FileNameList list;
    if (payload.size() < 2) {
        return list;
    }
    list.claimedCount = readU16(payload, 0);
    const std::size_t present = (payload.size() - 2) / kServerFileNameBytes;
    const std::size_t taken = std::min({std::size_t{list.claimedCount}, present, capacity});
    list.names.reserve(taken);
    for (std::size_t i = 0; i < taken; ++i) {
        list.names.push_back(
            rec::get(payload, rec::Utf16Text{2 + i * kServerFileNameBytes, kServerFileNameUnits}));
    }
    return list;
}

std::vector<std::uint8_t> encodeFileNameList(std::span<const std::string> names) {
    const std::size_t count = std::min<std::size_t>(names.size(), 0xFFFF);
    std::vector<std::uint8_t> out(2 + count * kServerFileNameBytes, 0);
    rec::set(std::span<std::uint8_t>(out), rec::Scalar<std::uint16_t>{0},
             static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        rec::set(std::span<std::uint8_t>(out),
                 rec::Utf16Text{2 + i * kServerFileNameBytes, kServerFileNameUnits}, names[i]);
    }
    return out;
}

std::vector<std::uint8_t>
encodeFileUpload(std::string_view name, std::span<const std::uint8_t> data, std::size_t maxData) {
    const std::size_t length = std::min(data.size(), maxData);
    FileUploadHead head;
    head.set(FileUploadHead::kFileName, name);
    head.set(FileUploadHead::kLength, static_cast<std::uint32_t>(length));
    std::vector<std::uint8_t> out(FileUploadHead::kSize + length);
    std::memcpy(out.data(), head.data(), FileUploadHead::kSize);
    if (length != 0) {
        std::memcpy(out.data() + FileUploadHead::kSize, data.data(), length);
    }
    return out;
}

std::optional<FileUpload> decodeFileUpload(std::span<const std::uint8_t> payload,
                                           std::size_t maxData) {
    if (payload.size() < FileUploadHead::kSize) {
        return std::nullopt;
    }
    const std::uint32_t length = rec::get(payload, FileUploadHead::kLength);
    if (length > maxData || length > payload.size() - FileUploadHead::kDataOffset) {
        return std::nullopt;
    }
    return FileUpload{rec::get(payload, FileUploadHead::kFileName),
                      payload.subspan(FileUploadHead::kDataOffset, length)};
}

// --- statistics ---

std::array<std::uint8_t, 2> encodeStatisticsRequest() {
    return twoBytes(0);
}

std::array<std::uint8_t, 2> encodeStatisticsReset(std::int16_t clientIndex) {
    return twoBytes(static_cast<std::uint16_t>(clientIndex));
}

ClientStatistics StatisticsTable::client(std::size_t index) const {
    ClientStatistics entry;
    if (index < kClients) {
        entry.assignPrefix(view().subspan(kClientsOffset + index * ClientStatistics::kSize,
                                          ClientStatistics::kSize));
    }
    return entry;
}

void StatisticsTable::setClient(std::size_t index, const ClientStatistics& entry) {
    if (index < kClients) {
        std::copy(entry.bytes.begin(), entry.bytes.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(kClientsOffset +
                                                              index * ClientStatistics::kSize));
    }
}

std::size_t storeStatistics(StatisticsTable& table, std::span<const std::uint8_t> payload) {
    std::size_t copied = table.assignPrefix(payload);
    std::size_t entries = 0;
    if (copied >= StatisticsTable::kClientsOffset) {
        // An entry cut short would show its first fields with the rest zero
        // (an on-line client without counters or address): drop it whole.
        entries = (copied - StatisticsTable::kClientsOffset) / ClientStatistics::kSize;
        copied = StatisticsTable::kClientsOffset + entries * ClientStatistics::kSize;
    }
    std::fill(table.bytes.begin() + static_cast<std::ptrdiff_t>(copied), table.bytes.end(),
              std::uint8_t{0});
    return entries;
}

ClientVersion unpackClientVersion(std::uint32_t v) {
    ClientVersion version;
    if (v > 0x0FFFFFFFu) {
        version.major = static_cast<int>(v >> 28);
        version.minor = static_cast<int>((v >> 24) & 0xF);
        version.build = static_cast<int>((v >> 20) & 0xF);
        version.revision = static_cast<int>((v >> 8) & 0xFFF);
        version.platform = static_cast<int>((v >> 4) & 0xF);
        version.releaseKind = static_cast<int>(v & 0xF);
    } else {
        version.major = static_cast<int>(v >> 24);
        version.minor = static_cast<int>((v >> 16) & 0xFF);
        version.build = static_cast<int>((v >> 8) & 0xFF);
        version.revision = static_cast<int>(v & 0xFF);
        version.platform = 15;
        version.releaseKind = version.revision == 0 ? 3 : version.revision == 255 ? 0 : 2;
    }
    return version;
}

std::uint32_t packClientVersion(const ClientVersion& version) {
    const auto field = [](int value, unsigned bits, unsigned shift) {
        return (static_cast<std::uint32_t>(value) & ((1u << bits) - 1)) << shift;
    };
    return field(version.major, 4, 28) | field(version.minor, 4, 24) | field(version.build, 4, 20) |
           field(version.revision, 12, 8) | field(version.platform, 4, 4) |
           field(version.releaseKind, 4, 0);
}

std::string_view platformName(int platform) {
    static constexpr std::array<std::string_view, 7> kNames{
        "Windows x86", "Windows CE", "iOS", "Droid", "MAC", "Linux", "Windows x64"};
    if (platform < 0 || static_cast<std::size_t>(platform) >= kNames.size()) {
        return "Unknown";
    }
    return kNames[static_cast<std::size_t>(platform)];
}

std::string clientVersionText(const ClientVersion& version) {
    const std::string platform(platformName(version.platform));
    char text[96];
    std::snprintf(text, sizeof text, "%d.%d.%d-%d (%s)", version.major, version.minor,
                  version.build, version.revision, platform.c_str());
    return text;
}

// --- logs and debug filters ---

std::array<std::uint8_t, 2> encodeLogRequest(LogRequest request) {
    return twoBytes(static_cast<std::uint16_t>(request));
}

std::optional<LogChunk> decodeLogChunk(std::span<const std::uint8_t> payload) {
    if (payload.size() < kLogChunkTextOffset) {
        return std::nullopt;
    }
    LogChunk chunk;
    chunk.timeStamp = rec::get(payload, rec::Scalar<std::int64_t>{0});
    const std::size_t sent = payload.size() - kLogChunkTextOffset;
    chunk.textBytes = std::min(sent, kLogTextCapacityBytes);
    std::u16string units(chunk.textBytes / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(readU16(payload, kLogChunkTextOffset + 2 * i));
    }
    // A cut that falls inside a surrogate pair drops its first half.
    if (sent > chunk.textBytes && !units.empty() && units.back() >= 0xD800 &&
        units.back() <= 0xDBFF) {
        units.pop_back();
        chunk.textBytes -= 2;
    }
    chunk.text = text::toUtf8(units);
    return chunk;
}

std::vector<std::uint8_t> encodeLogChunk(std::int64_t timeStamp, std::string_view utf8) {
    std::vector<std::uint8_t> out(kLogChunkTextOffset, 0);
    rec::set(std::span<std::uint8_t>(out), rec::Scalar<std::int64_t>{0}, timeStamp);
    std::string units;
    text::appendUtf16le(units, utf8);
    out.insert(out.end(), units.begin(), units.end());
    return out;
}

std::array<std::uint8_t, 2> encodeGetDebugFilterRequest() {
    return twoBytes(0);
}

std::vector<std::uint32_t> decodeDebugFilterList(std::uint16_t count,
                                                 std::span<const std::uint8_t> payload) {
    const std::size_t taken =
        std::min({std::size_t{count}, payload.size() / 4, kDebugFilterListCapacity});
    std::vector<std::uint32_t> words(taken);
    for (std::size_t i = 0; i < taken; ++i) {
        words[i] = rec::get(payload, rec::Scalar<std::uint32_t>{4 * i});
    }
    return words;
}

DebugFilterListPayload encodeDebugFilterList(std::span<const std::uint32_t> words) {
    const std::size_t count = std::min(words.size(), kDebugFilterListCapacity);
    DebugFilterListPayload out;
    out.count = static_cast<std::uint16_t>(count);
    out.payload.resize(4 * count);
    for (std::size_t i = 0; i < count; ++i) {
        rec::set(std::span<std::uint8_t>(out.payload), rec::Scalar<std::uint32_t>{4 * i}, words[i]);
    }
    return out;
}

// --- SIP registrations ---

std::array<std::uint8_t, 2> encodeSipRegistrationsRequest() {
    return twoBytes(0);
}

SipRegistrationList decodeSipRegistrations(std::span<const std::uint8_t> payload) {
    SipRegistrationList list;
    if (payload.size() < 2) {
        return list;
    }
    list.claimedCount = static_cast<std::int16_t>(readU16(payload, 0));
    if (list.claimedCount <= 0 || payload.size() < kSipRegistrationsHeadBytes) {
        return list;
    }
    const std::size_t present =
        (payload.size() - kSipRegistrationsHeadBytes) / SipRegistration::kSize;
    const std::size_t taken =
        std::min({static_cast<std::size_t>(list.claimedCount), present, kSipRegistrationCapacity});
    list.entries.resize(taken);
    for (std::size_t i = 0; i < taken; ++i) {
        list.entries[i].assignPrefix(payload.subspan(
            kSipRegistrationsHeadBytes + i * SipRegistration::kSize, SipRegistration::kSize));
    }
    return list;
}

std::vector<std::uint8_t> encodeSipRegistrations(std::span<const SipRegistration> entries) {
    const std::size_t count =
        std::min<std::size_t>(entries.size(), std::numeric_limits<std::int16_t>::max());
    std::vector<std::uint8_t> out(kSipRegistrationsHeadBytes, 0);
    rec::set(std::span<std::uint8_t>(out), rec::Scalar<std::int16_t>{0},
             static_cast<std::int16_t>(count));
    out.reserve(kSipRegistrationsHeadBytes + count * SipRegistration::kSize);
    for (std::size_t i = 0; i < count; ++i) {
        out.insert(out.end(), entries[i].bytes.begin(), entries[i].bytes.end());
    }
    return out;
}

} // namespace mirx::model
