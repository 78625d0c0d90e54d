// A profile (INI) file in memory, line by line, so that a write changes only the lines it
// touches and every other line keeps its bytes.
//
// How a file is read:
// - Lines end at LF, CR LF or a lone CR. A UTF-8 byte-order mark at the very start is not part
//   of the first line.
// - Blanks around a line, a name or a value do not count (space, tab, vertical tab, form feed
//   and a stray CR).
// - A line whose first character is ';' is a comment: never a key, never listed.
// - A line whose first character is '[' and that holds a ']' later starts a section; its name is
//   the text between the '[' and the last ']' (what follows that ']' is ignored). A '[' line
//   without any ']' is no header: it is an ordinary line of the section it stands in.
// - Any other line is an entry of the section above it: the key is the text before its first
//   '=', the value the text after it. A line without '=' is an entry whose key is the whole line
//   and whose value is empty.
// - Lines before the first header belong to no section: nothing reads them, writes keep them.
// - Section and key names match without regard to ASCII letter case; every other byte must be
//   equal. When a name occurs twice, the first occurrence is the one read and written; listings
//   show every occurrence in file order.
//
// Parsing takes any bytes (it is driven by a fuzzer too) and never fails.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wexley {

struct ProfileLine {
  enum class Kind { kBlank, kComment, kSection, kEntry };

  std::string text;    // the line's bytes without its line break
  std::string ending;  // "\r\n", "\n", "\r", or "" for a last line without a break
  Kind kind = Kind::kBlank;
  std::string name;   // section name or key, without surrounding blanks
  std::string value;  // an entry's text after its first '=', without surrounding blanks
  bool hasEquals = false;
};

// Removes the blanks around `text`.
std::string_view trimBlanks(std::string_view text);

// Whether two section or key names are the same name.
bool sameName(std::string_view a, std::string_view b);

class ProfileDocument {
 public:
  static ProfileDocument parse(std::string_view bytes);

  // The file's bytes as they are now.
  std::string bytes() const;

  const std::vector<ProfileLine>& lines() const { return lines_; }

  // Index of the header of the first section with this name.
  std::optional<size_t> findSection(std::string_view name) const;
  // Index of the first entry with this key in the section whose header is at `header`.
  std::optional<size_t> findEntry(size_t header, std::string_view key) const;
  // Index one past the last line of the section whose header is at `header`.
  size_t sectionEnd(size_t header) const;
  // The entries of the first section with this name, in file order (none for a missing one).
  std::vector<const ProfileLine*> entries(std::string_view section) const;

  // Sets the key's value: the first entry of that key is rewritten; otherwise a new entry goes
  // after the section's last entry, and a missing section is added at the end of the file.
  void setValue(std::string_view section, std::string_view key, std::string_view value);
  // Each returns false when there was nothing to remove or replace.
  bool removeEntry(std::string_view section, std::string_view key);
  bool removeSection(std::string_view section);
  // Replaces the section's entries (and the lines among them) with `entries`; the section is
  // added at the end of the file when it is missing and `createMissing` is set.
  bool replaceBody(std::string_view section, const std::vector<std::string>& entries,
                   bool createMissing);

 private:
  static ProfileLine makeLine(std::string text, std::string ending);
  // Where an entry added to a section goes: after its last entry, or after its header.
  size_t insertionPoint(size_t header) const;
  void insertLines(size_t at, std::vector<ProfileLine> added);
  void appendSection(std::string_view section, const std::vector<std::string>& entries);

  std::string byteOrderMark_;
  std::vector<ProfileLine> lines_;
};

}  // namespace wexley
