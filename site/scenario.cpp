#include "site/scenario.h"

#include "core/hex.h"
#include "core/replace_file.h"
#include "link/app_version.h"
#include "model/system_settings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <span>
#include <sstream>
#include <system_error>
#include <vector>

// Every record is written as readable fields. Where those cannot say all a
// record holds (bytes after a text's terminator, a colour's top byte, a
// count that disagrees with its list), the whole record follows as "hex" and
// the fields are read on top of it, each only where it says something other
// than the hex would. So a file always reloads to the same bytes, and a human
// can still edit a field without touching the hex.

namespace mirx::site {
namespace {

using nlohmann::json;

constexpr int kFormat = 1;

// Thrown while reading; carries "where: what".
struct Failure {
    std::string what;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw Failure{where.empty() ? what : where + ": " + what};
}

std::string child(const std::string& where, std::string_view key) {
    return where.empty() ? std::string(key) : where + "." + std::string(key);
}

std::string item(const std::string& where, std::size_t i) {
    return where + "[" + std::to_string(i) + "]";
}

std::string errorText(int error) {
    return std::generic_category().message(error);
}

// --- plain values ---

// "found 1.5", "found string": values that are short are shown.
std::string found(const json& v) {
    return v.is_number() || v.is_boolean() || v.is_null() ? v.dump() : v.type_name();
}

void expectObject(const json& v, const std::string& where) {
    if (!v.is_object()) {
        fail(where, "expected an object, found " + found(v));
    }
}

void expectArray(const json& v, const std::string& where) {
    if (!v.is_array()) {
        fail(where, "expected an array, found " + found(v));
    }
}

void checkKeys(const json& obj, const std::string& where,
               std::initializer_list<std::string_view> allowed,
               std::span<const std::string_view> more = {}) {
    for (const auto& [key, value] : obj.items()) {
        if (std::find(allowed.begin(), allowed.end(), key) == allowed.end() &&
            std::find(more.begin(), more.end(), key) == more.end()) {
            fail(child(where, key), "unknown key");
        }
    }
}

const json* find(const json& obj, std::string_view key) {
    const auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

// An integer in min..max. `what` names what the number must be, for a
// message like "9999 is not a label number (10000..29999)".
std::int64_t readInt(const json& v, const std::string& where, std::int64_t min, std::int64_t max,
                     std::string_view what = {}) {
    if (!v.is_number_integer()) {
        fail(where, "expected an integer, found " + found(v));
    }
    const bool huge = v.is_number_unsigned() &&
                      v.get<std::uint64_t>() >
                          static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const std::int64_t value = huge ? 0 : v.get<std::int64_t>();
    if (huge || value < min || value > max) {
        const std::string range = std::to_string(min) + ".." + std::to_string(max);
        fail(where, what.empty() ? v.dump() + " is out of range " + range
                                 : v.dump() + " is not " + std::string(what) + " (" + range + ")");
    }
    return value;
}

template <typename T>
T readNumber(const json& v, const std::string& where) {
    return static_cast<T>(readInt(v, where, std::numeric_limits<T>::min(),
                                  static_cast<std::int64_t>(std::numeric_limits<T>::max())));
}

bool readBool(const json& v, const std::string& where) {
    if (!v.is_boolean()) {
        fail(where, "expected true or false, found " + found(v));
    }
    return v.get<bool>();
}

std::string readString(const json& v, const std::string& where) {
    if (!v.is_string()) {
        fail(where, "expected a string, found " + found(v));
    }
    return v.get<std::string>();
}

// The decimal key of an object keyed by index or number, written the way
// we write it (no sign, no leading zeros), so no two keys mean the same.
int readKey(std::string_view key, const std::string& where, int min, int max,
            std::string_view what) {
    int value = 0;
    const auto* end = key.data() + key.size();
    const auto [ptr, ec] = std::from_chars(key.data(), end, value);
    if (key.empty() || ec != std::errc{} || ptr != end || std::to_string(value) != key ||
        value < min || value > max) {
        fail(where, "\"" + std::string(key) + "\" is not " + std::string(what) + " (" +
                        std::to_string(min) + ".." + std::to_string(max) + ")");
    }
    return value;
}

constexpr int kMaxClientIndex = static_cast<int>(model::kClientsPerSystem) - 1;

int readClientIndex(const json& v, const std::string& where) {
    return static_cast<int>(readInt(v, where, 0, kMaxClientIndex, "a client index"));
}

int readLabelNumber(const json& v, const std::string& where) {
    return static_cast<int>(
        readInt(v, where, model::kFirstLabelNumber, model::kLastLabelNumber, "a label number"));
}

// --- hex ---

// Trailing zero bytes are left out; the reader pads them back.
std::string toHex(std::span<const std::uint8_t> bytes) {
    std::size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == 0) {
        --n;
    }
    std::string out;
    out.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        out += hex::kLowerDigits[bytes[i] >> 4];
        out += hex::kLowerDigits[bytes[i] & 0x0F];
    }
    return out;
}

// At most `maxBytes`; the caller pads with zeros.
std::vector<std::uint8_t> readHex(const json& v, const std::string& where, std::size_t maxBytes) {
    const std::string text = readString(v, where);
    if (text.size() % 2 != 0) {
        fail(where, "hex has an odd number of digits (" + std::to_string(text.size()) + ")");
    }
    if (text.size() / 2 > maxBytes) {
        fail(where, "hex of " + std::to_string(text.size() / 2) + " bytes is too long, at most " +
                        std::to_string(maxBytes) + " fit");
    }
    std::vector<std::uint8_t> out(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int d = hex::digitValue(text[i]);
        if (d < 0) {
            fail(where, "'" + std::string(1, text[i]) + "' is not a hex digit");
        }
        out[i / 2] = static_cast<std::uint8_t>(out[i / 2] | (d << (i % 2 == 0 ? 4 : 0)));
    }
    return out;
}

void readHexInto(const json& v, const std::string& where, std::span<std::uint8_t> target) {
    const auto bytes = readHex(v, where, target.size());
    std::fill(target.begin(), target.end(), std::uint8_t{0});
    std::copy(bytes.begin(), bytes.end(), target.begin());
}

template <typename R>
R recordFromHex(const json& v, const std::string& where) {
    R r;
    readHexInto(v, where, r.view());
    return r;
}

// "0x0B23A16D"; integers are taken too.
std::string wordText(std::uint32_t word) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", word);
    return text;
}

std::uint32_t readWord(const json& v, const std::string& where) {
    if (v.is_number_integer()) {
        return static_cast<std::uint32_t>(readInt(v, where, 0, 0xFFFFFFFF));
    }
    const std::string text = readString(v, where);
    std::uint32_t value = 0;
    const bool prefixed = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* end = text.data() + text.size();
    bool ok = prefixed;
    if (ok) {
        const auto [ptr, ec] = std::from_chars(text.data() + 2, end, value, 16);
        ok = ec == std::errc{} && ptr == end;
    }
    if (!ok) {
        fail(where, "expected a 32-bit word like \"0x0000FFFF\", found \"" + text + "\"");
    }
    return value;
}

// Dotted quad; also the all-ones address, which parseIpv4 keeps from typed text.
std::uint32_t readAddress(const json& v, const std::string& where) {
    const std::string text = readString(v, where);
    if (text == "255.255.255.255") {
        return 0xFFFFFFFF;
    }
    const auto address = model::parseIpv4(text);
    if (!address) {
        fail(where, "expected an IPv4 address like \"192.168.1.10\", found \"" + text + "\"");
    }
    return *address;
}

