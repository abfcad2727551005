// Any settings file: opened, its profile chosen and every setting read,
// never a crash.
#include "fuzz/fuzz_input.h"
#include "link/settings_store.h"
#include "shell/settings/qsettings_store.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path& folder() {
    static const fs::path path = mirx::fuzz::scratchFolder("mirx-fuzz-settings");
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mirx::fuzz::silenceLog();
    // A new name each time: the settings layer caches files by name.
    static unsigned long round = 0;
    const fs::path file = folder() / ("settings-" + std::to_string(++round) + ".conf");
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ::chmod(file.c_str(), 0600);
    {
        mirx::shell::QSettingsStore store(std::nullopt, file);
        for (const mirx::link::SettingValue& value : mirx::link::kProfileValues) {
            if (value.type == mirx::link::ValueType::String) {
                (void)mirx::link::readString(store, value);
            } else {
                (void)store.readNumber(value.name);
            }
        }
    }
    std::error_code ignored;
    fs::remove(file, ignored);
    return 0;
}
