#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace mirx::test {

// Sets (or, with nullopt, unsets) one environment variable and restores it
// when it goes out of scope.
class EnvOverride {
public:
    EnvOverride(const char* name, const std::optional<std::string>& value)
        : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        set(value);
    }
    ~EnvOverride() { set(old_); }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    void set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace mirx::test
