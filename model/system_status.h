#pragma once

#include "model/record.h"

#include <cstdint>

// The server's status, answered to the once-a-second status poll
// (ADMIN_SYSTEM_STATUS_RESPONSE, 6005). The main window colours its fields
// from these values.

namespace mirx::model {

enum class FailoverState : std::uint8_t {
    NotConfigured = 1,
    PrimaryActiveSecondaryOffline = 2,
    PrimaryActiveSecondaryStandby = 3,
    PrimaryOfflineSecondaryActive = 4,
    PrimaryStandbySecondaryActive = 5,
};

// States 4 and 5: the secondary server is the one the clients talk to.
constexpr bool secondaryActive(std::uint8_t failoverState) {
    return failoverState ==
               static_cast<std::uint8_t>(FailoverState::PrimaryOfflineSecondaryActive) ||
           failoverState == static_cast<std::uint8_t>(FailoverState::PrimaryStandbySecondaryActive);
}

// The same codes for the RTS and the Delec trunk; "master" is the Oratis
// for Delec.
enum class TrunkState : std::uint8_t {
    NotConfigured = 1,
    MasterOffline = 2,
    MasterOnline = 3,
};

struct SystemStatus : rec::Record<25> {
    static constexpr rec::Scalar<std::int64_t> kUpTimeSeconds{0};
    static constexpr rec::Scalar<std::uint16_t> kActiveConnections{8};
    static constexpr rec::Scalar<std::uint16_t> kActiveAudioInputs{10};
    static constexpr rec::Scalar<std::uint16_t> kActiveAudioOutputs{12};
    static constexpr rec::Scalar<std::uint8_t> kProcessorPercent{14};
    static constexpr rec::Scalar<std::uint8_t> kSecondProcessorPercent{15};
    static constexpr rec::Scalar<std::uint8_t> kFailoverState{16};
    static constexpr rec::Bytes kNotUsed{17, 2};
    static constexpr rec::Scalar<std::uint8_t> kRtsTrunkState{19};
    static constexpr rec::Scalar<std::uint8_t> kRtsTrunksActive{20};
    static constexpr rec::Scalar<std::uint8_t> kRtsTrunksConfigured{21};
    static constexpr rec::Scalar<std::uint8_t> kDelecTrunkState{22};
    static constexpr rec::Scalar<std::uint8_t> kDelecTrunksActive{23};
    static constexpr rec::Scalar<std::uint8_t> kDelecTrunksConfigured{24};
};

static_assert(rec::fits(SystemStatus::kUpTimeSeconds, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kActiveConnections, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kActiveAudioInputs, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kActiveAudioOutputs, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kProcessorPercent, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kSecondProcessorPercent, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kFailoverState, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kNotUsed, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kRtsTrunkState, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kRtsTrunksActive, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kRtsTrunksConfigured, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kDelecTrunkState, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kDelecTrunksActive, SystemStatus::kSize));
static_assert(rec::fits(SystemStatus::kDelecTrunksConfigured, SystemStatus::kSize));

} // namespace mirx::model