std::string colourText(std::uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", model::colourRed(colour),
                  model::colourGreen(colour), model::colourBlue(colour));
    return text;
}

std::uint32_t readColour(const json& v, const std::string& where) {
    const std::string text = readString(v, where);
    bool ok = text.size() == 7 && text[0] == '#';
    for (std::size_t i = 1; ok && i < text.size(); ++i) {
        ok = hex::digitValue(text[i]) >= 0;
    }
    if (!ok) {
        fail(where, "expected a colour like \"#FF8000\", found \"" + text + "\"");
    }
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint8_t>(hex::digitValue(text[i]) * 16 +
                                         hex::digitValue(text[i + 1]));
    };
    return model::rgb(byte(1), byte(3), byte(5));
}

// Years 1..9999 as UTC text, whole seconds: "2024-03-14T08:00:00Z"; other
// times as seconds since 1970. Both are read.
constexpr std::int64_t kFirstTextTime = -62135596800; // 0001-01-01T00:00:00Z
constexpr std::int64_t kLastTextTime = 253402300799;  // 9999-12-31T23:59:59Z

json timeValue(std::int64_t time) {
    if (time < kFirstTextTime || time > kLastTextTime) {
        return time;
    }
    using namespace std::chrono;
    const sys_seconds t{seconds{time}};
    const auto midnight = floor<days>(t);
    const year_month_day date{midnight};
    const hh_mm_ss clock{t - midnight};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::int64_t readTime(const json& v, const std::string& where) {
    if (v.is_number_integer()) {
        return readNumber<std::int64_t>(v, where);
    }
    const std::string text = readString(v, where);
    int y = 0;
    unsigned mo = 0;
    unsigned d = 0;
    int h = 0;
    int mi = 0;
    int s = 0;
    char z = 0;
    int used = 0;
    // Every field and the whole length are checked below, so a conversion
    // error cannot pass unnoticed.
    const bool scanned =
        std::sscanf(text.c_str(), // NOLINT(cert-err34-c)
                    "%d-%u-%uT%d:%d:%d%c%n", &y, &mo, &d, &h, &mi, &s, &z, &used) == 7 &&
        z == 'Z' && static_cast<std::size_t>(used) == text.size();
    using namespace std::chrono;
    const year_month_day date{year{y}, month{mo}, day{d}};
    if (!scanned || !date.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) {
        fail(where, "expected a UTC time like \"2024-03-14T08:00:00Z\", found \"" + text + "\"");
    }
    return duration_cast<seconds>(sys_days{date}.time_since_epoch()).count() +
           std::int64_t{h} * 3600 + std::int64_t{mi} * 60 + s;
}

// --- record fields ---
//
// A field table lists what of a wire record is written as named values.

enum class Kind { I8, U8, I16, U16, U32, Text16, Ascii, Bytes, Colour, Word, Address, Flags, Enum };

struct Field {
    std::string_view key;
    Kind kind;
    std::size_t offset;
    std::size_t size = 0;     // units or bytes of a text, bytes of Bytes
    std::size_t maxChars = 0; // of a text
    // Flags: the name of each bit (empty: not named). Enum: value names.
    std::span<const std::string_view> names{};
    // Written even when it holds what a blank record holds.
    bool always = false;
};

template <typename T>
constexpr Kind scalarKind() {
    if constexpr (std::is_same_v<T, std::int8_t>) {
        return Kind::I8;
    } else if constexpr (std::is_same_v<T, std::uint8_t>) {
        return Kind::U8;
    } else if constexpr (std::is_same_v<T, std::int16_t>) {
        return Kind::I16;
    } else if constexpr (std::is_same_v<T, std::uint16_t>) {
        return Kind::U16;
    } else {
        static_assert(std::is_same_v<T, std::uint32_t>);
        return Kind::U32;
    }
}

template <typename T>
constexpr Field number(std::string_view key, rec::Scalar<T> f, bool always = false) {
    return {key, scalarKind<T>(), f.offset, 0, 0, {}, always};
}
constexpr Field text(std::string_view key, rec::Utf16Text f, bool always = false) {
    return {key, Kind::Text16, f.offset, f.units, f.limit(), {}, always};
}
constexpr Field ascii(std::string_view key, rec::AsciiText f, bool always = false) {
    return {key, Kind::Ascii, f.offset, f.bytes, f.limit(), {}, always};
}
constexpr Field bytes(std::string_view key, rec::Bytes f) {
    return {key, Kind::Bytes, f.offset, f.size, 0, {}, false};
}
constexpr Field colour(std::string_view key, rec::Scalar<std::uint32_t> f) {
    return {key, Kind::Colour, f.offset, 0, 0, {}, false};
}
constexpr Field word(std::string_view key, rec::Scalar<std::uint32_t> f) {
    return {key, Kind::Word, f.offset, 0, 0, {}, true};
}
constexpr Field address(std::string_view key, rec::Scalar<std::uint32_t> f) {
    return {key, Kind::Address, f.offset, 0, 0, {}, true};
}
constexpr Field flags(std::string_view key, rec::Scalar<std::uint8_t> f,
                      std::span<const std::string_view> bitNames) {
    return {key, Kind::Flags, f.offset, 0, 0, bitNames, false};
}
constexpr Field enumeration(std::string_view key, rec::Scalar<std::uint8_t> f,
                            std::span<const std::string_view> valueNames) {
    return {key, Kind::Enum, f.offset, 0, 0, valueNames, true};
}

constexpr std::string_view kOtherBits = "otherBits";

std::int64_t scalarValue(std::span<const std::uint8_t> b, const Field& f) {
    switch (f.kind) {
    case Kind::I8:
        return rec::get(b, rec::Scalar<std::int8_t>{f.offset});
    case Kind::I16:
        return rec::get(b, rec::Scalar<std::int16_t>{f.offset});
    case Kind::U16:
        return rec::get(b, rec::Scalar<std::uint16_t>{f.offset});
    case Kind::U32:
    case Kind::Colour:
    case Kind::Word:
    case Kind::Address:
        return rec::get(b, rec::Scalar<std::uint32_t>{f.offset});
    default:
        return rec::get(b, rec::Scalar<std::uint8_t>{f.offset});
    }
}

void setScalar(std::span<std::uint8_t> b, const Field& f, std::int64_t value) {
    switch (f.kind) {
    case Kind::I8:
        rec::set(b, rec::Scalar<std::int8_t>{f.offset}, static_cast<std::int8_t>(value));
        break;
    case Kind::I16:
        rec::set(b, rec::Scalar<std::int16_t>{f.offset}, static_cast<std::int16_t>(value));
        break;
    case Kind::U16:
        rec::set(b, rec::Scalar<std::uint16_t>{f.offset}, static_cast<std::uint16_t>(value));
        break;
    case Kind::U32:
    case Kind::Colour:
    case Kind::Word:
    case Kind::Address:
        rec::set(b, rec::Scalar<std::uint32_t>{f.offset}, static_cast<std::uint32_t>(value));
        break;
    default:
        rec::set(b, rec::Scalar<std::uint8_t>{f.offset}, static_cast<std::uint8_t>(value));
        break;
    }
}

std::pair<std::int64_t, std::int64_t> scalarRange(Kind kind) {
    switch (kind) {
    case Kind::I8:
        return {-128, 127};
    case Kind::I16:
        return {-32768, 32767};
    case Kind::U16:
        return {0, 0xFFFF};
    case Kind::U32:
        return {0, 0xFFFFFFFF};
    default:
        return {0, 0xFF};
    }
}

// Non-ASCII bytes read as '?', which is what writing them back stores, so
// the text stays valid UTF-8.
std::string asciiValue(std::span<const std::uint8_t> b, const Field& f) {
    std::string out = rec::get(b, rec::AsciiText{f.offset, f.size, f.maxChars});
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            c = '?';
        }
    }
    return out;
}

