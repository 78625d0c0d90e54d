// The INI writer: the exact text of a document, one line at a time, each ended by "\r\n".
// Values longer than 80 characters are split into numbered item lines that the reader joins, and
// lines are kept within what the reader keeps of a line wherever the names leave room.

#include "ini/writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "ini/document.h"
#include "ini/line_format.h"

namespace ini {
namespace {

constexpr size_t kOutputBufferSize = 16384;
constexpr size_t kMaxValueLine = 80;
constexpr std::string_view kLineEnd = "\r\n";

// Where the text goes: a file descriptor behind a fixed buffer, or a string.
class Output {
 public:
  explicit Output(int fd) : fd_(fd) {}
  explicit Output(std::string* text) : text_(text) {}
  ~Output() { flush(); }

  void put(std::string_view text);
  void put(char c) { put(std::string_view(&c, 1)); }
  void endLine() { put(kLineEnd); }
  int flush();
  int error() const { return error_; }

 private:
  int fd_ = -1;
  std::string* text_ = nullptr;
  char buffer_[kOutputBufferSize];
  size_t used_ = 0;
  int error_ = 0;
};

void Output::put(std::string_view text) {
  if (text_ != nullptr) {
    text_->append(text);
    return;
  }
  while (!text.empty() && error_ == 0) {
    if (used_ == sizeof buffer_) flush();
    size_t room = sizeof buffer_ - used_;
    size_t taken = text.size() < room ? text.size() : room;
    std::memcpy(buffer_ + used_, text.data(), taken);
    used_ += taken;
    text.remove_prefix(taken);
  }
}

int Output::flush() {
  size_t done = 0;
  while (done < used_ && error_ == 0) {
    ssize_t wrote = ::write(fd_, buffer_ + done, used_ - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) {
      error_ = errno;
    } else if (wrote == 0) {
      error_ = EIO;
    } else {
      done += static_cast<size_t>(wrote);
    }
  }
  used_ = 0;
  return error_;
}

void writeComment(Output& out, const std::string& comment) {
  if (comment.empty()) return;
  out.put(comment);
  out.endLine();
}

// Whether an unquoted piece of a split value would read back as something else: the reader
// trims values and takes a pair of enclosing double quotes as quoting.
bool needsQuotesToSurvive(std::string_view piece) {
  if (piece.empty()) return false;
  if (isBlank(piece.front()) || isBlank(piece.back())) return true;
  return piece.size() >= 2 && piece.front() == '"' && piece.back() == '"';
}

// The separator between an item's name and value, as written: spaced (" = "), or bare ("=")
// where the spaced one would make the line longer than the reader keeps.
struct Separators {
  std::string spaced;
  std::string bare;

  std::string_view forLine(size_t nameAndValueLength) const {
    return nameAndValueLength + spaced.size() <= kMaxLineLength ? spaced : bare;
  }
};

void writeItemLine(Output& out, std::string_view name, const Separators& separators,
                   std::string_view value, bool quoted) {
  out.put(name);
  out.put(separators.forLine(name.size() + value.size() + (quoted ? 2 : 0)));
  if (quoted) out.put('"');
  out.put(value);
  if (quoted) out.put('"');
  out.endLine();
}

// The length of the pieces of a split value: at most 80 characters, and fewer where a long name
// leaves less room in a line. The counter is taken as wide as it could get for this value.
size_t pieceLength(const Item& item, const Separators& separators) {
  const size_t counterDigits = std::max<size_t>(4, std::to_string(item.value.size()).size());
  const size_t nameLength = item.name.size() + std::string_view(" Line").size() + counterDigits;
  const size_t fixed = nameLength + separators.bare.size() + 2;  // both quotes at most
  // A name too long for any line: the reader will keep what fits, nothing better can be done.
  if (fixed >= kMaxLineLength) return kMaxValueLine;
  return std::min(kMaxValueLine, kMaxLineLength - fixed);
}

// A long value, or an item whose own name reads as a numbered line ("Tag Line0001"), is written
// as numbered lines: "Tag Line0001 Line0001" reads back as "Tag Line0001", neither renamed nor
// joined to the item before it.
void writeNumberedLines(Output& out, const Item& item, const Separators& separators) {
  const std::string_view value = item.value;
  const size_t piece = pieceLength(item, separators);
  bool quoted = item.quoted;
  for (size_t at = 0; !quoted && at < value.size(); at += piece) {
    quoted = needsQuotesToSurvive(value.substr(at, piece));
  }
  char counter[24];
  size_t number = 1;
  // An empty value still takes one line, so that the item is not lost.
  for (size_t at = 0; at == 0 || at < value.size(); at += piece, ++number) {
    std::snprintf(counter, sizeof counter, "%04zu", number);
    writeItemLine(out, item.name + " Line" + counter, separators, value.substr(at, piece), quoted);
  }
}

void writeItem(Output& out, const Item& item, const Separators& separators) {
  writeComment(out, item.comment);
  if (item.value.size() <= kMaxValueLine && !numberedLine(item.name).isLine) {
    writeItemLine(out, item.name, separators, item.value, item.quoted);
  } else {
    writeNumberedLines(out, item, separators);
  }
}

void writeAll(const IniDocument& doc, Output& out) {
  const Tokens& tokens = doc.tokens;
  const Separators separators{" " + tokens.separator + " ", tokens.separator};
  if (!doc.leadingComment.empty()) {
    writeComment(out, doc.leadingComment);
    out.endLine();
  }
  for (const Section& section : doc.sections()) {
    writeComment(out, section.comment);
    out.put(tokens.sectionStart);
    out.put(section.name);
    out.put(tokens.sectionEnd);
    out.endLine();
    for (const Item& item : section.items()) writeItem(out, item, separators);
    out.endLine();
    if (out.error() != 0) return;
  }
  writeComment(out, doc.trailingComment);
}

}  // namespace

int writeDocument(const IniDocument& doc, int fd) {
  Output out(fd);
  writeAll(doc, out);
  return out.flush();
}

std::string documentText(const IniDocument& doc) {
  std::string text;
  Output out(&text);
  writeAll(doc, out);
  return text;
}

}  // namespace ini
