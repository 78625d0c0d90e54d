// Reading a profile file into lines, finding sections and keys, and the edits that writes make.

#include "profile_document.h"

#include <utility>

namespace wexley {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\v\f\r";
// Lines that a write produces end like this, whatever the rest of the file uses.
constexpr std::string_view kWrittenEnding = "\r\n";

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Splits the bytes at LF, CR LF and lone CR; a last line without a break keeps an empty ending.
std::vector<std::pair<std::string, std::string>> splitLines(std::string_view bytes) {
  std::vector<std::pair<std::string, std::string>> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t stop = bytes.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      lines.emplace_back(std::string(bytes.substr(start)), "");
      break;
    }
    size_t breakLength =
        (bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n') ? 2 : 1;
    lines.emplace_back(std::string(bytes.substr(start, stop - start)),
                       std::string(bytes.substr(stop, breakLength)));
    start = stop + breakLength;
  }
  return lines;
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
  a = trimBlanks(a);
  b = trimBlanks(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

ProfileLine ProfileDocument::makeLine(std::string text, std::string ending) {
  ProfileLine line;
  line.text = std::move(text);
  line.ending = std::move(ending);
  std::string_view content = trimBlanks(line.text);
  if (content.empty()) {
    line.kind = ProfileLine::Kind::kBlank;
  } else if (content.front() == ';') {
    line.kind = ProfileLine::Kind::kComment;
  } else if (size_t close = content.rfind(']');
             content.front() == '[' && close != 0 && close != std::string_view::npos) {
    line.kind = ProfileLine::Kind::kSection;
    line.name = trimBlanks(content.substr(1, close - 1));
  } else {
    line.kind = ProfileLine::Kind::kEntry;
    size_t equals = content.find('=');
    line.hasEquals = equals != std::string_view::npos;
    line.name = trimBlanks(content.substr(0, equals));
    if (line.hasEquals) line.value = trimBlanks(content.substr(equals + 1));
  }
  return line;
}

ProfileDocument ProfileDocument::parse(std::string_view bytes) {
  ProfileDocument document;
  if (bytes.starts_with(kByteOrderMark)) {
    document.byteOrderMark_ = kByteOrderMark;
    bytes.remove_prefix(kByteOrderMark.size());
  }
  for (auto& [text, ending] : splitLines(bytes)) {
    document.lines_.push_back(makeLine(std::move(text), std::move(ending)));
  }
  return document;
}

std::string ProfileDocument::bytes() const {
  std::string out = byteOrderMark_;
  for (const ProfileLine& line : lines_) {
    out += line.text;
    out += line.ending;
  }
  return out;
}

std::optional<size_t> ProfileDocument::findSection(std::string_view name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == ProfileLine::Kind::kSection && sameName(lines_[i].name, name)) return i;
  }
  return std::nullopt;
}

size_t ProfileDocument::sectionEnd(size_t header) const {
  size_t end = header + 1;
  while (end < lines_.size() && lines_[end].kind != ProfileLine::Kind::kSection) ++end;
  return end;
}

std::optional<size_t> ProfileDocument::findEntry(size_t header, std::string_view key) const {
  for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i) {
    if (lines_[i].kind == ProfileLine::Kind::kEntry && sameName(lines_[i].name, key)) return i;
  }
  return std::nullopt;
}

std::vector<const ProfileLine*> ProfileDocument::entries(std::string_view section) const {
  std::vector<const ProfileLine*> found;
  std::optional<size_t> header = findSection(section);
  if (!header) return found;
  for (size_t i = *header + 1, end = sectionEnd(*header); i < end; ++i) {
    if (lines_[i].kind == ProfileLine::Kind::kEntry) found.push_back(&lines_[i]);
  }
  return found;
}

// Blank lines and comments after a section's last entry usually set off the next section, so
// new entries go before them.
size_t ProfileDocument::insertionPoint(size_t header) const {
  size_t point = header + 1;
  for (size_t i = header + 1, end = sectionEnd(header); i < end; ++i) {
    if (lines_[i].kind == ProfileLine::Kind::kEntry) point = i + 1;
  }
  return point;
}

void ProfileDocument::insertLines(size_t at, std::vector<ProfileLine> added) {
  // A last line without a break gets one, so that what follows starts a line of its own.
  if (at > 0 && lines_[at - 1].ending.empty()) lines_[at - 1].ending = kWrittenEnding;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

void ProfileDocument::appendSection(std::string_view section,
                                    const std::vector<std::string>& entries) {
  std::vector<ProfileLine> added;
  added.push_back(
      makeLine("[" + std::string(trimBlanks(section)) + "]", std::string(kWrittenEnding)));
  for (const std::string& entry : entries) {
    added.push_back(makeLine(entry, std::string(kWrittenEnding)));
  }
  insertLines(lines_.size(), std::move(added));
}

void ProfileDocument::setValue(std::string_view section, std::string_view key,
                               std::string_view value) {
  std::optional<size_t> header = findSection(section);
  if (!header) {
    appendSection(section, {std::string(trimBlanks(key)) + "=" + std::string(value)});
    return;
  }
  std::optional<size_t> entry = findEntry(*header, key);
  if (entry) {
    // The key keeps the spelling the file gives it.
    std::string name = lines_[*entry].name;
    lines_[*entry] = makeLine(name + "=" + std::string(value), std::string(kWrittenEnding));
    return;
  }
  std::string text = std::string(trimBlanks(key)) + "=" + std::string(value);
  insertLines(insertionPoint(*header), {makeLine(std::move(text), std::string(kWrittenEnding))});
}

bool ProfileDocument::removeEntry(std::string_view section, std::string_view key) {
  std::optional<size_t> header = findSection(section);
  if (!header) return false;
  std::optional<size_t> entry = findEntry(*header, key);
  if (!entry) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*entry));
  return true;
}

bool ProfileDocument::removeSection(std::string_view section) {
  std::optional<size_t> header = findSection(section);
  if (!header) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*header),
               lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(*header)));
  return true;
}

bool ProfileDocument::replaceBody(std::string_view section, const std::vector<std::string>& entries,
                                  bool createMissing) {
  std::optional<size_t> header = findSection(section);
  if (!header) {
    if (!createMissing) return false;
    appendSection(section, entries);
    return true;
  }
  size_t first = *header + 1;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(first),
               lines_.begin() + static_cast<std::ptrdiff_t>(insertionPoint(*header)));
  std::vector<ProfileLine> added;
  for (const std::string& entry : entries) {
    added.push_back(makeLine(entry, std::string(kWrittenEnding)));
  }
  insertLines(first, std::move(added));
  return true;
}

}  // namespace wexley
