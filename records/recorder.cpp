#include "records/recorder.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

#include "records/image_hasher.h"
#include "records/record_database.h"
#include "records/record_writer.h"
#include "records/run_tracker.h"
#include "records/spool.h"

namespace records {
namespace {

struct Recording {
  Recording(const RecordSettings& settings,
            std::function<void(int dut, const std::string& line)> note)
      : writer(WriterSettings{settings.connection, settings.spoolPath, std::move(note)}),
        tracker(writer, hasher, settings.station) {}

  ImageHasher hasher;
  RecordWriter writer;
  RunTracker tracker;
};

std::mutex gMutex;
std::unique_ptr<Recording> gRecording;

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "station";
  return name;
}

}  // namespace

std::optional<RecordSettings> recordSettings(const std::string& database,
                                             const std::string& station,
                                             const std::string& workingDir) {
  std::string connection = trimmed(database);
  std::string lowered = connection;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lowered == "off") return std::nullopt;
  const std::string folder = workingDir.empty() ? "." : workingDir;
  if (connection.empty()) connection = sqliteConnection(folder + "/" + kDefaultDatabaseFile);
  const std::string name = trimmed(station);
  return RecordSettings{connection, name.empty() ? hostName() : name,
                        folder + "/" + kSpoolFileName};
}

void startRecording(const RecordSettings& settings,
                    std::function<void(int dut, const std::string& line)> note) {
  std::lock_guard lock(gMutex);
  if (gRecording) return;
  gRecording = std::make_unique<Recording>(settings, std::move(note));
  installRunEvents(&gRecording->tracker);
}

void stopRecording() {
  std::lock_guard lock(gMutex);
  if (!gRecording) return;
  installRunEvents(nullptr);
  gRecording->tracker.closeAll();
  gRecording->writer.close();
  gRecording->hasher.close();
  gRecording.reset();
}

}  // namespace records
