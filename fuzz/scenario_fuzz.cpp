// Any scenario document: parsed or refused with a message, never a crash;
// a parsed one must write and read back.
#include "fuzz/fuzz_input.h"
#include "site/scenario.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mirx::fuzz::silenceLog();
    mirx::site::ScenarioError error;
    const auto site = mirx::site::parseScenario(
        std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!site) {
        if (error.message.empty()) {
            std::abort();
        }
        return 0;
    }
    mirx::site::ScenarioError again;
    if (!mirx::site::parseScenario(mirx::site::toScenarioJson(*site), again)) {
        std::abort();
    }
    return 0;
}
