#include "chipsets/tool_output.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr char kSaharaSuccess[] = "File transferred successfully";
constexpr char kSaharaFailure[] = "Image using Sahara protocol failed";
constexpr char kInfoMarker[] = "INFO: function: ";
constexpr size_t kInfoMarkerLength = sizeof kInfoMarker - 1;

constexpr char kFirehoseSuccess[] = "{All Finished Successfully}";
constexpr char kErrorMarker[] = "{ERROR: ";
constexpr size_t kErrorMarkerLength = sizeof kErrorMarker - 1;
// An error text without its "}" yet is cut to this length.
constexpr size_t kErrorTextLimit = 2255;
constexpr char kFileMarker[] = "{<program> FILE:";
// The file name starts this many characters after the "{" ("{<program> FILE:  'name'}").
constexpr size_t kFileNameOffset = 19;
constexpr char kPercentMarker[] = "{percent files transferred ";
constexpr size_t kPercentMarkerLength = sizeof kPercentMarker - 1;

// The text between `from` and the character before the "}" at `close` (that character, the
// closing quote of an entry, is not kept); empty when the entry is too short for it.
std::string entryText(const std::string& text, size_t from, size_t close) {
  if (close < from + 1) return "";
  return text.substr(from, close - 1 - from);
}

// The leading decimal number of `text` as the C library reads one, or nothing.
std::optional<double> leadingNumber(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (end == begin || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

void ToolOutputBuffer::append(const std::string& chunk) {
  if (text_.size() + chunk.size() >= kCapacity + 1) {
    text_ = chunk.substr(0, kCapacity);
  } else {
    text_ += chunk;
  }
}

ToolVerdict SaharaOutputReader::add(const std::string& chunk) {
  buffer_.append(chunk);
  std::string& text = buffer_.text();
  if (text.find(kSaharaSuccess) != std::string::npos) return ToolVerdict::Success;
  if (text.find(kSaharaFailure) != std::string::npos) return ToolVerdict::Failure;
  // Keep only the text from the last marker on: the phrases of interest follow one.
  for (size_t at = text.find(kInfoMarker); at != std::string::npos;
       at = text.find(kInfoMarker, kInfoMarkerLength)) {
    text.erase(0, at);
  }
  return ToolVerdict::None;
}

FirehoseNews FirehoseOutputReader::add(const std::string& chunk) {
  FirehoseNews news;
  buffer_.append(chunk);
  const std::string& text = buffer_.text();
  if (text.find(kFirehoseSuccess) != std::string::npos) {
    news.verdict = ToolVerdict::Success;
    news.fraction = 1.0;
    return news;
  }
  if (const size_t marker = text.find(kErrorMarker); marker != std::string::npos) {
    news.verdict = ToolVerdict::Failure;
    const size_t close = text.find('}', marker + kErrorMarkerLength);
    news.errorText = close == std::string::npos ? text.substr(marker + 1, kErrorTextLimit)
                                                : entryText(text, marker + 1, close);
    return news;
  }
  scanFiles(news);
  scanPercent(news);
  return news;
}

void FirehoseOutputReader::scanFiles(FirehoseNews& news) {
  std::string latest;
  scanEntries(kFileMarker, [&](size_t open, size_t close) {
    const std::string name = entryText(buffer_.text(), open + kFileNameOffset, close);
    if (!name.empty()) latest = name;
  });
  if (!latest.empty() && latest != lastFile_) {
    lastFile_ = latest;
    news.files.push_back(latest);
  }
}

void FirehoseOutputReader::scanPercent(FirehoseNews& news) {
  std::optional<double> latest;
  scanEntries(kPercentMarker, [&](size_t open, size_t close) {
    const size_t from = open + kPercentMarkerLength;
    const std::optional<double> percent = leadingNumber(buffer_.text().substr(from, close - from));
    if (percent) latest = std::clamp(*percent / 100.0, 0.0, 1.0);
  });
  if (latest && latest != lastFraction_) {
    lastFraction_ = latest;
    news.fraction = latest;
  }
}

void FirehoseOutputReader::scanEntries(const char* marker,
                                       const std::function<void(size_t, size_t)>& onEntry) {
  std::string& text = buffer_.text();
  for (size_t open = text.find(marker); open != std::string::npos; open = text.find(marker, open)) {
    const size_t close = text.find('}', open);
    if (close == std::string::npos) {
      text.erase(0, open);  // completed by a later chunk
      return;
    }
    onEntry(open, close);
    open = close;
  }
}
