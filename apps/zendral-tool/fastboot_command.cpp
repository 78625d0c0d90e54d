// zendral-tool fastboot: placeholder until the fastboot service is built.

#include <cstdio>

#include "apps/zendral-tool/subcommands.h"

int runFastbootCommand(int, char**) {
  std::fprintf(stderr, "zendral-tool fastboot: not available in this build\n");
  return 2;
}
