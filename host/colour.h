#pragma once
// Colours of the operator surface: status lamps, message text, table cells.

#include <cstdint>
#include <string>

namespace host {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kBlack{0, 0, 0};

// A colour from its 0xRRGGBB value, as the procedures give cell colours.
constexpr Rgb rgbFromHex(uint32_t value) {
  return Rgb{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value)};
}

// "green", "red", "blue" or "black" for those colours, "#rrggbb" for any other.
std::string colourName(Rgb colour);

}  // namespace host
