#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mirx::sim {

// Every way the simulator can misbehave, in one place. The transport reads the
// first group; the protocol handler reads the second. The defaults describe a
// well-behaved server.
struct FaultSwitches {
    // Transport.
    // Stop sending anything, keep-alives included, this long after the
    // connection started; 0 = never. The connection itself stays open.
    std::uint32_t silentAfterMs = 0;
    // Check time the simulator announces in its keep-alives. A console that
    // follows the rules adopts it and announces it back, and the simulator's
    // own time-out follows what the console announces.
    std::uint16_t announcedCheckTimeMs = 5000;
    // Close abruptly when the Nth frame (keep-alives not counted) arrives
    // from the console; that frame is logged but never answered. 0 = never.
    std::uint32_t closeAfterFrames = 0;
    // Put one 0x00 byte in front of the Nth frame the protocol sends
    // (keep-alives not counted), in the same write. 0 = never.
    std::uint32_t garbageBeforeFrame = 0;
    // Write every byte with its own send call.
    bool splitWrites = false;
    // Hold every frame the protocol sends this long, keeping their order.
    std::uint32_t answerDelayMs = 0;
    // Frames with these IDs are logged and dropped, never answered.
    std::set<std::uint16_t> ignoreMessageIds;
    // Idle time after which the simulator sends a keep-alive; 0 = never.
    std::uint32_t keepAliveIntervalMs = 1000;

    // Protocol.
    bool incompatibleVersion = false;
    // Answer the compatibility request with 2 bytes only.
    bool shortCompatibilityAnswer = false;
    // Reason sent in CLIENT_LOGIN_RESPONSE; 0 = accept the login.
    std::uint8_t rejectLoginReason = 0;
    // Files offered to the console as an update; the last one is its
    // installer.
    std::vector<std::string> offerUpdateFiles;
    // Mark no component of the update as its installer.
    bool updateWithoutInstaller = false;
    // Name the first component of the update this instead of its file name;
    // empty = its file name.
    std::string firstComponentName;
};

// Reads fault options such as {"--split-writes", "--answer-delay", "200"}
// into `switches`. Returns an empty string when every argument was used,
// otherwise one line naming the first bad argument. When `others` is given,
// arguments that are not fault options are copied there in order instead of
// being errors, so a program can add options of its own.
std::string parseFaultSwitches(std::span<const std::string> args, FaultSwitches& switches,
                               std::vector<std::string>* others = nullptr);

// One line per option, for --help.
std::string_view faultSwitchesUsage();

} // namespace mirx::sim