json encodeField(std::span<const std::uint8_t> b, const Field& f) {
    switch (f.kind) {
    case Kind::Text16:
        return rec::get(b, rec::Utf16Text{f.offset, f.size, f.maxChars});
    case Kind::Ascii:
        return asciiValue(b, f);
    case Kind::Bytes:
        return toHex(b.subspan(f.offset, f.size));
    case Kind::Colour:
        return colourText(static_cast<std::uint32_t>(scalarValue(b, f)));
    case Kind::Word:
        return wordText(static_cast<std::uint32_t>(scalarValue(b, f)));
    case Kind::Address:
        return model::formatIpv4(static_cast<std::uint32_t>(scalarValue(b, f)));
    case Kind::Flags: {
        const auto value = static_cast<unsigned>(scalarValue(b, f));
        json out = json::object();
        unsigned other = value;
        for (std::size_t bit = 0; bit < f.names.size(); ++bit) {
            if (!f.names[bit].empty() && (value & (1u << bit)) != 0) {
                out[std::string(f.names[bit])] = true;
                other &= ~(1u << bit);
            }
        }
        if (other != 0) {
            out[std::string(kOtherBits)] = other;
        }
        return out;
    }
    case Kind::Enum: {
        const auto value = static_cast<std::size_t>(scalarValue(b, f));
        if (value < f.names.size() && !f.names[value].empty()) {
            return f.names[value];
        }
        return value;
    }
    default:
        return scalarValue(b, f);
    }
}

std::int64_t readFlags(const json& v, const std::string& where, const Field& f) {
    if (v.is_number_integer()) {
        return readInt(v, where, 0, 0xFF);
    }
    expectObject(v, where);
    std::int64_t value = 0;
    for (const auto& [key, bit] : v.items()) {
        const std::string at = child(where, key);
        if (key == kOtherBits) {
            value |= readInt(bit, at, 0, 0xFF);
            continue;
        }
        const auto named = std::find(f.names.begin(), f.names.end(), key);
        if (key.empty() || named == f.names.end()) {
            fail(at, "unknown flag");
        }
        if (readBool(bit, at)) {
            value |= std::int64_t{1} << (named - f.names.begin());
        }
    }
    return value;
}

std::int64_t readEnum(const json& v, const std::string& where, const Field& f) {
    if (v.is_number_integer()) {
        return readInt(v, where, 0, 0xFF);
    }
    const std::string name = readString(v, where);
    const auto named = std::find(f.names.begin(), f.names.end(), name);
    if (name.empty() || named == f.names.end()) {
        std::string known;
        for (const auto n : f.names) {
            if (!n.empty()) {
                known += (known.empty() ? "\"" : ", \"") + std::string(n) + "\"";
            }
        }
        fail(where, "\"" + name + "\" is not one of " + known + " or a number");
    }
    return named - f.names.begin();
}

void writeText16(std::span<std::uint8_t> b, const Field& f, const json& v,
                 const std::string& where) {
    const std::string value = readString(v, where);
    if (value.find('\0') != std::string::npos) {
        fail(where, "text holds a NUL character");
    }
    if (!rec::set(b, rec::Utf16Text{f.offset, f.size, f.maxChars}, value)) {
        fail(where, "longer than " + std::to_string(f.maxChars) + " characters");
    }
}

void writeAscii(std::span<std::uint8_t> b, const Field& f, const json& v,
                const std::string& where) {
    const std::string value = readString(v, where);
    for (const char c : value) {
        if (c == '\0' || static_cast<unsigned char>(c) >= 0x80) {
            fail(where, "only ASCII characters fit");
        }
    }
    if (!rec::set(b, rec::AsciiText{f.offset, f.size, f.maxChars}, value)) {
        fail(where, "longer than " + std::to_string(f.maxChars) + " characters");
    }
}

// Changes the bytes only when `v` says something other than they already do.
void applyField(std::span<std::uint8_t> b, const Field& f, const json& v,
                const std::string& where) {
    if (encodeField(b, f) == v) {
        return;
    }
    switch (f.kind) {
    case Kind::Text16:
        writeText16(b, f, v, where);
        break;
    case Kind::Ascii:
        writeAscii(b, f, v, where);
        break;
    case Kind::Bytes:
        readHexInto(v, where, b.subspan(f.offset, f.size));
        break;
    case Kind::Colour:
        setScalar(b, f, readColour(v, where));
        break;
    case Kind::Word:
        setScalar(b, f, readWord(v, where));
        break;
    case Kind::Address:
        setScalar(b, f, readAddress(v, where));
        break;
    case Kind::Flags:
        setScalar(b, f, readFlags(v, where, f));
        break;
    case Kind::Enum:
        setScalar(b, f, readEnum(v, where, f));
        break;
    default: {
        const auto [min, max] = scalarRange(f.kind);
        setScalar(b, f, readInt(v, where, min, max));
        break;
    }
    }
}

json encodeFields(std::span<const std::uint8_t> b, std::span<const std::uint8_t> blank,
                  std::span<const Field> fields) {
    json out = json::object();
    for (const Field& f : fields) {
        json value = encodeField(b, f);
        if (f.always || value != encodeField(blank, f)) {
            out[std::string(f.key)] = std::move(value);
        }
    }
    return out;
}

// Applies each member of `obj` that names a field. Members named in
// `others` are the caller's to read; any other member is an error.
void applyFields(std::span<std::uint8_t> b, std::span<const Field> fields, const json& obj,
                 const std::string& where, std::initializer_list<std::string_view> others = {}) {
    for (const auto& [key, value] : obj.items()) {
        const std::string_view name = key;
        const auto f = std::find_if(fields.begin(), fields.end(),
                                    [name](const Field& field) { return field.key == name; });
        if (f != fields.end()) {
            applyField(b, *f, value, child(where, key));
        } else if (std::find(others.begin(), others.end(), key) == others.end()) {
            fail(child(where, key), "unknown key");
        }
    }
}

// A record written as its fields, plus "hex" when they do not rebuild it.
// `rebuild` reads the written object over a blank record.
template <typename R, typename Rebuild>
void addHexUnlessRebuilt(json& out, const R& r, Rebuild rebuild) {
    bool same = false;
    try {
        same = rebuild(out) == r;
    } catch (const Failure&) {
        same = false; // e.g. a text without terminator: only the hex says it
    }
    if (!same) {
        out["hex"] = toHex(r.view());
    }
}

template <typename R>
R readFieldRecord(const json& v, const std::string& where, const R& blank,
                  std::span<const Field> fields) {
    expectObject(v, where);
    R r = blank;
    if (const json* hex = find(v, "hex")) {
        r = recordFromHex<R>(*hex, child(where, "hex"));
    }
    applyFields(r.view(), fields, v, where, {"hex"});
    return r;
}

template <typename R>
json writeFieldRecord(const R& r, const R& blank, std::span<const Field> fields) {
    json out = encodeFields(r.view(), blank.view(), fields);
    addHexUnlessRebuilt(out, r,
                        [&](const json& j) { return readFieldRecord(j, "", blank, fields); });
    return out;
}

// --- field tables ---

using L = model::LabelInfo;

