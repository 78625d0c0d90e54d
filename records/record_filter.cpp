#include "records/record_filter.h"

#include <cstdio>
#include <vector>

#include "records/sql_text.h"

namespace records {
namespace {

struct TimeParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool hasTime = false;
};

bool digitsAt(const std::string& text, size_t at, size_t count) {
  if (at + count > text.size()) return false;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int numberAt(const std::string& text, size_t at, size_t count) {
  return std::stoi(text.substr(at, count));
}

std::optional<TimeParts> parseTime(const std::string& text) {
  TimeParts parts;
  if (!digitsAt(text, 0, 4) || text.size() < 10 || text[4] != '-' || !digitsAt(text, 5, 2) ||
      text[7] != '-' || !digitsAt(text, 8, 2)) {
    return std::nullopt;
  }
  parts.year = numberAt(text, 0, 4);
  parts.month = numberAt(text, 5, 2);
  parts.day = numberAt(text, 8, 2);
  if (text.size() > 10) {
    if ((text[10] != ' ' && text[10] != 'T') || !digitsAt(text, 11, 2) || text.size() < 16 ||
        text[13] != ':' || !digitsAt(text, 14, 2)) {
      return std::nullopt;
    }
    parts.hour = numberAt(text, 11, 2);
    parts.minute = numberAt(text, 14, 2);
    if (text.size() > 16) {
      if (text.size() != 19 || text[16] != ':' || !digitsAt(text, 17, 2)) return std::nullopt;
      parts.second = numberAt(text, 17, 2);
    }
    parts.hasTime = true;
  }
  if (parts.month < 1 || parts.month > 12 || parts.day < 1 || parts.day > 31 || parts.hour > 23 ||
      parts.minute > 59 || parts.second > 59) {
    return std::nullopt;
  }
  return parts;
}

std::string format(const TimeParts& p, const char* fraction) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d%s", p.year, p.month, p.day,
                p.hour, p.minute, p.second, fraction);
  return text;
}

}  // namespace

std::optional<std::string> boundTime(const std::string& text, bool upper) {
  std::optional<TimeParts> parts = parseTime(text);
  if (!parts) return std::nullopt;
  if (!upper) return format(*parts, ".000");
  // A date alone reaches to the last millisecond of that day.
  if (!parts->hasTime) {
    parts->hour = 23;
    parts->minute = 59;
    parts->second = 59;
  }
  return format(*parts, ".999");
}

std::string whereClause(const RecordFilter& filter) {
  std::vector<std::string> terms;
  if (!filter.imei.empty()) terms.push_back("imei = " + sqlText(filter.imei));
  if (!filter.since.empty()) terms.push_back("start_time >= " + sqlText(filter.since));
  if (!filter.until.empty()) terms.push_back("start_time <= " + sqlText(filter.until));
  if (!filter.result.empty()) terms.push_back("result = " + sqlText(filter.result));
  if (!filter.station.empty()) terms.push_back("station = " + sqlText(filter.station));
  std::string clause;
  for (const std::string& term : terms) clause += (clause.empty() ? " WHERE " : " AND ") + term;
  return clause;
}

}  // namespace records
