// zendral: the station with its window. It works in the current directory (cfg.ini,
// Platform/, Dut1.log) and takes no arguments.

#include <QApplication>

#include "ui/qt/qt_station.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Zendral");
  QtStation station;
  return station.run();
}
