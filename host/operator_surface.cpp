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

OperatorSurface& surface() { return *gSurface.load(); }

OperatorSurface* installSurface(OperatorSurface* s) {
  OperatorSurface* previous = gSurface.exchange(s ? s : &gSilent);
  return previous == &gSilent ? nullptr : previous;
}

}  // namespace host
