#pragma once
// What the operator sees, at the level of roles: the DUT row, message boxes and the rest of
// the main panel. The Qt window and the headless station each implement it. Every method may
// be called from any thread; an implementation carries the change to its UI thread and returns
// once the change is drawn.

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

class OperatorSurface {
 public:
  virtual ~OperatorSurface() = default;

  // The DUT row; `dut` is the 1-based DUT number.
  virtual void setDutMessage(int dut, const std::string& text) = 0;
  virtual void setDutProgress(int dut, double percent, const std::string& caption) = 0;
  // A status report: the value as reported, the lamp's colour and whether it is lit, and the
  // colour of the message line's text.
  virtual void setDutStatus(int dut, int status, Rgb lamp, bool lampOn, Rgb text) = 0;

  // A modal message box; returns when the operator has closed it.
  virtual void messageBox(const std::string& title, const std::string& text) = 0;
};

// The surface every layer reports to. Until one is installed, a surface that ignores
// everything stands in, so library code and tools run without a window.
OperatorSurface& surface();
// Installs `s` (not owned; null restores the silent surface). Returns the previous one.
OperatorSurface* installSurface(OperatorSurface* s);

}  // namespace host
