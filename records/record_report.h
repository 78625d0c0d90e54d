#pragma once
// The records as zendral-tool shows them: one line per run, one run in full, and CSV.

#include <string>
#include <vector>

#include "records/record_database.h"

namespace records {

// The column heads, then one line per run.
std::string listText(const std::vector<StoredRun>& runs);
// Every field of the run, one per line, then its images.
std::string showText(const StoredRun& run);
// A header row and one row per run (RFC 4180 quoting); the images in one column as
// "label=path sha256" entries joined by "; ".
std::string csvText(const std::vector<StoredRun>& runs);

}  // namespace records
