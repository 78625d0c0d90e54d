#include "chipsets/phone_server.h"

#include <cstdio>

#include "host/process_killer.h"

namespace {

constexpr char kServerName[] = "QPSTServer.exe";
constexpr char kCommandLine[] = "cmd.exe /C taskkill /f /im QPSTServer.exe";

}  // namespace

void stopPhoneServer() {
  std::fprintf(stderr, "%s\n", kCommandLine);
  host::processKiller().endByName(kServerName);
}
