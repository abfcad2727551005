#pragma once

#include "tests/support/temp_folder.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <string_view>

namespace mirx::test {

// A fresh command files folder per test, removed afterwards.
class CommandFileFolder {
public:
    CommandFileFolder()
        : folder_("mirx-cf")
        , path_(folder_.path()) {}
    CommandFileFolder(const CommandFileFolder&) = delete;
    CommandFileFolder& operator=(const CommandFileFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Lines joined with CR LF, as the format wants. Each write gets its own
    // last-write time (`second` seconds into 2024), so a rewrite is always
    // seen as a change.
    void write(const std::string& name, std::initializer_list<std::string_view> lines) {
        std::string text;
        for (std::string_view line : lines) {
            text.append(line);
            text.append("\r\n");
        }
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary) << text;
        std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::now() -
                                                   std::chrono::hours(1) +
                                                   std::chrono::seconds(++writes_));
    }

    std::filesystem::file_time_type writeTime(const std::string& name) const {
        return std::filesystem::last_write_time(path_ / name);
    }
    void setWriteTime(const std::string& name, std::filesystem::file_time_type time) const {
        std::filesystem::last_write_time(path_ / name, time);
    }

    bool has(const std::string& name) const { return std::filesystem::exists(path_ / name); }
    void remove(const std::string& name) const { std::filesystem::remove(path_ / name); }

private:
    TempFolder folder_;
    std::filesystem::path path_;
    int writes_ = 0;
};

} // namespace mirx::test
