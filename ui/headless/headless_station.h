#pragma once
// The station without a window: operator actions are read line by line from `inputFd`, every
// change of the operator surface is written to `out` as a JSON line. The end of the input
// closes the station. Returns the station's exit code after writing the "exit" event.

#include <cstdio>

int runHeadlessStation(int inputFd, std::FILE* out);
