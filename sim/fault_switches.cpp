#include "sim/fault_switches.h"

#include <charconv>
#include <functional>
#include <limits>

namespace mirx::sim {
namespace {

// Decimal, or hexadecimal with 0x for message IDs such as 0xFFFF. No sign,
// no trailing characters.
bool parseNumber(std::string_view text, std::uint64_t max, std::uint64_t& value) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) {
        return false;
    }
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && ptr == end && value <= max;
}

enum class Kind { Flag, Number, Path };

struct Option {
    std::string_view name;
    Kind kind;
    std::string_view valueName;
    std::uint64_t max; // Number only
    std::function<void(FaultSwitches&, std::uint64_t, const std::string&)> apply;
};

template <typename T>
constexpr std::uint64_t maxOf() {
    return std::numeric_limits<T>::max();
}

const std::vector<Option>& options() {
    static const std::vector<Option> table = {
        {"--silent-after", Kind::Number, "MS", maxOf<std::uint32_t>(),
         [](FaultSwitches& f, std::uint64_t v, const std::string&) {
             f.silentAfterMs = static_cast<std::uint32_t>(v);
         }},
        {"--check-time", Kind::Number, "MS", maxOf<std::uint16_t>(),
         [](FaultSwitches& f, std::uint64_t v, const std::string&) {
             f.announcedCheckTimeMs = static_cast<std::uint16_t>(v);
         }},
        {"--close-after-frames", Kind::Number, "N", maxOf<std::uint32_t>(),
         [](FaultSwitches& f, std::uint64_t v, const std::string&) {
             f.closeAfterFrames = static_cast<std::uint32_t>(v);
         }},
        {"--garbage-before-frame", Kind::Number, "N", maxOf<std::uint32_t>(),
         [](FaultSwitches& f, std::uint64_t v, const std::string&) {
             f.garbageBeforeFrame = static_cast<std::uint32_t>(v);
         }},
        {"--split-writes", Kind::Flag, "", 0,
         [](FaultSwitches& f, std::uint64_t, const std::string&) {
             f.splitWrites = true;
         }},
        {"--answer-delay", Kind::Number, "MS", maxOf<std::uint32_t>(),
         [](FaultSwitches& f, std::uint64_t v, const std::string&) {
             f.answerDelayMs = static_cast<std::uint32_t>(v);
         }},
        {"--ignore-id", Kind::Number, "ID", maxOf<std::uint16_t>(),
         [](FaultSwitches& f, std::uint64_t v, const std::string&) {
             f.ignoreMessageIds.insert(static_cast<std::uint16_t>(v));
         }},
        {"--keepalive-interval", Kind::Number, "MS", maxOf<std::uint32_t>(),
         [](FaultSwitches& f, std::uint64_t v, const std::string&) {
             f.keepAliveIntervalMs = static_cast<std::uint32_t>(v);
         }},
        {"--incompatible", Kind::Flag, "", 0,
         [](FaultSwitches& f, std::uint64_t, const std::string&) {
             f.incompatibleVersion = true;
         }},
        {"--short-compatibility", Kind::Flag, "", 0,
         [](FaultSwitches& f, std::uint64_t, const std::string&) {
             f.shortCompatibilityAnswer = true;
         }},
        {"--reject-login", Kind::Number, "R", maxOf<std::uint8_t>(),
         [](FaultSwitches& f, std::uint64_t v, const std::string&) {
             f.rejectLoginReason = static_cast<std::uint8_t>(v);
         }},
        {"--offer-update", Kind::Path, "FILE", 0,
         [](FaultSwitches& f, std::uint64_t, const std::string& text) {
             f.offerUpdateFiles.push_back(text);
         }},
        {"--update-without-installer", Kind::Flag, "", 0,
         [](FaultSwitches& f, std::uint64_t, const std::string&) {
             f.updateWithoutInstaller = true;
         }},
        {"--first-component-name", Kind::Path, "NAME", 0,
         [](FaultSwitches& f, std::uint64_t, const std::string& text) {
             f.firstComponentName = text;
         }},
    };
    return table;
}

const Option* findOption(std::string_view name) {
    for (const Option& option : options()) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

} // namespace

std::string parseFaultSwitches(std::span<const std::string> args, FaultSwitches& switches,
                               std::vector<std::string>* others) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const Option* option = findOption(arg);
        if (option == nullptr) {
            if (others == nullptr) {
                return "unknown option '" + arg + "'";
            }
            others->push_back(arg);
            continue;
        }
        if (option->kind == Kind::Flag) {
            option->apply(switches, 0, {});
            continue;
        }
        if (i + 1 == args.size()) {
            return std::string(option->name) + " needs a value " + std::string(option->valueName);
        }
        const std::string& value = args[++i];
        std::uint64_t number = 0;
        const bool isPath = option->kind == Kind::Path;
        if (isPath ? (value.empty() || value.starts_with("--"))
                   : !parseNumber(value, option->max, number)) {
            return std::string(option->name) + ": bad value '" + value + "' (" +
                   (isPath ? std::string("a file path")
                           : "a number from 0 to " + std::to_string(option->max)) +
                   ")";
        }
        option->apply(switches, number, value);
    }
    return {};
}

std::string_view faultSwitchesUsage() {
    return "  --silent-after MS          send nothing more MS ms after the connection starts\n"
           "  --check-time MS            check time announced in keep-alives (default 5000)\n"
           "  --close-after-frames N     close when the Nth frame arrives from the console\n"
           "  --garbage-before-frame N   send a stray 0x00 byte before the Nth answer\n"
           "  --split-writes             send every byte in its own write\n"
           "  --answer-delay MS          hold every answer MS ms\n"
           "  --ignore-id ID             never answer message ID (repeatable)\n"
           "  --keepalive-interval MS    idle time before a keep-alive (default 1000, 0 = none)\n"
           "  --incompatible             report an incompatible version\n"
           "  --short-compatibility      answer the compatibility request with 2 bytes\n"
           "  --reject-login R           reject every login with reason R\n"
           "  --offer-update FILE        offer FILE as an update (repeatable)\n"
           "  --update-without-installer mark no update component as the installer\n"
           "  --first-component-name NAME  name the first update component NAME\n";
}

} // namespace mirx::sim
