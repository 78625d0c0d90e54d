// The INI writer: the exact text of a document, one line at a time, each ended by "\r\n".
// Values longer than 80 characters are split into numbered item lines that the reader joins.

#include "ini/writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "ini/document.h"
#include "ini/numbered_lines.h"

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

void writeItemLine(Output& out, std::string_view name, std::string_view separator,
                   std::string_view value, bool quoted) {
  out.put(name);
  out.put(separator);
  if (quoted) out.put('"');
  out.put(value);
  if (quoted) out.put('"');
  out.endLine();
}

// An item whose own name reads as a numbered line ("Tag Line0001") is written in numbered
// form too, "Tag Line0001 Line0001", so that the reader neither renames it nor joins it to the
// item before it.
void writeItem(Output& out, const Item& item, std::string_view separator) {
  writeComment(out, item.comment);
  std::string_view value = item.value;
  if (value.size() <= kMaxValueLine && !numberedLine(item.name).isLine) {
    writeItemLine(out, item.name, separator, value, item.quoted);
    return;
  }
  bool quoted = item.quoted;
  for (size_t at = 0; !quoted && at < value.size(); at += kMaxValueLine) {
    quoted = needsQuotesToSurvive(value.substr(at, kMaxValueLine));
  }
  char counter[16];
  int number = 1;
  // An empty value still takes one line, so that the item is not lost.
  for (size_t at = 0; at == 0 || at < value.size(); at += kMaxValueLine, ++number) {
    std::snprintf(counter, sizeof counter, "%04d", number);
    std::string name = item.name + " Line" + counter;
    writeItemLine(out, name, separator, value.substr(at, kMaxValueLine), quoted);
  }
}

void writeAll(const IniDocument& doc, Output& out) {
  const Tokens& tokens = doc.tokens;
  std::string separator = " " + tokens.separator + " ";
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
    for (const Item& item : section.items()) writeItem(out, item, separator);
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
