#pragma once

#include "model/system_settings.h"
#include "model/ui_settings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// What the user interface settings view shows and reads back: the colour
// rows and their enabling rules, the colour scheme list, the spacings, the
// three graphic file names and the PNG files picked for upload.

namespace mirx::model {

using UiColours = std::array<std::uint32_t, 9>;

inline constexpr int kNoColour = -1;

struct UiColourRow {
    std::string_view caption;
    // Indices into the nine colours; kNoColour: the row has no such button.
    int textColour;
    int backgroundColour;
    // Drawn in the sample; empty for the borders and the window.
    std::string_view word;
    bool hasTransparent;
};

inline constexpr std::array<UiColourRow, 6> kUiColourRows{{
    {"Top Border", kNoColour, 0, "", false},
    {"Bottom Border", kNoColour, 1, "", false},
    {"Selector Window", kNoColour, 2, "", true},
    {"Normal Selector", 3, 4, "Normal", true},
    {"Illuminated Selector", 5, 6, "Illuminated", false},
    {"Disabled Selector", 7, 8, "Disabled", true},
}};

enum class GraphicSlot : std::uint8_t { SelectorWindow, NormalSelector, Logo };
inline constexpr std::size_t kGraphicSlots = 3;

struct GraphicSlotInfo {
    std::string_view caption;
    rec::Utf16Text name;
    rec::Scalar<std::uint16_t> value;
};
inline constexpr std::array<GraphicSlotInfo, kGraphicSlots> kGraphicSlotInfo{{
    {"Selector Window Background (stretched)", UserInterfaceSettings::kSelectorWindowGraphic,
     UserInterfaceSettings::kSelectorWindowGraphicValue},
    {"Normal Selector Background (200x68)", UserInterfaceSettings::kNormalSelectorGraphic,
     UserInterfaceSettings::kNormalSelectorGraphicValue},
    {"Logo (400x80)", UserInterfaceSettings::kLogoGraphic,
     UserInterfaceSettings::kLogoGraphicValue},
}};

// What is enabled for a set of colours: a graphics list (and its "...")
// only while the element it fills is transparent, a "Transparent" button
// only while its colour is not.
struct UiEnabling {
    std::array<bool, kGraphicSlots> graphics{};
    // By row of kUiColourRows; false for rows without the button.
    std::array<bool, kUiColourRows.size()> transparent{};
};
UiEnabling uiEnabling(const UiColours& colours);

// "Choose one ..." first, then the schemes.
std::vector<std::string_view> colourSchemeEntries();
// The scheme behind an entry of that list; nullptr for "Choose one ...".
const ColourScheme* colourSchemeAt(std::size_t entry);

// A colour picked in the chooser is opaque.
constexpr std::uint32_t chosenColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return kOpaque | rgb(red, green, blue);
}

struct UiSettingsForm {
    UiColours colours{};
    std::string verticalSpacing;
    std::string horizontalSpacing;
    std::array<std::string, kGraphicSlots> graphics;
};

UiSettingsForm showUiSettings(const UserInterfaceSettings& record);

// A whole number from -32768 to 32767, blanks around it ignored.
std::optional<std::int16_t> parseSpacing(std::string_view text);

enum class SpacingField : std::uint8_t { Vertical, Horizontal };

struct UiSettingsInput {
    std::optional<std::string> error;
    SpacingField field = SpacingField::Vertical;
    UserInterfaceSettings record;
};

// Colours, spacings and names go into a copy of `current`; a graphic
// file's value is kept while its name is unchanged and cleared otherwise.
UiSettingsInput readUiSettings(const UiSettingsForm& form, const UserInterfaceSettings& current);

// --- PNG files picked for upload ---

inline constexpr const char* kGraphicMessageCaption = "MIRX System Administration";
inline constexpr const char* kGraphicNameTooLong =
    "Graphic File Name cannot be greater than 20 characters!";
inline constexpr const char* kUnableToOpenFile = "Unable to open selected file!";

bool hasPngSignature(std::span<const std::uint8_t> bytes);

struct LocalGraphicFile {
    // The name without its folder, as the server will list it.
    std::string name;
    std::vector<std::uint8_t> bytes;
    // Why it cannot be uploaded; empty when it can.
    std::string error;

    bool usable() const { return error.empty(); }
};

// Refuses a name over 20 characters, a file that cannot be read, one that
// is not a PNG and one over the upload limit: a file is sent whole or not
// at all.
LocalGraphicFile readGraphicFile(const std::filesystem::path& path);

// Names of `uploaded` the server's list does not hold.
std::vector<std::string> namesMissingFrom(const std::vector<std::string>& uploaded,
                                          const FileNameList& list);

} // namespace mirx::model
