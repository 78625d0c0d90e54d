// zendral-tool: the line engineer's tool, one subcommand per station service.

#include <cstdio>
#include <cstring>

#include "apps/zendral-tool/subcommands.h"

namespace {

struct Subcommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

const Subcommand kSubcommands[] = {
    {"ini", runIniCommand, "read and change INI files"},
    {"fastboot", runFastbootCommand, "talk to a fastboot device"},
    {"records", runRecordsCommand, "list, show and export the recorded runs"},
};

int usage() {
  std::fprintf(stderr, "usage: zendral-tool SUBCOMMAND ARGS...\n");
  for (const Subcommand& sub : kSubcommands)
    std::fprintf(stderr, "  %-10s %s\n", sub.name, sub.summary);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  for (const Subcommand& sub : kSubcommands) {
    if (std::strcmp(argv[1], sub.name) == 0) return sub.run(argc - 2, argv + 2);
  }
  return usage();
}
