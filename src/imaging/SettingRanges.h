// The values the processing settings may take: what the Image Setting dialog lets one type, and what a
// settings file's value must lie in to be used (the colour gains in percent).
#pragma once

#include <cstdint>

struct SettingRange {
    int32_t min = 0, max = 0;
    bool nonZero = false; // 0 is refused even where the range holds it
    constexpr bool holds(int64_t v) const { return v >= min && v <= max && !(nonZero && v == 0); }
};

namespace SettingRanges {
constexpr SettingRange kInterlace { 0, 2000 };
constexpr SettingRange kBinary { 0, 255, true };
constexpr SettingRange kColourGainPercent { 1, 200, true };
constexpr SettingRange kContrast { -127, 127 };
constexpr SettingRange kSharpness { 0, 30 };
constexpr SettingRange kHue { -360, 360 };
constexpr SettingRange kBrightness { -255, 255 };
constexpr SettingRange kSaturation { -255, 255 };
constexpr SettingRange kGamma { 1, 200, true };
} // namespace SettingRanges
