#pragma once

#include "model/record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Per-client connection and audio statistics: the request and reset payloads
// (6032, 6031) and the table the server answers with (6033), one 80-byte
// entry per client index.

namespace mirx::model {

// 6032 ADMIN_CLIENT_STATISTICS_REQUEST: the 16-bit value 0.
std::array<std::uint8_t, 2> encodeStatisticsRequest();

// 6031 ADMIN_CLIENT_STATISTICS_RESET: a client index, or kResetAllClients.
inline constexpr std::int16_t kResetAllClients = -1;
std::array<std::uint8_t, 2> encodeStatisticsReset(std::int16_t clientIndex);

enum class BatteryState : std::uint8_t {
    Discharging = 1,
    Charging = 2,
    ChargingToo = 3, // shown as charging as well
};

struct ClientStatistics : rec::Record<80> {
    static constexpr rec::Scalar<std::uint8_t> kFlags{0};
    static constexpr unsigned kFlagOnline = 0;
    static constexpr rec::Scalar<std::uint8_t> kProcessorPercent{1};
    static constexpr rec::Scalar<std::uint8_t> kSecondProcessorPercent{2};
    static constexpr rec::Scalar<std::uint8_t> kClippingCount{3};
    // Server time; 0 = never seen.
    static constexpr rec::Scalar<std::int64_t> kLastChangeTime{4};
    static constexpr rec::Scalar<std::int32_t> kDisconnectEvents{12};
    // Up to the start of the current off-line period.
    static constexpr rec::Scalar<std::int64_t> kDisconnectedSeconds{16};
    static constexpr rec::Scalar<std::uint32_t> kSendDelivered{24};
    static constexpr rec::Scalar<std::uint32_t> kSendLost{28};
    static constexpr rec::Scalar<std::uint32_t> kReceiveDelivered{32};
    static constexpr rec::Scalar<std::uint32_t> kReceiveLost{36};
    static constexpr rec::Scalar<std::uint32_t> kReceiveBytesBeforeDecoding{40};
    static constexpr rec::Scalar<std::uint32_t> kSendBytesAfterEncoding{44};
    static constexpr rec::Scalar<std::uint16_t> kUnderrunCount{48};
    static constexpr rec::Scalar<std::int16_t> kSendJitterPeakMs{50};
    static constexpr rec::Scalar<std::uint8_t> kRabap{52};
    static constexpr rec::Scalar<std::uint8_t> kSabap{53};
    static constexpr rec::Scalar<std::uint16_t> kRapdfrs{54};
    static constexpr rec::Scalar<std::uint32_t> kAddress{56};
    // Packed, see unpackClientVersion; 0 = unknown.
    static constexpr rec::Scalar<std::uint32_t> kVersion{60};
    static constexpr rec::Scalar<std::int16_t> kSendJitterBufferMs{64};
    static constexpr rec::Scalar<std::int16_t> kReceiveJitterPeakMs{66};
    static constexpr rec::Scalar<std::int16_t> kReceiveJitterBufferMs{68};
    static constexpr rec::Scalar<std::uint8_t> kBatteryPercent{70};
    static constexpr rec::Scalar<std::uint8_t> kBatteryState{71};
    static constexpr rec::Bytes kNotUsed{72, 8};

    // Processor and battery figures.
    static constexpr std::uint8_t kPercentNotAvailable = 255;
    // Jitter figures.
    static constexpr std::int16_t kMsNotAvailable = -1;

    bool online() const { return testBit(kFlags, kFlagOnline); }
};

static_assert(rec::fits(ClientStatistics::kFlags, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kProcessorPercent, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kSecondProcessorPercent, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kClippingCount, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kLastChangeTime, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kDisconnectEvents, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kDisconnectedSeconds, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kSendDelivered, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kSendLost, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kReceiveDelivered, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kReceiveLost, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kReceiveBytesBeforeDecoding, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kSendBytesAfterEncoding, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kUnderrunCount, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kSendJitterPeakMs, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kRabap, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kSabap, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kRapdfrs, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kAddress, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kVersion, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kSendJitterBufferMs, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kReceiveJitterPeakMs, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kReceiveJitterBufferMs, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kBatteryPercent, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kBatteryState, ClientStatistics::kSize));
static_assert(rec::fits(ClientStatistics::kNotUsed, ClientStatistics::kSize));

// The whole answer: a 12-byte head and one entry per client index 0..999.
// Large (80012 bytes): keep it static or on the heap.
struct StatisticsTable : rec::Record<12 + 1000 * ClientStatistics::kSize> {
    static constexpr rec::Bytes kNotUsed{0, 4};
    static constexpr rec::Scalar<std::int64_t> kServerTime{4};
    static constexpr std::size_t kClientsOffset = 12;
    static constexpr std::size_t kClients = 1000;

    ClientStatistics client(std::size_t index) const;
    void setClient(std::size_t index, const ClientStatistics& entry);
};

static_assert(StatisticsTable::kSize == 80012);
static_assert(rec::fits(StatisticsTable::kNotUsed, StatisticsTable::kSize));
static_assert(rec::fits(StatisticsTable::kServerTime, StatisticsTable::kSize));
static_assert(StatisticsTable::kClientsOffset +
                  StatisticsTable::kClients * ClientStatistics::kSize ==
              StatisticsTable::kSize);

// Stores a received 6033 payload. The server does not bound it: anything past
// the table's 80012 bytes is dropped. Entries the payload does not reach in
// full are cleared, so a short answer shows those clients as never seen
// rather than with an earlier answer's figures or half an entry. Returns the
// complete entries received.
std::size_t storeStatistics(StatisticsTable& table, std::span<const std::uint8_t> payload);

// --- packed client software version ---

struct ClientVersion {
    int major = 0;
    int minor = 0;
    int build = 0;
    int revision = 0;
    int platform = 0;
    int releaseKind = 0;

    friend bool operator==(const ClientVersion&, const ClientVersion&) = default;
};

// Two packings: above 0x0FFFFFFF 4/4/4/12/4/4 bits (major..release kind);
// otherwise the older 8/8/8/8 bits with platform 15 and the release kind
// derived from the revision.
ClientVersion unpackClientVersion(std::uint32_t packed);
// The newer packing; fields are cut to their bit widths.
std::uint32_t packClientVersion(const ClientVersion& version);

// "Windows x86" .. "Windows x64" for 0..6; "Unknown" for the rest, which
// includes the older packing's 15.
std::string_view platformName(int platform);

// "%d.%d.%d-%d (%s)" of major, minor, build, revision and the platform name.
std::string clientVersionText(const ClientVersion& version);
inline std::string clientVersionText(std::uint32_t packed) {
    return clientVersionText(unpackClientVersion(packed));
}

} // namespace mirx::model
