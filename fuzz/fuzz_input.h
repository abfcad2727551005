#pragma once

#include "core/debug_log.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// What the fuzz targets share: a silent debug log and one plain record
// format, so seed generators can write inputs without libFuzzer's helpers.
//
// A record: u16 id, u16 second value, u16 length, then that many payload
// bytes (fewer when the input ends first), all little-endian.

namespace mirx::fuzz {

class SilentSink final : public log::LineSink {
public:
    void write(std::string_view) override {}
};

inline void silenceLog() {
    static SilentSink silent;
    log::setDebuggerSink(&silent);
}

// A private folder made once per process under $TMPDIR; the run ends when
// none can be made, since every input would then test nothing.
inline std::filesystem::path scratchFolder(std::string_view prefix) {
    std::string name =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(name.data()) == nullptr) {
        std::abort();
    }
    return name;
}

struct Record {
    std::uint16_t id = 0;
    std::uint16_t second = 0;
    std::span<const std::uint8_t> payload;
};

class RecordReader {
public:
    RecordReader(const std::uint8_t* data, std::size_t size)
        : data_(data, size) {}

    bool next(Record& record) {
        if (data_.size() < 6) {
            return false;
        }
        record.id = u16(0);
        record.second = u16(2);
        const std::size_t length = std::min<std::size_t>(u16(4), data_.size() - 6);
        record.payload = data_.subspan(6, length);
        data_ = data_.subspan(6 + length);
        return true;
    }

private:
    std::uint16_t u16(std::size_t at) const {
        return static_cast<std::uint16_t>(data_[at] | (data_[at + 1] << 8));
    }

    std::span<const std::uint8_t> data_;
};

} // namespace mirx::fuzz
