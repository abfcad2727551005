#pragma once

#include <filesystem>
#include <string_view>

namespace mirx::test {

// A fresh folder under $TMPDIR (mode 0700), removed with everything in it
// when the object goes.
class TempFolder {
public:
    explicit TempFolder(std::string_view prefix = "mirx-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

} // namespace mirx::test
