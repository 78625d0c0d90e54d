// zendral-tool ini: placeholder until the ini service is built.

#include <cstdio>

#include "apps/zendral-tool/subcommands.h"

int runIniCommand(int, char**) {
  std::fprintf(stderr, "zendral-tool ini: not available in this build\n");
  return 2;
}
