// zendral-headless: the station without a window. Operator actions arrive on standard input,
// one per line; every change of the operator surface leaves as one JSON line on standard
// output. It works in the current directory (cfg.ini, Platform/, Dut1.log), as the windowed
// station does.

#include <unistd.h>

#include "ui/headless/headless_station.h"

int main() {
  return runHeadlessStation(STDIN_FILENO, stdout);
}
