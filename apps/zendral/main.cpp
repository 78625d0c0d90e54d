// zendral: the station with its window. It works in the current directory (cfg.ini,
// Platform/, Dut1.log) and takes no arguments.

#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "station/main_panel.h"
#include "ui/qt/operator_actions.h"
#include "ui/qt/qt_station.h"

namespace {

// For unattended runs on a desktop (the demo): with ZENDRAL_PRESS_START=1 the station presses
// Start itself as soon as the panel offers it, as the operator would.
void pressStartWhenOffered(QtStation& station) {
  const char* wanted = std::getenv("ZENDRAL_PRESS_START");
  if (!wanted || std::string_view(wanted) != "1") return;
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [poll, &station] {
    if (station.actions().busy() || !mainPanel().usable(host::Control::Start)) return;
    station.actions().triggerItem(host::Control::Start);
    poll->stop();
    poll->deleteLater();
  });
  poll->start(200);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Zendral");
  QtStation station;
  pressStartWhenOffered(station);
  return station.run();
}