constexpr std::array<std::string_view, 3> kSystemClassNames{"local", "rts", "delec"};
constexpr std::array<std::string_view, 3> kLocalKindNames{"client", "party line", "fixed group"};
constexpr std::array<std::string_view, 2> kSelectorFlagNames{"latchDisableTalk", "loginDisabled"};
constexpr std::array<std::string_view, 4> kRestrictionNames{
    "noLocalAssignmentByAdmin", "noLocalAssignmentByUser", "noRemoteAssignmentByAdmin",
    "noRemoteAssignmentByUser"};
constexpr std::array<std::string_view, 7> kClientFlagNames{
    "partyLineOperation", "allowAnonymousLogin", "alwaysShowSelectorOffline", "ifbDestination",
    "isoDestination",     "multiplePartyLines",  "domainAuthentication"};

static_assert(L::kLatchDisableTalkBit == 0 && L::kLoginDisabledBit == 1);
static_assert(L::kNoRemoteAssignmentByUserBit == 3 && L::kDomainAuthenticationBit == 6);

// "kind" names a local label's kind; for RTS and Delec labels the byte is the
// RTS type or the Delec channel and is written as a number. Handled beside
// the table because its reading depends on the class.
constexpr std::array kLabelFields{
    number("number", L::kLabelNumber, true),
    enumeration("class", L::kSystemClass, kSystemClassNames),
    number("system", L::kSystemNumber, true),
    number("clientType", L::kClientType),
    number("index", L::kIndex, true),
    bytes("reserved8", L::kReserved8),
    text("description", L::kDescription),
    text("talkListenName", L::kTalkListenName),
    text("listenOnlyName", L::kListenOnlyName),
    text("externalLong", L::kExternalLongName),
    text("externalShort", L::kExternalShortName),
    flags("selectorFlags", L::kSelectorFlags, kSelectorFlagNames),
    flags("restrictions", L::kAssignmentRestrictions, kRestrictionNames),
    bytes("reserved262", L::kReserved262),
    colour("textColour", L::kTextColour),
    colour("backgroundColour", L::kBackgroundColour),
    bytes("reserved272", L::kReserved272),
    flags("clientFlags", L::kClientFlags, kClientFlagNames),
    number("adminPrivileges", L::kAdminPrivileges),
    number("selectorTemplate", L::kSelectorAssignmentsTemplate),
    number("audioTemplate", L::kAudioSettingsTemplate),
    number("optionsTemplate", L::kOptionsTemplate),
    number("fourthLink", L::kFourthLink),
    number("rtsFunctionNumber", L::kRtsFunctionNumber),
    number("rtsFunctionType", L::kRtsFunctionType),
    bytes("reserved293", L::kReserved293),
};

using Cred = model::ClientCredentials;
constexpr std::array kCredentialFields{
    text("name", Cred::kLoginName, true),
    text("password", Cred::kPassword, true),
};

using Sel = model::SelectorAssignments;
constexpr std::array kSelectorHeadFields{
    number("activationMethod", Sel::kActivationMethod, true),
    bytes("carried1", Sel::kCarried1),
    number("activationDetail", Sel::kActivationDetail, true),
    number("optionBits", Sel::kOptionBits, true),
    bytes("carried5", Sel::kCarried5),
    number("splitScreenPosition", Sel::kSplitScreenPosition, true),
    number("selectorsPerRow", Sel::kSelectorsPerRow, true),
};

using Entry = model::SelectorEntry;
constexpr std::array kSelectorEntryFields{
    number("label", Entry::kLabel, true),
    number("code", Entry::kCode, true),
    number("flags", Entry::kFlags),
    number("hotKey", Entry::kHotKey),
    number("modifiers", Entry::kHotKeyModifiers),
    number("byte6", Entry::kByte6),
    bytes("kept", Entry::kKept),
};

using Pl = model::PartyLineMembership;
// Offsets within one 10-byte entry.
constexpr std::array kMemberFields{
    number("member", rec::Scalar<std::int16_t>{0}, true),
    number("mode", rec::Scalar<std::uint8_t>{2}, true),
    bytes("rest", rec::Bytes{3, 7}),
};
static_assert(Pl::entryMember(0).offset - Pl::entryOffset(0) == 0);
static_assert(Pl::entryMode(0).offset - Pl::entryOffset(0) == 2);
static_assert(Pl::entryRest(0).offset - Pl::entryOffset(0) == 3);

using Sys = model::SystemSettings;
constexpr std::array kSystemSettingsFields{
    address("serverAddress", Sys::kServerAddress),
    number("clientDataPort", Sys::kClientDataPort, true),
    number("clientAudioPort", Sys::kClientAudioPort, true),
    number("sampleRate", Sys::kSampleRate, true),
    address("secondaryServerAddress", Sys::kSecondaryServerAddress),
    number("secondaryClientDataPort", Sys::kSecondaryClientDataPort, true),
    number("secondaryClientAudioPort", Sys::kSecondaryClientAudioPort, true),
    number("sipDataPort", Sys::kSipDataPort, true),
    ascii("sipDomainName", Sys::kSipDomainName, true),
    number("rtpAudioBasePort", Sys::kRtpAudioBasePort, true),
};

using Ui = model::UserInterfaceSettings;
constexpr std::array kUiFields{
    word("topBorderBackground", Ui::kTopBorderBackground),
    word("bottomBorderBackground", Ui::kBottomBorderBackground),
    word("selectorWindowBackground", Ui::kSelectorWindowBackground),
    number("verticalSpacing", Ui::kVerticalSpacing, true),
    number("horizontalSpacing", Ui::kHorizontalSpacing, true),
    word("normalSelectorText", Ui::kNormalSelectorText),
    word("normalSelectorBackground", Ui::kNormalSelectorBackground),
    word("illuminatedSelectorText", Ui::kIlluminatedSelectorText),
    word("illuminatedSelectorBackground", Ui::kIlluminatedSelectorBackground),
    word("disabledSelectorText", Ui::kDisabledSelectorText),
    word("disabledSelectorBackground", Ui::kDisabledSelectorBackground),
    text("selectorWindowGraphic", Ui::kSelectorWindowGraphic, true),
    text("normalSelectorGraphic", Ui::kNormalSelectorGraphic, true),
    text("logoGraphic", Ui::kLogoGraphic, true),
};

using SysEntry = model::SystemListEntry;
constexpr std::array kSystemEntryFields{
    enumeration("class", SysEntry::kSystemClass, kSystemClassNames),
    number("number", SysEntry::kSystemNumber, true),
    text("name", SysEntry::kName, true),
};

using Sip = model::SipRegistration;
constexpr std::array kSipFields{
    ascii("userName", Sip::kUserName, true),
    ascii("addressOfRecord", Sip::kAddressOfRecord, true),
    ascii("contact", Sip::kContactDetail, true),
    number("expires", Sip::kExpirationSeconds, true),
};

// --- labels ---

// What a label holds before its fields are read: the console's new client.
L blankLabel() {
    L label;
    label.set(L::kSelectorAssignmentsTemplate, model::kNoLabel);
    label.set(L::kAudioSettingsTemplate, model::kNoLabel);
    label.set(L::kOptionsTemplate, model::kNoLabel);
    label.set(L::kFourthLink, model::kNoLabel);
    label.set(L::kRtsFunctionNumber, L::kNoRtsFunctionNumber);
    label.set(L::kRtsFunctionType, L::kNoRtsFunctionType);
    return label;
}

bool isLocal(const L& label) {
    return label.get(L::kSystemClass) == static_cast<std::uint8_t>(model::SystemClass::Local);
}

json labelKindValue(const L& label) {
    const std::uint8_t kind = label.get(L::kLabelKind);
    if (isLocal(label) && kind < kLocalKindNames.size()) {
        return kLocalKindNames[kind];
    }
    return kind;
}

