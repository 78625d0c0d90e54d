// The headless station's action reader: a whole station runs with the fuzzer's bytes as its
// standard input and ends at their end, whatever lines they hold (unknown actions, actions on
// hidden or dimmed controls, dialog answers, overlong lines). The station must come back from
// each run with its exit event. The diagnostic library is not bound.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "chipsets/chipset_services.h"
#include "fuzz_support.h"
#include "ui/headless/headless_station.h"

namespace {

std::FILE* gEvents = nullptr;

int libraryBound(int) {
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("headless_actions");
  chipsetServices().loadLibrary = libraryBound;
  gEvents = std::fopen("/dev/null", "w");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 60000) return -1;  // one pipe holds the whole input
  int input[2];
  if (pipe(input) != 0) fuzz::fail("no pipe");
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(input[1], data + done, size - done);
    if (n <= 0) fuzz::fail("cannot fill the pipe");
    done += static_cast<size_t>(n);
  }
  close(input[1]);
  runHeadlessStation(input[0], gEvents);
  close(input[0]);
  return 0;
}
