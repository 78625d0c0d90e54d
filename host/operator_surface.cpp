#include "host/operator_surface.h"

#include <atomic>

namespace host {
namespace {

class SilentSurface : public OperatorSurface {
 public:
  void setDutMessage(int, const std::string&) override {}
  void setDutProgress(int, double, const std::string&) override {}
  void setDutStatus(int, int, Rgb, bool, Rgb) override {}
  void messageBox(const std::string&, const std::string&) override {}
};

SilentSurface gSilent;
std::atomic<OperatorSurface*> gSurface{&gSilent};

}  // namespace

namespace {

const char* const kControlNames[kControlCount] = {
    "backup",  "aponly",  "qcnonly", "start",   "stop",    "platform",
    "Qca6270", "Qca6695", "Qca9206", "Qca9x15", "Qca9x07", "Qca8909",
};

}  // namespace

const char* controlName(Control control) {
  int index = static_cast<int>(control);
  return index >= 0 && index < kControlCount ? kControlNames[index] : "";
}

std::optional<Control> controlFromName(const std::string& name) {
  for (int i = 0; i < kControlCount; ++i) {
    if (name == kControlNames[i]) return static_cast<Control>(i);
  }
  return std::nullopt;
}

OperatorSurface& surface() {
  return *gSurface.load();
}

OperatorSurface* installSurface(OperatorSurface* s) {
  OperatorSurface* previous = gSurface.exchange(s ? s : &gSilent);
  return previous == &gSilent ? nullptr : previous;
}

}  // namespace host