void applyLabelKind(L& label, const json& v, const std::string& where) {
    if (labelKindValue(label) == v) {
        return;
    }
    if (v.is_string()) {
        if (!isLocal(label)) {
            fail(where, "a kind name fits local labels only; give the RTS type or Delec "
                        "channel as a number");
        }
        const std::string name = v.get<std::string>();
        const auto named = std::find(kLocalKindNames.begin(), kLocalKindNames.end(), name);
        if (named == kLocalKindNames.end()) {
            fail(where, "\"" + name + "\" is not \"client\", \"party line\" or \"fixed group\"");
        }
        label.set(L::kLabelKind, named - kLocalKindNames.begin());
        return;
    }
    label.set(L::kLabelKind, readNumber<std::uint8_t>(v, where));
}

L readLabel(const json& v, const std::string& where) {
    expectObject(v, where);
    const json* numberValue = find(v, "number");
    if (numberValue == nullptr) {
        fail(where, "missing \"number\"");
    }
    readLabelNumber(*numberValue, child(where, "number"));
    L label = blankLabel();
    if (const json* hex = find(v, "hex")) {
        label = recordFromHex<L>(*hex, child(where, "hex"));
    }
    applyFields(label.view(), kLabelFields, v, where, {"hex", "kind"});
    if (const json* kind = find(v, "kind")) {
        applyLabelKind(label, *kind, child(where, "kind"));
    }
    return label;
}

json writeLabel(const L& label, const L& blank) {
    json out = encodeFields(label.view(), blank.view(), kLabelFields);
    out["kind"] = labelKindValue(label);
    addHexUnlessRebuilt(out, label, [](const json& j) { return readLabel(j, ""); });
    return out;
}

// --- entry lists: selector assignments and party lines ---

template <typename R, std::size_t N>
json encodeEntries(const R& r, const std::array<Field, N>& fields) {
    json list = json::array();
    const std::array<std::uint8_t, R::kEntrySize> blank{};
    for (std::size_t k = 0; k < r.entryCount(); ++k) {
        list.push_back(
            encodeFields(r.view().subspan(R::entryOffset(k), R::kEntrySize), blank, fields));
    }
    return list;
}

// The list and the bytes after it. A list equal to what the record already
// holds leaves the record alone, so its count stays as it was.
template <typename R, std::size_t N>
void applyEntries(R& r, const json& obj, std::string_view key, const std::array<Field, N>& fields,
                  const std::string& where) {
    if (const json* list = find(obj, key); list != nullptr) {
        const std::string at = child(where, key);
        expectArray(*list, at);
        if (list->size() > R::kMaxEntries) {
            fail(at, std::to_string(list->size()) + " entries, at most " +
                         std::to_string(R::kMaxEntries) + " fit");
        }
        if (*list != encodeEntries(r, fields)) {
            for (std::size_t k = 0; k < list->size(); ++k) {
                const json& e = (*list)[k];
                expectObject(e, item(at, k));
                auto slot = r.view().subspan(R::entryOffset(k), R::kEntrySize);
                std::fill(slot.begin(), slot.end(), std::uint8_t{0});
                applyFields(slot, fields, e, item(at, k));
            }
            r.set(R::kEntryCount, list->size());
        }
    }
    if (const json* tail = find(obj, "tail"); tail != nullptr) {
        const auto rest = r.view().subspan(r.wireLength());
        if (toHex(rest) != *tail) {
            readHexInto(*tail, child(where, "tail"), rest);
        }
    }
}

template <typename R>
void addTail(json& out, const R& r) {
    std::string tail = toHex(r.view().subspan(r.wireLength()));
    if (!tail.empty()) {
        out["tail"] = std::move(tail);
    }
}

Sel readSelectors(const json& v, const std::string& where) {
    expectObject(v, where);
    Sel r;
    if (const json* hex = find(v, "hex")) {
        readHexInto(*hex, child(where, "hex"), r.view());
    }
    applyFields(r.view(), kSelectorHeadFields, v, where, {"hex", "entries", "tail"});
    applyEntries(r, v, "entries", kSelectorEntryFields, where);
    return r;
}

json writeSelectors(const Sel& r) {
    static const Sel blank;
    json out = encodeFields(r.view(), blank.view(), kSelectorHeadFields);
    out["entries"] = encodeEntries(r, kSelectorEntryFields);
    addTail(out, r);
    addHexUnlessRebuilt(out, r, [](const json& j) { return readSelectors(j, ""); });
    return out;
}

Pl blankPartyLine(int number) {
    Pl r;
    r.set(Pl::kPartyLine, number);
    return r;
}

Pl readPartyLine(const json& v, const std::string& where, int number) {
    expectObject(v, where);
    checkKeys(v, where, {"hex", "members", "tail"});
    Pl r = blankPartyLine(number);
    if (const json* hex = find(v, "hex")) {
        readHexInto(*hex, child(where, "hex"), r.view());
    }
    applyEntries(r, v, "members", kMemberFields, where);
    return r;
}

json writePartyLine(const Pl& r, int number) {
    json out = json::object();
    out["members"] = encodeEntries(r, kMemberFields);
    addTail(out, r);
    addHexUnlessRebuilt(out, r, [&](const json& j) { return readPartyLine(j, "", number); });
    return out;
}

// --- client sets ---

json writeClientSet(const model::ClientBitSet& set) {
    json list = json::array();
    for (int client = 0; client < static_cast<int>(model::ClientBitSet::kBits); ++client) {
        if (set.test(client)) {
            list.push_back(client);
        }
    }
    return list;
}

model::ClientBitSet readClientSet(const json& v, const std::string& where) {
    expectArray(v, where);
    model::ClientBitSet set;
    for (std::size_t i = 0; i < v.size(); ++i) {
        set.setBit(readClientIndex(v[i], item(where, i)));
    }
    return set;
}

// --- objects keyed by index ---

template <typename T, typename Write>
json writeKeyed(const std::map<int, T>& map, Write write) {
    json out = json::object();
    for (const auto& [key, value] : map) {
        out[std::to_string(key)] = write(key, value);
    }
    return out;
}

// Reads every member of an object keyed by a number in min..max.
template <typename T, typename Read>
std::map<int, T> readKeyed(const json& v, const std::string& where, int min, int max,
                           std::string_view what, Read read) {
    expectObject(v, where);
    std::map<int, T> out;
    for (const auto& [key, value] : v.items()) {
        const std::string at = child(where, key);
        const int k = readKey(key, at, min, max, what);
        out.emplace(k, read(value, at, k));
    }
    return out;
}

template <typename T, typename Read>
std::map<int, T> readByClient(const json& v, const std::string& where, Read read) {
    return readKeyed<T>(v, where, 0, kMaxClientIndex, "a client index", read);
}

// --- plain structures ---

// Visits each member of a plain structure as (key, member, form); the same
// list writes and reads it.
enum class Form { Plain, Address, Word, Time };

template <typename S, typename F>
void eachMember(S& s, F&& f) requires std::is_same_v<std::remove_const_t<S>, StatusFigures> {
    f("upTimeSeconds", s.upTimeSeconds, Form::Plain);
    f("activeConnections", s.activeConnections, Form::Plain);
    f("activeAudioInputs", s.activeAudioInputs, Form::Plain);
    f("activeAudioOutputs", s.activeAudioOutputs, Form::Plain);
    f("processorPercent", s.processorPercent, Form::Plain);
    f("secondProcessorPercent", s.secondProcessorPercent, Form::Plain);
    f("failoverState", s.failoverState, Form::Plain);
    f("rtsTrunkState", s.rtsTrunkState, Form::Plain);
    f("rtsTrunksActive", s.rtsTrunksActive, Form::Plain);
    f("rtsTrunksConfigured", s.rtsTrunksConfigured, Form::Plain);
    f("delecTrunkState", s.delecTrunkState, Form::Plain);
    f("delecTrunksActive", s.delecTrunksActive, Form::Plain);
    f("delecTrunksConfigured", s.delecTrunksConfigured, Form::Plain);
}

