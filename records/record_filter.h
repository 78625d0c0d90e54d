#pragma once
// Which runs a search of the records takes: by module, time, result and station. Empty fields
// take every run.

#include <optional>
#include <string>

namespace records {

struct RecordFilter {
  std::string imei;
  std::string since;  // a bound as boundTime made it
  std::string until;
  std::string result;  // "pass" or "fail"
  std::string station;
};

// A date "YYYY-MM-DD" or a time "YYYY-MM-DD HH:MM[:SS]" (or with a 'T'), UTC, as the bound of a
// search in the records' time format: a date starts at its midnight, and as an upper bound it
// takes the whole day. nullopt for anything else.
std::optional<std::string> boundTime(const std::string& text, bool upper);

// The WHERE clause of the filter ("" when it takes every run), on the runs' columns.
std::string whereClause(const RecordFilter& filter);

}  // namespace records
