#pragma once
// Reading the output of the Sahara and Firehose tools. The output arrives in chunks of any
// size and content (a phrase may be split between two chunks, the bytes may be binary, a line
// may never end), so it is gathered in a bounded buffer and the phrases are searched in the
// gathered text, never in one chunk. These readers do no I/O: the tool runner feeds them what
// it read and acts on what they find, which keeps them testable on recorded output.

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The accumulation buffer: at most kCapacity characters. A chunk that would make it reach the
// capacity replaces it (a phrase that straddles such a restart is missed).
class ToolOutputBuffer {
 public:
  static constexpr size_t kCapacity = 22240;
  // The largest chunk read at a time.
  static constexpr size_t kChunkSize = 1023;

  void append(const std::string& chunk);
  const std::string& text() const { return text_; }
  std::string& text() { return text_; }

 private:
  std::string text_;
};

enum class ToolVerdict { None, Success, Failure };

// The Sahara tool: "File transferred successfully" is success, "Image using Sahara protocol
// failed" failure. Only the text from the last "INFO: function: " on is kept between chunks.
class SaharaOutputReader {
 public:
  ToolVerdict add(const std::string& chunk);
  const std::string& buffer() const { return buffer_.text(); }

 private:
  ToolOutputBuffer buffer_;
};

// What one chunk of Firehose output brought.
struct FirehoseNews {
  ToolVerdict verdict = ToolVerdict::None;
  std::string errorText;           // on failure: the tool's "ERROR: ..." text
  std::vector<std::string> files;  // file names of the entries that completed
  std::optional<double> fraction;  // the latest progress, 0 to 1
};

// The Firehose tool: "{All Finished Successfully}" is success, "{ERROR: ...}" failure;
// "{<program> FILE: 'name'}" names the file being sent and "{percent files transferred N}"
// the progress. An entry not yet complete is kept at the start of the buffer until its "}"
// arrives. Complete entries stay in the buffer, so each chunk reports only the newest complete
// entry of each kind, and only when it differs from the one reported before.
class FirehoseOutputReader {
 public:
  FirehoseNews add(const std::string& chunk);
  const std::string& buffer() const { return buffer_.text(); }

 private:
  void scanFiles(FirehoseNews& news);
  void scanPercent(FirehoseNews& news);
  // Calls `onEntry(open, close)` for each complete entry starting with `marker`, in order; an
  // incomplete one is moved to the start of the buffer and ends the scan.
  void scanEntries(const char* marker, const std::function<void(size_t, size_t)>& onEntry);

  ToolOutputBuffer buffer_;
  std::string lastFile_;
  std::optional<double> lastFraction_;
};