template <typename S, typename F>
void eachMember(S& s, F&& f) requires std::is_same_v<std::remove_const_t<S>, ClientBehaviour> {
    f("online", s.online, Form::Plain);
    f("packetsPerSecond", s.packetsPerSecond, Form::Plain);
    f("lossPerMille", s.lossPerMille, Form::Plain);
    f("processorPercent", s.processorPercent, Form::Plain);
    f("batteryPercent", s.batteryPercent, Form::Plain);
    f("address", s.address, Form::Address);
    f("softwareVersion", s.softwareVersion, Form::Word);
}

template <typename S, typename F>
void eachMember(S& s, F&& f) requires std::is_same_v<std::remove_const_t<S>, AdminAccount> {
    f("name", s.name, Form::Plain);
    f("password", s.password, Form::Plain);
    f("level", s.privilegeLevel, Form::Plain);
    f("privilegeWord", s.privilegeWord, Form::Plain);
}

template <typename S, typename F>
void eachMember(S& s, F&& f) requires std::is_same_v<std::remove_const_t<S>, LogLine> {
    f("time", s.time, Form::Time);
    f("text", s.text, Form::Plain);
}

template <typename S>
json writeStruct(const S& s) {
    json out = json::object();
    eachMember(s, [&](std::string_view key, const auto& member, Form form) {
        using T = std::remove_cvref_t<decltype(member)>;
        json& slot = out[std::string(key)];
        if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, bool>) {
            slot = member;
        } else if (form == Form::Address) {
            slot = model::formatIpv4(static_cast<std::uint32_t>(member));
        } else if (form == Form::Word) {
            slot = wordText(static_cast<std::uint32_t>(member));
        } else if (form == Form::Time) {
            slot = timeValue(static_cast<std::int64_t>(member));
        } else {
            slot = member;
        }
    });
    return out;
}

// Members the object leaves out keep the structure's defaults.
template <typename S>
S readStruct(const json& v, const std::string& where) {
    expectObject(v, where);
    S s{};
    std::vector<std::string_view> keys;
    eachMember(s, [&](std::string_view key, auto&, Form) { keys.push_back(key); });
    checkKeys(v, where, {}, keys);
    eachMember(s, [&](std::string_view key, auto& member, Form form) {
        const json* value = find(v, key);
        if (value == nullptr) {
            return;
        }
        const std::string at = child(where, key);
        using T = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<T, std::string>) {
            member = readString(*value, at);
        } else if constexpr (std::is_same_v<T, bool>) {
            member = readBool(*value, at);
        } else {
            if (form == Form::Address) {
                member = static_cast<T>(readAddress(*value, at));
            } else if (form == Form::Word) {
                member = static_cast<T>(readWord(*value, at));
            } else if (form == Form::Time) {
                member = static_cast<T>(readTime(*value, at));
            } else {
                member = readNumber<T>(*value, at);
            }
        }
    });
    return s;
}

template <typename S>
json writeStructList(const std::vector<S>& list) {
    json out = json::array();
    for (const S& s : list) {
        out.push_back(writeStruct(s));
    }
    return out;
}

template <typename S>
std::vector<S> readStructList(const json& v, const std::string& where) {
    expectArray(v, where);
    std::vector<S> out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        out.push_back(readStruct<S>(v[i], item(where, i)));
    }
    return out;
}

// --- server ---

// "6.2.0" or "6.2.0.17" (with a build number) stands for a Linux release
// build; any other packed value is written as a word.
std::string versionText(std::uint32_t packed) {
    const link::AppVersion v = link::unpack(packed);
    if (packed <= link::kOlderFormMax || v.platform != link::kPlatformLinux ||
        v.buildKind != static_cast<std::uint8_t>(link::BuildKind::Release) || v.pack() != packed) {
        return wordText(packed);
    }
    std::string out =
        std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.revision);
    if (v.build != 0) {
        out += "." + std::to_string(v.build);
    }
    return out;
}

std::uint32_t readVersion(const json& v, const std::string& where) {
    if (v.is_string()) {
        const std::string text = v.get<std::string>();
        if (text.starts_with("0x") || text.starts_with("0X")) {
            return readWord(v, where);
        }
        std::array<int, 4> parts{};
        std::size_t count = 0;
        const char* p = text.data();
        const char* end = text.data() + text.size();
        bool ok = true;
        while (ok && count < parts.size()) {
            const auto [next, ec] = std::from_chars(p, end, parts[count]);
            ok = ec == std::errc{} && next != p && parts[count] >= 0;
            ++count;
            p = next;
            if (p == end || *p != '.') {
                break;
            }
            ++p;
        }
        ok = ok && p == end && count >= 3 && parts[0] >= 1 && parts[0] <= 15 && parts[1] <= 15 &&
             parts[2] <= 15 && parts[3] <= 4095;
        if (ok) {
            link::AppVersion version;
            version.major = static_cast<std::uint8_t>(parts[0]);
            version.minor = static_cast<std::uint8_t>(parts[1]);
            version.revision = static_cast<std::uint8_t>(parts[2]);
            version.build = static_cast<std::uint16_t>(parts[3]);
            version.platform = link::kPlatformLinux;
            return version.pack();
        }
    }
    if (v.is_number_integer()) {
        return readWord(v, where);
    }
    fail(where, "expected a version like \"6.2.0\" (major 1..15, minor and revision 0..15, "
                "build 0..4095) or a packed word like \"0x62000050\"");
}

constexpr std::array<std::string_view, 4> kTrunkingNames{"none", "rts", "delec", "both"};

json writeServer(const Site& site) {
    json out = json::object();
    out["identifier"] = wordText(site.serverIdentifier);
    out["version"] = versionText(site.serverVersion);
    if (site.trunkingFlags < kTrunkingNames.size()) {
        out["trunking"] = kTrunkingNames[site.trunkingFlags];
    } else {
        out["trunking"] = site.trunkingFlags;
    }
    out["admins"] = writeStructList(site.admins);
    return out;
}

void readServer(const json& v, const std::string& where, Site& site) {
    expectObject(v, where);
    checkKeys(v, where, {"identifier", "version", "trunking", "admins"});
    if (const json* id = find(v, "identifier")) {
        site.serverIdentifier = readWord(*id, child(where, "identifier"));
    }
    if (const json* version = find(v, "version")) {
        site.serverVersion = readVersion(*version, child(where, "version"));
    }
    if (const json* trunking = find(v, "trunking")) {
        const std::string at = child(where, "trunking");
        if (trunking->is_string()) {
            const std::string name = trunking->get<std::string>();
            const auto named = std::find(kTrunkingNames.begin(), kTrunkingNames.end(), name);
            if (named == kTrunkingNames.end()) {
                fail(at, "\"" + name + "\" is not \"none\", \"rts\", \"delec\" or \"both\"");
            }
            site.trunkingFlags = static_cast<std::uint8_t>(named - kTrunkingNames.begin());
        } else {
            site.trunkingFlags = readNumber<std::uint8_t>(*trunking, at);
        }
    }
    if (const json* admins = find(v, "admins")) {
        site.admins = readStructList<AdminAccount>(*admins, child(where, "admins"));
    }
}

