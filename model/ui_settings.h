#pragma once

#include "model/record.h"
#include "model/sound_files.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// The look of the clients' selector panels (CONFIGURATION_DATA_USER_
// INTERFACE_SETTINGS, 2018), the server's graphic file list (6055) and the
// graphic upload (6056). Bytes without a descriptor go back as received.

namespace mirx::model {

// A colour value below 0x01000000 (top byte clear) is "transparent": the
// element shows its graphic file instead. Colours chosen here get top byte FF.
inline constexpr std::uint32_t kOpaque = 0xFF000000;
constexpr bool isTransparent(std::uint32_t colour) {
    return colour < 0x01000000;
}

struct UserInterfaceSettings : rec::Record<200> {
    static constexpr rec::Scalar<std::uint32_t> kTopBorderBackground{0};
    static constexpr rec::Scalar<std::uint32_t> kBottomBorderBackground{4};
    static constexpr rec::Scalar<std::uint32_t> kSelectorWindowBackground{8};
    static constexpr rec::Scalar<std::int16_t> kVerticalSpacing{12};
    static constexpr rec::Scalar<std::int16_t> kHorizontalSpacing{14};
    static constexpr rec::Scalar<std::uint32_t> kNormalSelectorText{16};
    static constexpr rec::Scalar<std::uint32_t> kNormalSelectorBackground{20};
    static constexpr rec::Scalar<std::uint32_t> kIlluminatedSelectorText{24};
    static constexpr rec::Scalar<std::uint32_t> kIlluminatedSelectorBackground{28};
    static constexpr rec::Scalar<std::uint32_t> kDisabledSelectorText{32};
    static constexpr rec::Scalar<std::uint32_t> kDisabledSelectorBackground{36};
    // Each graphic file name is followed by a value that belongs to it; the
    // console keeps it while the name is unchanged and clears it otherwise.
    static constexpr rec::Utf16Text kSelectorWindowGraphic{40, kServerFileNameUnits};
    static constexpr rec::Scalar<std::uint16_t> kSelectorWindowGraphicValue{82};
    static constexpr rec::Utf16Text kNormalSelectorGraphic{84, kServerFileNameUnits};
    static constexpr rec::Scalar<std::uint16_t> kNormalSelectorGraphicValue{126};
    static constexpr rec::Utf16Text kLogoGraphic{128, kServerFileNameUnits};
    static constexpr rec::Scalar<std::uint16_t> kLogoGraphicValue{170};

    // Colours 0..8 in record order (the order of the colour schemes).
    static constexpr std::array<rec::Scalar<std::uint32_t>, 9> kColours{
        kTopBorderBackground,           kBottomBorderBackground,
        kSelectorWindowBackground,      kNormalSelectorText,
        kNormalSelectorBackground,      kIlluminatedSelectorText,
        kIlluminatedSelectorBackground, kDisabledSelectorText,
        kDisabledSelectorBackground};
};

static_assert(rec::fits(UserInterfaceSettings::kTopBorderBackground, UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kBottomBorderBackground,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kSelectorWindowBackground,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kVerticalSpacing, UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kHorizontalSpacing, UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kNormalSelectorText, UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kNormalSelectorBackground,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kIlluminatedSelectorText,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kIlluminatedSelectorBackground,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kDisabledSelectorText,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kDisabledSelectorBackground,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kSelectorWindowGraphic,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kSelectorWindowGraphicValue,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kNormalSelectorGraphic,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kNormalSelectorGraphicValue,
                        UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kLogoGraphic, UserInterfaceSettings::kSize));
static_assert(rec::fits(UserInterfaceSettings::kLogoGraphicValue, UserInterfaceSettings::kSize));

// The pre-configured colour schemes, after the "Choose one ..." entry that
// changes nothing.
struct ColourScheme {
    std::string_view name;
    std::array<std::uint32_t, 9> colours; // record order
    std::int16_t verticalSpacing;
    std::int16_t horizontalSpacing;
};

inline constexpr std::string_view kChooseSchemeEntry = "Choose one ...";

inline constexpr std::array<ColourScheme, 3> kColourSchemes{{
    {"Default (Blue Scheme)",
     {0xFF400000, 0xFF400000, 0x00000000, 0xFF000000, 0x00000000, 0xFF000000, 0xFFFFFFFF,
      0xFFAAAAAA, 0x00000000},
     4,
     4},
    {"Gray Scheme",
     {0xFF3C3C3C, 0xFF3C3C3C, 0xFFF8F8F8, 0xFF000000, 0xFFD6D6D6, 0xFF000000, 0xFFFFFFFF,
      0xFFAAAAAA, 0xFFEBEBEB},
     4,
     4},
    {"Dark Blue Scheme",
     {0xFF2B1500, 0xFF000000, 0xFF2B1500, 0xFF00FFFF, 0xFF2B1500, 0xFF000000, 0xFFFFFFFF,
      0xFFAAAAAA, 0x00000000},
     4,
     4},
}};

// --- graphic files ---

// The server does not bound its list and no size is fixed for the console's
// copy; we keep up to 100 names and cut the rest.
inline constexpr std::size_t kGraphicFileListCapacity = 100;
inline constexpr std::size_t kGraphicFileListBytes =
    2 + kGraphicFileListCapacity * kServerFileNameBytes;
inline constexpr std::size_t kMaxGraphicFileBytes = 80000;

inline FileNameList decodeGraphicFileList(std::span<const std::uint8_t> payload) {
    return decodeFileNameList(payload, kGraphicFileListCapacity);
}
inline std::vector<std::uint8_t> encodeGraphicFileUpload(std::string_view name,
                                                         std::span<const std::uint8_t> data) {
    return encodeFileUpload(name, data, kMaxGraphicFileBytes);
}
inline std::optional<FileUpload> decodeGraphicFileUpload(std::span<const std::uint8_t> payload) {
    return decodeFileUpload(payload, kMaxGraphicFileBytes);
}

} // namespace mirx::model
