// The Wexley profile engine: any bytes parse, parsing keeps the bytes unchanged, and the
// edits (set, remove an entry or a section, replace a body) keep a document that writes and
// parses back to itself. Records: the file's bytes, then a section name, a key and a value.

#include <string>
#include <vector>

#include "fuzz_support.h"
#include "profile_document.h"

namespace {

void checkStable(const wexley::ProfileDocument& doc) {
  const std::string bytes = doc.bytes();
  if (wexley::ProfileDocument::parse(bytes).bytes() != bytes) {
    fuzz::fail("an edited document does not parse back to its bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::prepareProcess("wexley_profile");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = fuzz::records(data, size, 4);
  const std::string_view file = parts[0];
  const std::string_view section = parts.size() > 1 ? parts[1] : "Settings";
  const std::string_view key = parts.size() > 2 ? parts[2] : "Name";
  const std::string_view value = parts.size() > 3 ? parts[3] : "value";

  wexley::ProfileDocument doc = wexley::ProfileDocument::parse(file);
  if (doc.bytes() != file) fuzz::fail("parsing changed the bytes");
  if (auto header = doc.findSection(section)) {
    doc.findEntry(*header, key);
    doc.sectionEnd(*header);
  }
  doc.entries(section);

  wexley::ProfileDocument edited = doc;
  edited.setValue(section, key, value);
  checkStable(edited);
  edited.replaceBody(section, {std::string(key) + "=" + std::string(value)}, true);
  checkStable(edited);
  edited.removeEntry(section, key);
  checkStable(edited);
  edited.removeSection(section);
  checkStable(edited);
  return 0;
}