// Settings records: every named field and the whole record; the fields win
// where they disagree with the hex.
template <typename R>
json writeOverlaid(const R& r, std::span<const Field> fields) {
    json out = encodeFields(r.view(), r.view(), fields);
    out["hex"] = toHex(r.view());
    return out;
}

// --- the whole site ---

constexpr auto hexOf = [](int, const auto& record) {
    return toHex(record.view());
};

json writeSetOf(int, const model::ClientBitSet& set) {
    return writeClientSet(set);
}

// One top-level member of the document. The labels, the one section that
// grows with the site, have no writer here: they are written one at a time.
struct Section {
    std::string_view key;
    json (*write)(const Site&);
};

// In the order a json object keeps its keys, so the text is what dumping the
// whole document at once would give.
constexpr std::array<Section, 23> kSections{{
    {"activityLog",
     [](const Site& s) {
         return writeStructList(s.activityLog);
     }},
    {"audio",
     [](const Site& s) {
         return json{{"default", toHex(s.defaultAudio.view())},
                     {"clients", writeKeyed(s.audio, hexOf)}};
     }},
    {"behaviour",
     [](const Site& s) {
         return writeKeyed(s.behaviour,
                           [](int, const ClientBehaviour& b) { return writeStruct(b); });
     }},
    {"blockedListens",
     [](const Site& s) {
         return writeKeyed(s.blockedListens, writeSetOf);
     }},
    {"credentials",
     [](const Site& s) {
         return writeKeyed(s.credentials, [](int index, const Cred& c) {
             return writeFieldRecord(c, model::initialCredentials(index), kCredentialFields);
         });
     }},
    {"debugFilters",
     [](const Site& s) {
         json filters = json::array();
         for (const auto word : s.debugFilters) {
             filters.push_back(wordText(word));
         }
         return filters;
     }},
    {"debugLog",
     [](const Site& s) {
         return writeStructList(s.debugLog);
     }},
    {"fixedGroups",
     [](const Site& s) {
         return writeKeyed(s.fixedGroups, writeSetOf);
     }},
    {"forcedListens",
     [](const Site& s) {
         return writeKeyed(s.forcedListens, writeSetOf);
     }},
    {"format",
     [](const Site&) {
         return json(kFormat);
     }},
    {"graphicFiles",
     [](const Site& s) {
         return json(s.graphicFiles);
     }},
    {"labels", nullptr},
    {"masterAdministrator",
     [](const Site& s) {
         return writeFieldRecord(s.masterAdministrator,
                                 model::initialCredentials(model::kMasterAdministratorIndex),
                                 kCredentialFields);
     }},
    {"options",
     [](const Site& s) {
         return json{{"default", toHex(s.defaultOptions.view())},
                     {"sipDefault", toHex(s.sipDefaultOptions.view())},
                     {"clients", writeKeyed(s.options, hexOf)}};
     }},
    {"partyLines",
     [](const Site& s) {
         return writeKeyed(s.partyLines,
                           [](int number, const Pl& r) { return writePartyLine(r, number); });
     }},
    {"selectors",
     [](const Site& s) {
         return json{{"default", writeSelectors(s.defaultSelectors)},
                     {"clients", writeKeyed(s.selectors,
                                            [](int, const Sel& r) { return writeSelectors(r); })}};
     }},
    {"server",
     [](const Site& s) {
         return writeServer(s);
     }},
    {"sipRegistrations",
     [](const Site& s) {
         json sip = json::array();
         for (const auto& entry : s.sipRegistrations) {
             sip.push_back(writeFieldRecord(entry, Sip{}, kSipFields));
         }
         return sip;
     }},
    {"soundFiles",
     [](const Site& s) {
         return json(s.soundFiles);
     }},
    {"status",
     [](const Site& s) {
         return writeStruct(s.status);
     }},
    {"systemSettings",
     [](const Site& s) {
         return writeOverlaid(s.systemSettings, kSystemSettingsFields);
     }},
    {"systems",
     [](const Site& s) {
         json systems = json::array();
         for (const auto& entry : s.systems) {
             systems.push_back(writeFieldRecord(entry, SysEntry{}, kSystemEntryFields));
         }
         return systems;
     }},
    {"userInterfaceSettings",
     [](const Site& s) {
         return writeOverlaid(s.userInterfaceSettings, kUiFields);
     }},
}};
static_assert(std::ranges::is_sorted(kSections, {}, &Section::key));

std::string dumped(const json& value) {
    return value.dump(2, ' ', false, json::error_handler_t::replace);
}

// `text` as it reads nested in a document: every line after the first moved
// right by `indent`. Dumped strings escape their line feeds, so each line
// feed left is a break between members.
void writeNested(std::ostream& out, const std::string& text, std::string_view indent) {
    std::size_t begin = 0;
    for (std::size_t feed = text.find('\n'); feed != std::string::npos;
         feed = text.find('\n', begin)) {
        out.write(text.data() + begin, static_cast<std::streamsize>(feed + 1 - begin));
        out << indent;
        begin = feed + 1;
    }
    out.write(text.data() + begin, static_cast<std::streamsize>(text.size() - begin));
}

void writeLabels(const Site& site, std::ostream& out) {
    if (site.labels.empty()) {
        out << "[]";
        return;
    }
    const L blank = blankLabel();
    const char* separator = "[\n    ";
    for (const auto& entry : site.labels) {
        out << separator;
        writeNested(out, dumped(writeLabel(entry.second, blank)), "    ");
        separator = ",\n    ";
    }
    out << "\n  ]";
}

std::vector<std::string> readNames(const json& v, const std::string& where) {
    expectArray(v, where);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        out.push_back(readString(v[i], item(where, i)));
    }
    return out;
}

// Calls read(value, where) for each section the root holds.
template <typename Read>
void section(const json& root, std::string_view key, Read read) {
    if (const json* v = find(root, key)) {
        read(*v, std::string(key));
    }
}

