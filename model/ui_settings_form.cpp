#include "model/ui_settings_form.h"

#include "core/utf16.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace mirx::model {
namespace {

using U = UserInterfaceSettings;

constexpr std::array<std::uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Index of the graphics slot a colour fills, if any.
std::optional<std::size_t> filledSlot(int colour) {
    if (colour == 2) {
        return static_cast<std::size_t>(GraphicSlot::SelectorWindow);
    }
    if (colour == 4) {
        return static_cast<std::size_t>(GraphicSlot::NormalSelector);
    }
    return std::nullopt;
}

} // namespace

UiEnabling uiEnabling(const UiColours& colours) {
    UiEnabling enabling;
    enabling.graphics[static_cast<std::size_t>(GraphicSlot::Logo)] = true;
    for (std::size_t row = 0; row < kUiColourRows.size(); ++row) {
        const int colour = kUiColourRows[row].backgroundColour;
        const bool transparent = isTransparent(colours[static_cast<std::size_t>(colour)]);
        enabling.transparent[row] = kUiColourRows[row].hasTransparent && !transparent;
        if (const auto slot = filledSlot(colour)) {
            enabling.graphics[*slot] = transparent;
        }
    }
    return enabling;
}

std::vector<std::string_view> colourSchemeEntries() {
    std::vector<std::string_view> entries{kChooseSchemeEntry};
    for (const ColourScheme& scheme : kColourSchemes) {
        entries.push_back(scheme.name);
    }
    return entries;
}

const ColourScheme* colourSchemeAt(std::size_t entry) {
    return entry == 0 || entry > kColourSchemes.size() ? nullptr : &kColourSchemes[entry - 1];
}

UiSettingsForm showUiSettings(const UserInterfaceSettings& record) {
    UiSettingsForm form;
    for (std::size_t i = 0; i < U::kColours.size(); ++i) {
        form.colours[i] = record.get(U::kColours[i]);
    }
    form.verticalSpacing = std::to_string(record.get(U::kVerticalSpacing));
    form.horizontalSpacing = std::to_string(record.get(U::kHorizontalSpacing));
    for (std::size_t slot = 0; slot < kGraphicSlots; ++slot) {
        form.graphics[slot] = record.get(kGraphicSlotInfo[slot].name);
    }
    return form;
}

std::optional<std::int16_t> parseSpacing(std::string_view text) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    long value = 0;
    for (const char c : text) {
        value = value * 10 + (c - '0');
    }
    value = negative ? -value : value;
    if (value < -32768 || value > 32767) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

UiSettingsInput readUiSettings(const UiSettingsForm& form, const UserInterfaceSettings& current) {
    UiSettingsInput input;
    input.record = current;
    const auto vertical = parseSpacing(form.verticalSpacing);
    const auto horizontal = parseSpacing(form.horizontalSpacing);
    const auto notSpacing = [](std::string_view caption, std::string_view text) {
        return std::string(caption) + ": \"" + std::string(text) +
               "\" is not a whole number from -32768 to 32767.";
    };
    if (!vertical) {
        input.error = notSpacing("Vertical Spacing", form.verticalSpacing);
        input.field = SpacingField::Vertical;
        return input;
    }
    if (!horizontal) {
        input.error = notSpacing("Horizontal Spacing", form.horizontalSpacing);
        input.field = SpacingField::Horizontal;
        return input;
    }
    UserInterfaceSettings& record = input.record;
    for (std::size_t i = 0; i < U::kColours.size(); ++i) {
        record.set(U::kColours[i], form.colours[i]);
    }
    record.set(U::kVerticalSpacing, *vertical);
    record.set(U::kHorizontalSpacing, *horizontal);
    for (std::size_t slot = 0; slot < kGraphicSlots; ++slot) {
        const GraphicSlotInfo& info = kGraphicSlotInfo[slot];
        const std::string before = current.get(info.name);
        record.set(info.name, form.graphics[slot]);
        if (record.get(info.name) != before) {
            record.set(info.value, 0);
        }
    }
    return input;
}

bool hasPngSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kPngSignature.size() &&
           std::equal(kPngSignature.begin(), kPngSignature.end(), bytes.begin());
}

LocalGraphicFile readGraphicFile(const std::filesystem::path& path) {
    LocalGraphicFile file;
    file.name = path.filename().string();
    if (text::utf16Length(file.name) > kServerFileNameMaxChars) {
        file.error = kGraphicNameTooLong;
        return file;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        file.error = kUnableToOpenFile;
        return file;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        file.error = kUnableToOpenFile;
        return file;
    }
    // One byte past the limit tells an oversized file without reading it all.
    file.bytes.resize(kMaxGraphicFileBytes + 1);
    in.read(reinterpret_cast<char*>(file.bytes.data()),
            static_cast<std::streamsize>(file.bytes.size()));
    if (in.bad()) {
        file.bytes.clear();
        file.error = kUnableToOpenFile;
        return file;
    }
    file.bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (file.bytes.size() > kMaxGraphicFileBytes) {
        file.bytes.clear();
        file.error = "The graphic file \"" + file.name +
                     "\" is larger than 80000 bytes and cannot be uploaded!";
    } else if (!hasPngSignature(file.bytes)) {
        file.bytes.clear();
        file.error = "The file \"" + file.name + "\" is not a PNG graphic file!";
    }
    return file;
}

std::vector<std::string> namesMissingFrom(const std::vector<std::string>& uploaded,
                                          const FileNameList& list) {
    std::vector<std::string> missing;
    for (const std::string& name : uploaded) {
        if (std::find(list.names.begin(), list.names.end(), name) == list.names.end()) {
            missing.push_back(name);
        }
    }
    return missing;
}

} // namespace mirx::model
