// The INI reader: splits the input into lines, classifies each line (comment, section header,
// item, or ignored), attaches comments, then joins multi-line items and sorts when asked.

#include "ini/reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ini/document.h"
#include "ini/inifile.h"
#include "ini/line_format.h"

namespace ini {
namespace {

constexpr size_t kReadBufferSize = 256 * 1024;

// Builds sections and items from classified lines.
class LineParser {
 public:
  explicit LineParser(IniDocument& doc) : doc_(doc) {}

  void parseLine(std::string_view line);
  void finish();

 private:
  bool parseSectionHeader(std::string_view line);
  bool parseItem(std::string_view line);
  void ignoredLine();
  void addToPendingComment(std::string_view line);

  IniDocument& doc_;
  Section* current_ = nullptr;
  std::vector<Section*> readSections_;
  std::string pendingComment_;
  bool hasPendingComment_ = false;
  int lineNumber_ = 0;
};

void LineParser::addToPendingComment(std::string_view line) {
  if (hasPendingComment_) pendingComment_ += "\r\n";
  pendingComment_ += line;
  hasPendingComment_ = true;
}

void LineParser::parseLine(std::string_view line) {
  ++lineNumber_;
  std::string_view text = trimLeft(line);
  const Tokens& tokens = doc_.tokens;
  if (text.starts_with(tokens.commentMarker)) {
    addToPendingComment(line);
  } else if (!text.empty() && text.front() == tokens.sectionStart) {
    if (!parseSectionHeader(text)) ignoredLine();
  } else if (!parseItem(text)) {
    ignoredLine();
  }
}

bool LineParser::parseSectionHeader(std::string_view text) {
  size_t end = text.rfind(doc_.tokens.sectionEnd);
  if (end == std::string_view::npos || end == 0) return false;
  if (!isAllBlank(text.substr(end + 1))) return false;
  std::string name(trim(text.substr(1, end - 1)));
  current_ = doc_.appendSection(std::move(name), lineNumber_, std::move(pendingComment_));
  readSections_.push_back(current_);
  pendingComment_.clear();
  hasPendingComment_ = false;
  return true;
}

bool LineParser::parseItem(std::string_view text) {
  size_t at = text.find(doc_.tokens.separator);
  if (at == std::string_view::npos) return false;
  std::string_view name = trimRight(text.substr(0, at));
  std::string_view value = trim(text.substr(at + doc_.tokens.separator.size()));
  if (name.empty() || value.empty()) return false;
  if (current_ == nullptr) {
    // An item before the first section has nowhere to go; its comment goes with it.
    pendingComment_.clear();
    hasPendingComment_ = false;
    return true;
  }
  Item item;
  item.name = name;
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
    item.quoted = true;
  }
  item.value = value;
  item.line = lineNumber_;
  item.comment = std::move(pendingComment_);
  pendingComment_.clear();
  hasPendingComment_ = false;
  current_->itemsForRebuild().push_back(std::move(item));
  return true;
}

void LineParser::ignoredLine() {
  if (current_ == nullptr && hasPendingComment_ && doc_.leadingComment.empty()) {
    doc_.leadingComment = std::move(pendingComment_);
    pendingComment_.clear();
    hasPendingComment_ = false;
  }
}

// A run starts at a line numbered 1 and takes every directly following line of the same
// multi-line item whose number is not 1; the run becomes one item under the base name.
void joinMultiLineItems(ItemList& items) {
  for (ItemIter it = items.begin(); it != items.end();) {
    NumberedLine first = numberedLine(it->name);
    ItemIter next = std::next(it);
    if (!first.isLine || first.number != 1) {
      it = next;
      continue;
    }
    while (next != items.end()) {
      NumberedLine line = numberedLine(next->name);
      if (!line.isLine || line.number == 1 || !sameName(line.baseName, first.baseName)) break;
      it->value += next->value;
      next = items.erase(next);
    }
    it->name = std::string(first.baseName);
    it = next;
  }
}

void LineParser::finish() {
  if (hasPendingComment_) doc_.trailingComment = std::move(pendingComment_);
  for (Section* section : readSections_) joinMultiLineItems(section->itemsForRebuild());
  if (doc_.automaticSorting) doc_.sortSections();
  doc_.touch();
}

// Splits a byte stream into lines. A line ends at a carriage return, a line feed or a NUL byte;
// a carriage return and a line feed in either order end one line together.
class LineSplitter {
 public:
  explicit LineSplitter(LineParser& parser) : parser_(parser) {}

  void feed(const char* data, size_t size);
  void finish();

 private:
  static bool isTerminator(char c) { return c == '\r' || c == '\n' || c == '\0'; }
  void append(const char* data, size_t size);
  void endLine();

  LineParser& parser_;
  char line_[kMaxLineLength];
  size_t length_ = 0;
  bool lineStarted_ = false;
  char pairTerminator_ = 0;  // the terminator that would complete a CR LF or LF CR pair
};

void LineSplitter::append(const char* data, size_t size) {
  size_t room = kMaxLineLength - length_;
  size_t taken = size < room ? size : room;
  std::copy(data, data + taken, line_ + length_);
  length_ += taken;
}

void LineSplitter::endLine() {
  parser_.parseLine(std::string_view(line_, length_));
  length_ = 0;
  lineStarted_ = false;
}

void LineSplitter::feed(const char* data, size_t size) {
  size_t at = 0;
  if (pairTerminator_ != 0 && size > 0) {
    if (data[0] == pairTerminator_) at = 1;
    pairTerminator_ = 0;
  }
  while (at < size) {
    size_t start = at;
    while (at < size && !isTerminator(data[at])) ++at;
    if (at > start) {
      append(data + start, at - start);
      lineStarted_ = true;
    }
    if (at == size) return;
    char terminator = data[at++];
    endLine();
    if (terminator == '\0') continue;
    char pair = terminator == '\r' ? '\n' : '\r';
    if (at < size) {
      if (data[at] == pair) ++at;
    } else {
      pairTerminator_ = pair;
    }
  }
}

void LineSplitter::finish() {
  if (lineStarted_) endLine();
}

}  // namespace

namespace {

struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

}  // namespace

int readFile(IniDocument& doc, const char* path) {
  // Only regular files: a FIFO or a device could block or never end.
  int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return kIniCannotOpenFile;
  FileCloser closer{fd};
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return kIniCannotOpenFile;
  LineParser parser(doc);
  LineSplitter splitter(parser);
  std::unique_ptr<char[]> buffer(new char[kReadBufferSize]);
  int result = 0;
  for (;;) {
    ssize_t got = ::read(fd, buffer.get(), kReadBufferSize);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) result = kIniCannotOpenFile;
    if (got <= 0) break;
    splitter.feed(buffer.get(), static_cast<size_t>(got));
  }
  splitter.finish();
  parser.finish();
  return result;
}

}  // namespace ini
