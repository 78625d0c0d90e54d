#pragma once
// The wall clock as people read it, for log lines and file names.

#include <string>

namespace host {

// The local time now, written with strftime's conversions (for example "%Y-%m-%d %H:%M:%S").
std::string localTimeText(const char* format);

}  // namespace host