Site readSite(const json& root) {
    expectObject(root, "");
    checkKeys(root, "",
              {"format",
               "server",
               "labels",
               "credentials",
               "masterAdministrator",
               "options",
               "audio",
               "selectors",
               "partyLines",
               "fixedGroups",
               "blockedListens",
               "forcedListens",
               "systemSettings",
               "userInterfaceSettings",
               "systems",
               "status",
               "behaviour",
               "sipRegistrations",
               "debugLog",
               "activityLog",
               "debugFilters",
               "soundFiles",
               "graphicFiles"});
    Site site;
    section(root, "format", [](const json& v, const std::string& where) {
        if (readNumber<int>(v, where) != kFormat) {
            fail(where, "format " + v.dump() + " is not known; this simulator reads format " +
                            std::to_string(kFormat));
        }
    });
    section(root, "server",
            [&](const json& v, const std::string& where) { readServer(v, where, site); });
    section(root, "labels", [&](const json& v, const std::string& where) {
        expectArray(v, where);
        for (std::size_t i = 0; i < v.size(); ++i) {
            const std::string at = item(where, i);
            const L label = readLabel(v[i], at);
            const int number = label.get(L::kLabelNumber);
            if (!site.labels.emplace(number, label).second) {
                fail(child(at, "number"), "label " + std::to_string(number) + " appears twice");
            }
        }
    });
    section(root, "credentials", [&](const json& v, const std::string& where) {
        site.credentials =
            readByClient<Cred>(v, where, [](const json& value, const std::string& at, int index) {
                return readFieldRecord(value, at, model::initialCredentials(index),
                                       kCredentialFields);
            });
    });
    section(root, "masterAdministrator", [&](const json& v, const std::string& where) {
        site.masterAdministrator =
            readFieldRecord(v, where, model::initialCredentials(model::kMasterAdministratorIndex),
                            kCredentialFields);
    });
    section(root, "options", [&](const json& v, const std::string& where) {
        expectObject(v, where);
        checkKeys(v, where, {"default", "sipDefault", "clients"});
        using O = model::ClientOptions;
        if (const json* d = find(v, "default")) {
            site.defaultOptions = recordFromHex<O>(*d, child(where, "default"));
        }
        if (const json* d = find(v, "sipDefault")) {
            site.sipDefaultOptions = recordFromHex<O>(*d, child(where, "sipDefault"));
        }
        if (const json* clients = find(v, "clients")) {
            site.options = readByClient<O>(*clients, child(where, "clients"),
                                           [](const json& value, const std::string& at, int) {
                                               return recordFromHex<O>(value, at);
                                           });
        }
    });
    section(root, "audio", [&](const json& v, const std::string& where) {
        expectObject(v, where);
        checkKeys(v, where, {"default", "clients"});
        using A = model::AudioSettings;
        if (const json* d = find(v, "default")) {
            site.defaultAudio = recordFromHex<A>(*d, child(where, "default"));
        }
        if (const json* clients = find(v, "clients")) {
            site.audio = readByClient<A>(*clients, child(where, "clients"),
                                         [](const json& value, const std::string& at, int) {
                                             return recordFromHex<A>(value, at);
                                         });
        }
    });
    section(root, "selectors", [&](const json& v, const std::string& where) {
        expectObject(v, where);
        checkKeys(v, where, {"default", "clients"});
        if (const json* d = find(v, "default")) {
            site.defaultSelectors = readSelectors(*d, child(where, "default"));
        }
        if (const json* clients = find(v, "clients")) {
            site.selectors = readByClient<Sel>(*clients, child(where, "clients"),
                                               [](const json& value, const std::string& at, int) {
                                                   return readSelectors(value, at);
                                               });
        }
    });
    section(root, "partyLines", [&](const json& v, const std::string& where) {
        site.partyLines = readKeyed<Pl>(v, where, model::kFirstLabelNumber, model::kLastLabelNumber,
                                        "a label number",
                                        [](const json& value, const std::string& at, int number) {
                                            return readPartyLine(value, at, number);
                                        });
    });
    const auto readSet = [](const json& value, const std::string& at, int) {
        return readClientSet(value, at);
    };
    section(root, "fixedGroups", [&](const json& v, const std::string& where) {
        site.fixedGroups = readKeyed<model::ClientBitSet>(
            v, where, 0, static_cast<int>(model::kFixedGroupsPerSystem) - 1, "a fixed group index",
            readSet);
    });
    section(root, "blockedListens", [&](const json& v, const std::string& where) {
        site.blockedListens = readByClient<model::ClientBitSet>(v, where, readSet);
    });
    section(root, "forcedListens", [&](const json& v, const std::string& where) {
        site.forcedListens = readByClient<model::ClientBitSet>(v, where, readSet);
    });
    section(root, "systemSettings", [&](const json& v, const std::string& where) {
        site.systemSettings = readFieldRecord(v, where, Sys{}, kSystemSettingsFields);
    });
    section(root, "userInterfaceSettings", [&](const json& v, const std::string& where) {
        site.userInterfaceSettings = readFieldRecord(v, where, Ui{}, kUiFields);
    });
    section(root, "systems", [&](const json& v, const std::string& where) {
        expectArray(v, where);
        if (v.size() > model::kSystemListEntries) {
            fail(where, std::to_string(v.size()) + " systems, at most " +
                            std::to_string(model::kSystemListEntries) + " fit");
        }
        for (std::size_t i = 0; i < v.size(); ++i) {
            site.systems.push_back(
                readFieldRecord(v[i], item(where, i), SysEntry{}, kSystemEntryFields));
        }
    });
    section(root, "status", [&](const json& v, const std::string& where) {
        site.status = readStruct<StatusFigures>(v, where);
    });
    section(root, "behaviour", [&](const json& v, const std::string& where) {
        site.behaviour = readByClient<ClientBehaviour>(
            v, where, [](const json& value, const std::string& at, int) {
                return readStruct<ClientBehaviour>(value, at);
            });
    });
    section(root, "sipRegistrations", [&](const json& v, const std::string& where) {
        expectArray(v, where);
        for (std::size_t i = 0; i < v.size(); ++i) {
            site.sipRegistrations.push_back(
                readFieldRecord(v[i], item(where, i), Sip{}, kSipFields));
        }
    });
    section(root, "debugLog", [&](const json& v, const std::string& where) {
        site.debugLog = readStructList<LogLine>(v, where);
    });
    section(root, "activityLog", [&](const json& v, const std::string& where) {
        site.activityLog = readStructList<LogLine>(v, where);
    });
    section(root, "debugFilters", [&](const json& v, const std::string& where) {
        expectArray(v, where);
        for (std::size_t i = 0; i < v.size(); ++i) {
            site.debugFilters.push_back(readWord(v[i], item(where, i)));
        }
    });
    section(root, "soundFiles", [&](const json& v, const std::string& where) {
        site.soundFiles = readNames(v, where);
    });
    section(root, "graphicFiles", [&](const json& v, const std::string& where) {
        site.graphicFiles = readNames(v, where);
    });
    return site;
}

// "line 3, column 7: ..." from the parser's message.
std::string parseErrorText(const json::parse_error& e) {
    const std::string what = e.what();
    const auto at = what.find("parse error");
    return "bad JSON: " + (at == std::string::npos ? what : what.substr(at));
}

std::optional<Site> parseNamed(std::string_view text, const std::string& name,
                               ScenarioError& error) {
    try {
        const json root = json::parse(text);
        return readSite(root);
    } catch (const json::parse_error& e) {
        error.message = name + ": " + parseErrorText(e);
    } catch (const Failure& e) {
        error.message = name + ": " + e.what;
    } catch (const json::exception& e) {
        error.message = name + ": " + e.what();
    }
    return std::nullopt;
}

} // namespace

std::optional<Site> loadScenario(const std::filesystem::path& path, ScenarioError& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error.message = path.string() + ": cannot open: " + errorText(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        error.message = path.string() + ": cannot read";
        return std::nullopt;
    }
    return parseNamed(text.str(), path.string(), error);
}

std::optional<Site> parseScenario(std::string_view json, ScenarioError& error) {
    return parseNamed(json, "scenario", error);
}

void writeScenario(const Site& site, std::ostream& out, const ScenarioFilter& filter) {
    const char* separator = "{\n  \"";
    for (const Section& section : kSections) {
        if (!filter.sections.empty() && std::find(filter.sections.begin(), filter.sections.end(),
                                                  section.key) == filter.sections.end()) {
            continue;
        }
        out << separator << section.key << "\": ";
        separator = ",\n  \"";
        if (section.write == nullptr) {
            writeLabels(site, out);
            continue;
        }
        json value = section.write(site);
        if (section.key == "server" && !filter.serverAccounts) {
            value.erase("admins");
            value.erase("identifier");
        }
        writeNested(out, dumped(value), "  ");
    }
    out << (separator[0] == '{' ? "{}\n" : "\n}\n");
}

std::string toScenarioJson(const Site& site) {
    std::ostringstream out;
    writeScenario(site, out);
    return std::move(out).str();
}

bool saveScenario(const Site& site, const std::filesystem::path& path, ScenarioError& error) {
    error.message = core::replaceFile(path, toScenarioJson(site));
    return error.message.empty();
}

} // namespace mirx::site
